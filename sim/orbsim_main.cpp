// orbsim: a bus of simulated ORB devices on one serial line, served over
// RFC 2217 on loopback, with a text control channel to drive and observe it.
//
//   orbsim [--listen HOST:PORT] [--control HOST:PORT] [--devices 1,2,5|none]
//          [--state FILE] [--log FILE] [--latency-ms N] [--no-pacing]
//   orbsim --help | --version
//
// Prints "LISTENING <port>" and "CONTROL <port>" once both are bound.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "settings/command_line/CommandLine.h"
#include "sim/OrbSimOptions.h"
#include "sim/OrbSimServer.h"

int main(int argc, char** argv) {
  if (AnswersHelpOrVersion(argc, argv, "orbsim", kOrbSimUsage)) return 0;
  std::string error;
  auto options = ParseOrbSimOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) return BadUsage("orbsim", error, kOrbSimUsage);

  // SIGTERM and SIGINT arrive as a readable descriptor that the server
  // loop polls, so stopping never depends on when a handler gets to run.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  if (sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0) return 1;
  int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
  if (stopFd < 0) return 1;
  signal(SIGPIPE, SIG_IGN);
  // Byte times are 0.57 ms: the kernel's default 50 us of timer slack on
  // every wake would add up over a transaction's steps.
  prctl(PR_SET_TIMERSLACK, 1UL);

  try {
    OrbSimServer server(options->listen, options->control, options->bus);
    std::printf("LISTENING %d\nCONTROL %d\n", server.SerialPort(), server.ControlPort());
    std::fflush(stdout);
    server.Run(stopFd);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orbsim: %s\n", e.what());
    return 1;
  }
  return 0;
}
