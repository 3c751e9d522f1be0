// A scan of the bus through the line queue against orbsim: each address
// answers online (with what it runs), absent or with the engine's error,
// in order; a stop lets the address being asked finish and asks no more.
#include "link/BusScan.h"
#include "tests/link/LinkFixture.h"

namespace {
class BusScanTest : public LinkFixture {
 protected:
  explicit BusScanTest(std::vector<std::string> simArgs = {"--devices", "1,3"})
      : LinkFixture(std::move(simArgs)) {}
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
  EXPECT_NEAR(scan.SecondsLeft(), 3 * BusScan::kAbsentAddressSeconds, 0.1);
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

// The devices in use answer fast and low on the bus: the time left counts
// every address not yet asked at an absent one's cost, not at their pace.
class BusScanEstimateTest : public BusScanTest {
 protected:
  BusScanEstimateTest() : BusScanTest({"--devices", "1,2,3"}) {}
};

TEST_F(BusScanEstimateTest, TimeLeftCountsAbsentAddressesAtTheirTimeOut) {
  std::vector<double> left;
  scan.OnAnswer = [&](const BusDevice&) { left.push_back(scan.SecondsLeft()); };
  scan.Start(1, 5);
  ASSERT_TRUE(RunUntil([&] { return !finished.empty(); }, 20000));
  ASSERT_EQ(left.size(), 5u);
  // Two addresses to go after three quick answers: about two time-outs.
  EXPECT_NEAR(left[2], 2 * BusScan::kAbsentAddressSeconds, 0.3);
  // One to go, at the pace the absent fourth took.
  EXPECT_NEAR(left[3], BusScan::kAbsentAddressSeconds, 0.5);
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
