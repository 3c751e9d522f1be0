// Writing the trace and log files when the port closes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "serial/ApdExceptions.h"
#include "serial/ComTrace.h"

namespace fs = std::filesystem;

namespace {

class TraceDump : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("varlo-trace-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  static std::string Slurp(const std::string& path) {
    std::stringstream ss;
    ss << std::ifstream(path, std::ios::binary).rdbuf();
    return ss.str();
  }
  fs::path dir_;
};

}  // namespace

TEST_F(TraceDump, WritesOldestFirstReplacingOldFileAndStops) {
  std::ofstream(Path("APRO.TRC")) << std::string(500, 'z');  // must be replaced, not overlaid
  TraceRecorder t;
  t.Start(3);
  for (char c : std::string("abcde")) t.Add(c == 'e' ? 'R' : 'T', static_cast<uint8_t>(c));
  t.Dump(Path("APRO.TRC"), true);
  EXPECT_EQ(Slurp(Path("APRO.TRC")), "Transmit: \ncd\n\nReceive: \ne\n");
  EXPECT_FALSE(t.Active());
  EXPECT_TRUE(t.Entries().empty());

  LogRecorder log;
  log.Start(40);  // room for two bare entries
  for (uint32_t i = 1; i <= 3; ++i) log.Add(i, ltThread, lsWake, i);
  log.Dump(Path("APRO.LOG"), true);
  EXPECT_EQ(Slurp(Path("APRO.LOG")),
            "Time      Type      SubType       Data      OtherData\n"
            "--------  --------  ------------  --------  ---------\n"
            "00000002  Thread    Wake          00000002  \n"
            "00000003  Thread    Wake          00000003  \n");
  EXPECT_FALSE(log.Active());
}

TEST_F(TraceDump, NothingRecordedWritesNoFileButStops) {
  TraceRecorder t;
  t.Start(10);
  t.Dump(Path("APRO.TRC"), true);
  LogRecorder log;
  log.Start(100);
  log.Dump(Path("APRO.LOG"), true);
  TraceRecorder never;
  never.Dump(Path("APRO.TRC"), true);
  EXPECT_FALSE(fs::exists(Path("APRO.TRC")));
  EXPECT_FALSE(fs::exists(Path("APRO.LOG")));
  EXPECT_FALSE(t.Active());
  EXPECT_FALSE(log.Active());
}

TEST_F(TraceDump, WriteFailuresRaiseAndStillStop) {
  TraceRecorder t;
  t.Start(10);
  t.Add('R', 'x');
  try {
    t.Dump(Path("no-such-dir/APRO.TRC"), true);
    ADD_FAILURE() << "expected EInOutError";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), ENOENT);
    EXPECT_NE(std::string(e.what()), "");
  }
  EXPECT_FALSE(t.Active());
  EXPECT_TRUE(t.Entries().empty());

  LogRecorder log;
  log.Start(100);
  log.Add(0, ltError, 0, 0);
  if (fs::exists("/dev/full")) {  // a full disk must not pass as a short file
    try {
      log.Dump("/dev/full", true);
      ADD_FAILURE() << "expected EInOutError";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), ENOSPC);
    }
    EXPECT_FALSE(log.Active());
    EXPECT_TRUE(log.Entries().empty());
  }
}
