// The command line's session on the line queue: what each kind of end of a
// transaction becomes (data, a refusal with the engine's text, an address
// nobody answers), and the session going on after each.
#include <gtest/gtest.h>

#include "cli/DeviceSession.h"
#include "link/PA422Messages.h"
#include "testsupport/Hex.h"
#include "testsupport/OrbSimProcess.h"

TEST(DeviceSession, EachEndOfATransactionAndTheNextOneAfterIt) {
  OrbSimProcess sim({"--no-pacing", "--devices", "1"});
  DeviceSession session(LineChoice{sim.Url(), 0});

  // The data bytes as the device keeps them, and the status byte.
  auto stored = [&](int preset) {
    return Unhex(sim.Ok("preset 1 " + std::to_string(preset)).substr(3)) + '\0';
  };
  LinkResult r = session.RecallAllData(1, 2);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.block, stored(2));

  // Refused before anything went on the line: the engine's text.
  r = session.LockPreset(1, 9);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "Invalid Preset Number");
  EXPECT_FALSE(r.notFound || r.lineGone);

  r = session.RecallAllData(7, 0);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.notFound);
  EXPECT_EQ(r.message, "ORB Not Found.");
  EXPECT_TRUE(r.block.empty());

  r = session.LockPreset(1, 3);
  EXPECT_TRUE(r.ok) << r.message;
  r = session.RecallAllData(1, 3);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.block, stored(3));
  EXPECT_NE(BlockByte(r.block, pa422::all_data::kLock), 0);
}
