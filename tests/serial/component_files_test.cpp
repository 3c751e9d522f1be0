// The trace and log files the component writes when it closes.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "serial/ApdExceptions.h"
#include "tests/serial/ComPortFixture.h"

namespace fs = std::filesystem;

namespace {
std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs each test in a fresh current directory, where the files land.
class ComPortFilesTest : public ComPortFixture {
 protected:
  void SetUp() override {
    old_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("varlo-trace-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    fs::current_path(dir_);
    port.SetTracing(tlOn);
    port.SetLogging(tlOn);
  }
  void TearDown() override {
    port.SetOpen(false);
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  fs::path old_, dir_;
};
}  // namespace

TEST_F(ComPortFilesTest, FirstConnectionIsRecordedAndLaterOnesAreNot) {
  port.SetOpen(true);
  port.PutChar(0x05);
  RunFor(100);
  port.SetOpen(false);
  EXPECT_EQ(ReadFile("APRO.TRC"), "Transmit: \n[05]\n");
  std::string log = ReadFile("APRO.LOG");
  EXPECT_EQ(log.rfind("Time      Type      SubType       Data      OtherData\n"
                      "--------  --------  ------------  --------  ---------\n",
                      0),
            0u)
      << log;
  EXPECT_NE(log.find("  TrDatChg  Avail         00000001  \n"), std::string::npos) << log;
  EXPECT_NE(log.find("  Dispatch  WriteCom      00000001  [05]\n"), std::string::npos) << log;
  EXPECT_EQ(port.Tracing(), tlOff);
  EXPECT_EQ(port.Logging(), tlOff);

  // A second connection records nothing and leaves the first one's files.
  port.SetOpen(true);
  port.PutString("second");
  RunFor(100);
  port.SetOpen(false);
  EXPECT_EQ(ReadFile("APRO.TRC"), "Transmit: \n[05]\n");
}

TEST_F(ComPortFilesTest, ReceivedBytesAreTracedWhenTaken) {
  int events = 0;
  port.OnTriggerAvail = [&](TApdComPort& cp, uint16_t count) {
    ++events;
    for (uint16_t i = 0; i < count; ++i) cp.GetChar();
  };
  port.SetOpen(true);
  uint16_t timer = port.AddTimerTrigger();
  port.SetTimerTrigger(timer, 36, true);
  port.PutChar(0x05);
  sim.Ok("send 0329");
  ASSERT_TRUE(RunUntil([&] { return events == 1; }));
  port.SetOpen(false);
  EXPECT_EQ(ReadFile("APRO.TRC"), "Transmit: \n[05]\n\nReceive: \n[03])\n");
  std::string log = ReadFile("APRO.LOG");
  EXPECT_NE(log.find("  TrigAllc  Timer         00000008  \n"), std::string::npos) << log;
  EXPECT_NE(log.find("  TrDatChg  Timer         00000024  \n"), std::string::npos) << log;
  EXPECT_NE(log.find("  Dispatch  ReadCom       00000002  [03])\n"), std::string::npos) << log;
  EXPECT_NE(log.find("  Trigger   Avail         00000002  \n"), std::string::npos) << log;
}

TEST_F(ComPortFilesTest, UnwritableTraceFileIsReportedAfterThePortIsReleased) {
  port.TraceName = (dir_ / "missing-folder" / "APRO.TRC").string();
  port.SetOpen(true);
  port.PutChar(0x05);
  EXPECT_THROW(port.SetOpen(false), EInOutError);
  EXPECT_FALSE(port.Open());
  port.SetOpen(true);
  EXPECT_TRUE(port.Open());
}
