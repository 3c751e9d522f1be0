// The line queue in front of the real engine, against orbsim: the latest
// value wins, owners keep their order and take turns (edits ahead of
// background work), withdrawn requests
// never go out, and each outcome reaches the owner that asked (background
// failures without a box and without notifying the active window).
#include "link/LineQueue.h"
#include "tests/link/LinkFixture.h"
#include "testsupport/Hex.h"

using namespace pa422;

namespace {
class LineQueueTest : public LinkFixture {
 protected:
  void SetUp() override { engine.Connect(); }

  LineRequest Update(int owner, int address, int parameter, int level, std::vector<std::string>* log = nullptr,
                     const std::string& name = "") {
    LineRequest r;
    r.owner = owner;
    r.kind = LineRequest::Parameter;
    r.address = address;
    r.parameter = parameter;
    r.start = [=](TzkPA422Form& e) { e.UpdateParameter(address, kDevicePassword, level, parameter); };
    if (log) r.done = [=](const LineOutcome& o) { log->push_back(name + (o.succeeded ? " ok" : " failed")); };
    return r;
  }
  LineRequest Mute(int owner, int address, bool on) {
    LineRequest r;
    r.owner = owner;
    r.address = address;
    r.start = [=](TzkPA422Form& e) { on ? e.MuteAllOutputs(address) : e.UnmuteAllOutputs(address); };
    return r;
  }
  bool WaitQueueIdle() { return RunUntil([&] { return queue.Idle() && engine.CommState == 0; }, 10000); }
  static std::string Word(int address, const Bytes& frame) { return std::to_string(address) + ":" + Hex(frame); }

  LineQueue queue{engine};
};
}  // namespace

TEST_F(LineQueueTest, TheLatestValueWinsAndAWholeCurveCarriesTheWaitingUpdates) {
  const int owner = queue.NewOwner();
  std::vector<std::string> log;
  queue.Submit(Mute(owner, 1, true));  // the line is busy with it
  for (int level = 10; level <= 39; ++level) queue.Submit(Update(owner, 1, 6, level, &log, "band 5"));
  queue.Submit(Update(owner, 1, 7, 30, &log, "band 6"));
  EXPECT_EQ(queue.Pending(owner), 3);
  ASSERT_TRUE(WaitQueueIdle());
  EXPECT_EQ(Frames(), Word(1, MuteAllOutputsFrame()) + " " + Word(1, UpdateParameterFrame(6, kDevicePassword, 39)) +
                          " " + Word(1, UpdateParameterFrame(7, kDevicePassword, 30)));
  ASSERT_EQ(log.size(), 31u);  // every replaced move hears that its value went out
  EXPECT_EQ(log.back(), "band 6 ok");

  // A curve for the device takes the place of the owner's waiting updates.
  log.clear();
  queue.Submit(Mute(owner, 1, false));
  queue.Submit(Update(owner, 1, 6, 20, &log, "band 5"));
  LineRequest curve;
  curve.owner = owner;
  curve.kind = LineRequest::WholeCurve;
  curve.address = 1;
  TransmitSettings flat;
  flat.levels.fill(kFlatLevel);
  flat.lowPass = 21;
  curve.start = [&](TzkPA422Form& e) { e.TransmitAllData(1, 0, TransmitBlock(kDevicePassword, flat)); };
  queue.Submit(curve);
  ASSERT_TRUE(WaitQueueIdle());
  EXPECT_EQ(Frames(), Word(1, UnmuteAllOutputsFrame()) + " " +
                          Word(1, TransmitAllDataFrame(TransmitBlock(kDevicePassword, flat))));
  EXPECT_EQ(log, std::vector<std::string>{"band 5 ok"});
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(LineQueueTest, OwnersKeepTheirOrderAndTakeTurnsAndWithdrawnRequestsNeverGoOut) {
  const int first = queue.NewOwner(), second = queue.NewOwner(), third = queue.NewOwner();
  engine.RecallAllData(2, 0);  // a transaction started outside the queue: everything waits
  queue.Submit(Mute(first, 1, true));
  queue.Submit(Mute(first, 1, false));
  queue.Submit(Mute(first, 1, true));
  queue.Submit(Mute(second, 2, true));
  queue.Submit(Mute(second, 2, false));
  queue.Submit(Mute(third, 1, false));
  queue.Withdraw(third);
  EXPECT_EQ(queue.Pending(third), 0);
  ASSERT_TRUE(WaitQueueIdle());
  const std::string on1 = Word(1, MuteAllOutputsFrame()), off1 = Word(1, UnmuteAllOutputsFrame());
  const std::string on2 = Word(2, MuteAllOutputsFrame()), off2 = Word(2, UnmuteAllOutputsFrame());
  EXPECT_EQ(Frames(), Word(2, RecallAllDataFrame(0)) + " " + on1 + " " + on2 + " " + off1 + " " + off2 + " " + on1);

  // The second half of a transaction (the read after a recall) goes before
  // the owner's waiting requests, and before the other owners' turns.
  LineRequest recall = Mute(first, 1, true);
  recall.done = [&](const LineOutcome&) {
    LineRequest read = Mute(first, 1, false);
    read.followUp = true;
    queue.Submit(std::move(read));
  };
  queue.Submit(std::move(recall));
  queue.Submit(Update(first, 1, 6, 20));
  queue.Submit(Mute(second, 2, true));
  ASSERT_TRUE(WaitQueueIdle());
  EXPECT_EQ(Frames(), on1 + " " + off1 + " " + on2 + " " + Word(1, UpdateParameterFrame(6, kDevicePassword, 20)));

  // The operator's edits go ahead of background work that was waiting
  // first, which is passed over at most twice in a row.
  const int backup = queue.NewOwner();
  engine.RecallAllData(2, 0);
  for (bool on : {true, false, true}) {
    LineRequest work = Mute(backup, 2, on);
    work.background = work.yields = true;
    queue.Submit(std::move(work));
  }
  for (int parameter = 6; parameter <= 10; ++parameter) queue.Submit(Update(first, 1, parameter, 20));
  ASSERT_TRUE(WaitQueueIdle());
  const auto update = [&](int parameter) { return Word(1, UpdateParameterFrame(parameter, kDevicePassword, 20)) + " "; };
  EXPECT_EQ(Frames(), Word(2, RecallAllDataFrame(0)) + " " + update(6) + update(7) + on2 + " " + update(8) + update(9) +
                          update(10) + off2 + " " + on2);
}

TEST_F(LineQueueTest, EachOutcomeReachesItsOwnerAndBackgroundFailuresShowNoBox) {
  const int scan = queue.NewOwner(), windowOwner = queue.NewOwner();
  LineOutcome scanned, read;
  LineRequest missing;
  missing.owner = scan;
  missing.address = 9;  // no device there
  missing.background = true;
  missing.start = [](TzkPA422Form& e) { e.RecallAllData(9, 0); };
  missing.done = [&](const LineOutcome& o) { scanned = o; };
  queue.Submit(missing);
  LineRequest mine;
  mine.owner = windowOwner;
  mine.address = 1;
  mine.start = [](TzkPA422Form& e) { e.RecallAllData(1, 0); };
  mine.done = [&](const LineOutcome& o) { read = o; };
  queue.Submit(mine);
  ASSERT_TRUE(WaitQueueIdle());
  EXPECT_TRUE(scanned.started && !scanned.succeeded);
  EXPECT_EQ(scanned.message, "ORB Not Found.");
  EXPECT_TRUE(read.succeeded);
  EXPECT_EQ(read.data.size(), size_t(all_data::kStatus));
  EXPECT_TRUE(messages.shown.empty());  // the scan says it in its own view
  // Only the window's own request reached the active window.
  EXPECT_EQ(window.got, std::vector<std::string>{"AllDataReceived"});

  // A request refused before anything went out ends at once, not started.
  LineOutcome refused;
  LineRequest bad = Update(windowOwner, 1, 99, 26);
  bad.done = [&](const LineOutcome& o) { refused = o; };
  queue.Submit(bad);
  EXPECT_FALSE(refused.started || refused.succeeded);
  EXPECT_EQ(messages.shown, std::vector<std::string>{"Invalid Band in UpdateParameter"});
}
