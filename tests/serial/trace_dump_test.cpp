// Writing the trace and log files when the port closes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ApdExceptions.h"
#include "ComTrace.h"

namespace fs = std::filesystem;

namespace {

class TraceDump : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("varlo-trace-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const char* name) const { return (dir_ / name).string(); }

  static std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  fs::path dir_;
};

}  // namespace

TEST_F(TraceDump, WritesFileReplacingOldOneAndStops) {
  const std::string path = Path("APRO.TRC");
  {
    std::ofstream old(path);
    old << std::string(500, 'z');  // longer than the new text: must be replaced, not overlaid
  }
  TraceRecorder t;
  t.Start(100);
  t.Add('T', 0x05);
  t.Dump(path, true);
  EXPECT_EQ(Slurp(path), "Transmit: \n[05]\n");
  EXPECT_FALSE(t.Active());
  EXPECT_TRUE(t.Entries().empty());
}

TEST_F(TraceDump, WrappedTraceIsWrittenOldestFirst) {
  TraceRecorder t;
  t.Start(3);
  for (char c : std::string("abcde")) t.Add(c == 'e' ? 'R' : 'T', static_cast<uint8_t>(c));
  t.Dump(Path("APRO.TRC"), true);
  EXPECT_EQ(Slurp(Path("APRO.TRC")), "Transmit: \ncd\n\nReceive: \ne\n");
}

TEST_F(TraceDump, LogFileWrittenOldestFirst) {
  LogRecorder log;
  log.Start(40);  // room for two bare entries
  log.Add(1, ltThread, lsStart, 1);
  log.Add(2, ltThread, lsSleep, 2);
  log.Add(3, ltThread, lsWake, 3);
  log.Dump(Path("APRO.LOG"), true);
  EXPECT_EQ(Slurp(Path("APRO.LOG")),
            "Time      Type      SubType       Data      OtherData\n"
            "--------  --------  ------------  --------  ---------\n"
            "00000002  Thread    Sleep         00000002  \n"
            "00000003  Thread    Wake          00000003  \n");
  EXPECT_FALSE(log.Active());
}

TEST_F(TraceDump, NothingRecordedWritesNoFileButStops) {
  TraceRecorder t;
  t.Start(10);
  t.Dump(Path("APRO.TRC"), true);
  EXPECT_FALSE(fs::exists(Path("APRO.TRC")));
  EXPECT_FALSE(t.Active());

  LogRecorder log;
  log.Start(100);
  log.Dump(Path("APRO.LOG"), true);
  EXPECT_FALSE(fs::exists(Path("APRO.LOG")));
  EXPECT_FALSE(log.Active());

  TraceRecorder never;  // never started
  never.Dump(Path("APRO.TRC"), true);
  EXPECT_FALSE(fs::exists(Path("APRO.TRC")));
}

TEST_F(TraceDump, UnwritableLocationRaisesAndStillStops) {
  const std::string missing = Path("no-such-dir/APRO.TRC");
  TraceRecorder t;
  t.Start(10);
  t.Add('R', 'x');
  try {
    t.Dump(missing, true);
    FAIL() << "expected EInOutError";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), ENOENT);
    EXPECT_NE(std::string(e.what()), "");
  }
  EXPECT_FALSE(t.Active());
  EXPECT_TRUE(t.Entries().empty());

  LogRecorder log;
  log.Start(100);
  log.Add(0, ltError, 0, 0);
  EXPECT_THROW(log.Dump(Path("no-such-dir/APRO.LOG"), true), EInOutError);
  EXPECT_FALSE(log.Active());
  EXPECT_TRUE(log.Entries().empty());
}

TEST_F(TraceDump, FullDiskIsReported) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "/dev/full not available";
  TraceRecorder t;
  t.Start(100);
  t.Add('T', 'a');
  try {
    t.Dump("/dev/full", true);
    FAIL() << "expected EInOutError";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), ENOSPC);
  }
  EXPECT_FALSE(t.Active());
}
