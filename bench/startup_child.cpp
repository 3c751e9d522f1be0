// The program as the start-up benchmark runs it: the real start-up, then
//   startup: prints "SHOWN <monotonic ns>" once the frame is shown and the
//            event loop idle, and quits;
//   idle:    connects the link engine to its port, prints "CONNECTED" and
//            keeps running until killed.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "app/RunVarlo95.h"
#include "app/VarloProgram.h"
#include "link/TzkPA422Form.h"

int main(int argc, char** argv) {
  const bool idle = argc > 1 && std::strcmp(argv[1], "idle") == 0;
  int qtArgc = 1;
  return RunVarlo95(qtArgc, argv, {}, [idle](VarloProgram& program) {
    if (idle) {
      program.PA422Form().ApdComPort.SetTracing(tlOff);
      program.PA422Form().ApdComPort.SetLogging(tlOff);
      program.PA422Form().Connect();
      std::printf(program.PA422Form().Connected ? "CONNECTED\n" : "FAILED\n");
      std::fflush(stdout);
      return;
    }
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("SHOWN %lld\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
    std::fflush(stdout);
    QApplication::quit();
  });
}
