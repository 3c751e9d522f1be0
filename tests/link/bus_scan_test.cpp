// A scan of the bus through the line queue against orbsim: each address
// answers online (with what it runs), absent or with the engine's error,
// in order; a stop lets the address being asked finish and asks no more.
#include "link/BusScan.h"
#include "tests/link/LinkFixture.h"

namespace {
class BusScanTest : public LinkFixture {
 protected:
  BusScanTest() : LinkFixture({"--devices", "1,3"}) {}
  void SetUp() override {
    engine.Connect();
    scan.OnAnswer = [this](const BusDevice& d) { answers.push_back(d); };
    scan.OnFinished = [this](bool stopped) { finished = stopped ? "stopped" : "done"; };
  }
  LineQueue queue{engine};
  BusScan scan{queue};
  std::vector<BusDevice> answers;
  std::string finished;
};
}  // namespace

TEST_F(BusScanTest, EachAddressAnswersInOrder) {
  sim.Ok("fault 3 status 5");
  scan.Start(1, 3);
  EXPECT_EQ(scan.SecondsLeft(), 3 * BusScan::kAbsentAddressSeconds);
  ASSERT_TRUE(RunUntil([&] { return !finished.empty(); }, 15000));
  EXPECT_EQ(finished, "done");
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[0].StateText(), "online");
  EXPECT_EQ(answers[0].preset, 1);
  EXPECT_FALSE(answers[0].mute);
  EXPECT_NE(answers[0].lastSeen.time_since_epoch().count(), 0);
  EXPECT_EQ(answers[1].StateText(), "absent");
  EXPECT_EQ(answers[2].state, BusDevice::State::Error);
  EXPECT_FALSE(answers[2].error.empty());
  EXPECT_EQ(scan.Found(), 1);
  EXPECT_EQ(scan.Asked(), 3);
}

TEST_F(BusScanTest, AStopAsksNoFurtherAddress) {
  scan.Start(1, 240);
  ASSERT_TRUE(RunUntil([&] { return !answers.empty(); }));
  scan.Stop();
  ASSERT_TRUE(RunUntil([&] { return !finished.empty(); }, 5000));
  EXPECT_EQ(finished, "stopped");
  RunFor(100);
  EXPECT_LE(answers.size(), 2u);
  EXPECT_TRUE(queue.Idle());
}
