// orbsim: a simulated serial line served over RFC 2217 on loopback, with a
// text control channel to drive and observe the line.
//
//   orbsim [--listen HOST:PORT] [--control HOST:PORT]
//
// Prints "LISTENING <port>" and "CONTROL <port>" once both are bound.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "OrbSimServer.h"

namespace {
int stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
  int saved = errno;
  char c = 's';
  [[maybe_unused]] ssize_t n = write(stopPipe[1], &c, 1);
  errno = saved;
}

int Usage() {
  std::fprintf(stderr, "usage: orbsim [--listen HOST:PORT] [--control HOST:PORT]\n");
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  std::string listen = "127.0.0.1:0";
  std::string control = "127.0.0.1:0";
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if ((arg == "--listen" || arg == "--control") && i + 1 < argc) {
      (arg == "--listen" ? listen : control) = argv[++i];
    } else {
      return Usage();
    }
  }

  if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  try {
    OrbSimServer server(listen, control);
    std::printf("LISTENING %d\nCONTROL %d\n", server.SerialPort(), server.ControlPort());
    std::fflush(stdout);
    server.Run(stopPipe[0]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orbsim: %s\n", e.what());
    return 1;
  }
  return 0;
}
