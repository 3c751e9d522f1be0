// Start-up benchmark: median time from exec to the frame shown with an idle
// event loop, and peak resident memory, of varlo95 and of a minimal Qt MDI
// program, on the offscreen platform; then the idle CPU of the program with
// its port connected to orbsim for 10 s.
//
//   startup_bench [--runs N] [--idle-seconds S]
//
// Last line: "startup ratio=X.XX rss ratio=Y.YY" (targets: both <= 1.3).
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchOptions.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/OrbSimProcess.h"

namespace {
int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct Run {
  double startupMs = 0;
  long peakRssKb = 0;
};

// Starts program with the given arguments on the offscreen platform, reads
// its "SHOWN" line and reaps it.
Run RunOnce(const std::string& program, const std::vector<std::string>& args) {
  int out[2];
  if (pipe(out) != 0) throw std::runtime_error("pipe");
  const int64_t start = NowNs();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  std::string pending;
  const auto line = ReadLineFromFd(out[0], pending, 30000);
  close(out[0]);
  Run run;
  if (line && line->rfind("SHOWN ", 0) == 0) run.startupMs = (std::stoll(line->substr(6)) - start) / 1e6;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  run.peakRssKb = usage.ru_maxrss;
  if (!line) throw std::runtime_error(program + " did not show its frame");
  return run;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

struct Summary {
  double startupMs, rssKb;
};

Summary Measure(const std::string& name, const std::string& program, int runs) {
  std::vector<double> times, rss;
  RunOnce(program, {});  // warms the page cache
  for (int i = 0; i < runs; ++i) {
    Run r = RunOnce(program, {});
    times.push_back(r.startupMs);
    rss.push_back(static_cast<double>(r.peakRssKb));
  }
  Summary s{Median(times), Median(rss)};
  std::printf("%-12s startup median %.1f ms (min %.1f, max %.1f), peak RSS median %.1f MiB\n",
              name.c_str(), s.startupMs, *std::min_element(times.begin(), times.end()),
              *std::max_element(times.begin(), times.end()), s.rssKb / 1024);
  return s;
}

long CpuTicks(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  // Fields after the command name, which is in parentheses.
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string f;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> f; ++i) {
    if (i == 14) utime = std::stol(f);
    if (i == 15) stime = std::stol(f);
  }
  return utime + stime;
}

void MeasureIdleCpu(const std::string& child, int seconds) {
  OrbSimProcess sim({"--devices", "1"});
  // The per-user settings file is read first: it points port 1 at orbsim.
  char pattern[] = "/tmp/varlo-bench-XXXXXX";
  const std::string config = mkdtemp(pattern);
  std::filesystem::create_directories(config + "/Varlo95");
  std::ofstream(config + "/Varlo95/Varlo95.ini")
      << "[Communications]\nCom Port=1\nCom 1 Device=" << sim.Url() << "\n";
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  {
    ChildProcess program({child, "idle"});
    const std::string line = program.ReadLine(30000);
    if (line != "CONNECTED") {
      std::printf("idle cpu: the program did not connect (%s)\n", line.c_str());
    } else {
      const long before = CpuTicks(program.Pid());
      std::this_thread::sleep_for(std::chrono::seconds(seconds));
      const long after = CpuTicks(program.Pid());
      const double percent = 100.0 * (after - before) / sysconf(_SC_CLK_TCK) / seconds;
      std::printf("idle cpu with a connected idle port over %d s: %.2f %% of one core (target < 0.5 %%)\n",
                  seconds, percent);
    }
  }
  std::filesystem::remove_all(config);
  unsetenv("XDG_CONFIG_HOME");
}
}  // namespace

int main(int argc, char** argv) {
  int runs = 10, idleSeconds = 10;
  BenchOptions("startup_bench",
               "usage: startup_bench [--runs N] [--idle-seconds N]\n"
               "       startup_bench --help | --version\n")
      .Integer("--runs", runs, 1)
      .Integer("--idle-seconds", idleSeconds, 1)
      .Parse(argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // A settings file of this run only, so that nothing of the user's counts.
  char pattern[] = "/tmp/varlo-bench-XXXXXX";
  const std::string config = mkdtemp(pattern);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  try {
    const Summary program = Measure("varlo95", STARTUP_CHILD_PATH, runs);
    const Summary minimal = Measure("minimal MDI", MINIMAL_MDI_PATH, runs);
    std::filesystem::remove_all(config);
    unsetenv("XDG_CONFIG_HOME");
    MeasureIdleCpu(STARTUP_CHILD_PATH, idleSeconds);
    std::printf("startup ratio=%.2f rss ratio=%.2f\n", program.startupMs / minimal.startupMs,
                program.rssKb / minimal.rssKb);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "startup_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
