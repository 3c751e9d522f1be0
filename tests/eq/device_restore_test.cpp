// Backing a device up, comparing and restoring it through the line queue
// against orbsim: what changed since the backup is named (filters and
// lock), the restore brings it all back, and a failure names the preset,
// the step and what was restored before it. Devices of both kinds (with
// and without --store-moves) go on running what they ran.
#include <fstream>

#include "eq/DeviceBackup.h"
#include "eq/DeviceBlock.h"
#include "eq/DeviceRestore.h"
#include "eq/EqualizerDocument.h"
#include "tests/link/LinkFixture.h"
#include "testsupport/Hex.h"
#include "testsupport/TempDir.h"

namespace {
namespace all = pa422::all_data;

class DeviceRestoreTest : public LinkFixture {
 protected:
  explicit DeviceRestoreTest(std::vector<std::string> simArgs = {"--devices", "1,2"})
      : LinkFixture(std::move(simArgs)) {}
  void SetUp() override { engine.Connect(); }

  // Reads presets 1 to 8 of the targets; what `with` made of them, or the failures.
  std::vector<std::string> Read(std::vector<DevicePresetReader::Target> targets,
                                std::function<std::string(const DevicePresetReader::Target&,
                                                          const std::vector<pa422::Bytes>&)> with) {
    std::vector<std::string> said;
    bool finished = false;
    reader.WithPresets = std::move(with);
    reader.OnDevice = [&](int, const std::string& failure) { said.push_back(failure); };
    reader.OnFinished = [&](bool) { finished = true; };
    reader.Start(std::move(targets));
    EXPECT_TRUE(RunUntil([&] { return finished; }, 30000));
    return said;
  }
  std::vector<std::string> Restore(std::vector<DeviceRestore::Target> targets) {
    std::vector<std::string> said;
    bool finished = false;
    restore.OnDevice = [&](int, const std::string& failure) { said.push_back(failure); };
    restore.OnFinished = [&](bool) { finished = true; };
    restore.Start(std::move(targets));
    EXPECT_TRUE(RunUntil([&] { return finished; }, 30000));
    return said;
  }

  void Send(const std::function<void()>& start) {
    start();
    ASSERT_TRUE(WaitIdle());
  }
  pa422::Bytes SimBlock(int address, int preset) {
    return Unhex(
        sim.Ok("preset " + std::to_string(address) + " " + std::to_string(preset)).substr(3));
  }
  // What device 1 plays: its running preset, working curve, filters, name
  // and that preset's lock.
  pa422::Bytes Playing() { return SimBlock(1, 0).substr(0, all::kPreset); }

  // Device 1 runs preset 2 with band 8 moved since its backup. A restore,
  // a stopped one and one that fails leave it playing that where it still
  // answers, its stored presets as backed up.
  void RestoreKeepsWhatTheDevicePlays() {
    const std::filesystem::path set = dir / "set";
    Send([&] { engine.RecallPreset(1, 2); });
    ASSERT_EQ(Read({{1, set}}, WriteBackupSet), std::vector<std::string>{""});
    // Reading the presets changes nothing the device runs.
    EXPECT_EQ(pa422::BlockByte(SimBlock(1, 0), all::kPreset), 2);
    Send([&] { engine.UpdateParameter(1, pa422::kDevicePassword, DeviceGainCode(6), 9); });
    const pa422::Bytes playing = Playing();
    std::vector<std::string> differences;
    const auto compare = [&](const DevicePresetReader::Target& t,
                             const std::vector<pa422::Bytes>& blocks) {
      differences = BackupDifferences(LoadBackupSet(t.dir), blocks);
      return std::string();
    };

    EXPECT_EQ(Restore({{1, set}}), std::vector<std::string>{""});
    EXPECT_EQ(Playing(), playing);
    Read({{1, set}}, compare);
    EXPECT_TRUE(differences.empty()) << differences.at(0);

    restore.OnPreset = [&](int, int) { restore.Stop(); };
    EXPECT_EQ(Restore({{1, set}}),
              std::vector<std::string>{"stopped before preset 2; written and verified: presets 1"});
    EXPECT_EQ(Playing(), playing);
    restore.OnPreset = nullptr;

    // Running preset 2, read, preset 1 read, written, read back; preset 2
    // read, then nobody answers any more.
    sim.Ok("fault 1 after 5 absent");
    EXPECT_EQ(Restore({{1, set}}),
              std::vector<std::string>{
                  "writing preset 2 failed (ORB Not Found.); written and verified: presets 1; "
                  "preset 2 may be partly written; it could not be put back on preset 2: "
                  "recalling preset 2 failed (ORB Not Found.)"});
  }

  LineQueue queue{engine};
  DevicePresetReader reader{queue};
  DeviceRestore restore{queue};
  TempDir dir;
};

class DeviceRestoreStoringMovesTest : public DeviceRestoreTest {
 protected:
  DeviceRestoreStoringMovesTest() : DeviceRestoreTest({"--devices", "1,2", "--store-moves"}) {}
};
}  // namespace

TEST_F(DeviceRestoreTest, TheDeviceGoesOnPlayingWhatItPlayed) { RestoreKeepsWhatTheDevicePlays(); }

TEST_F(DeviceRestoreStoringMovesTest, TheDeviceGoesOnPlayingWhatItPlayed) {
  RestoreKeepsWhatTheDevicePlays();
}

TEST_F(DeviceRestoreTest, ChangesAreNamedAndTheRestoreBringsThemBack) {
  const std::filesystem::path set = dir / "set";
  EXPECT_EQ(Read({{1, set}}, WriteBackupSet), std::vector<std::string>{""});

  // Preset 3 gets a high-pass filter and a lock after the backup.
  TEqualizerDocument changed;
  changed.HighPassIndex = 5;
  changed.PresetName = "PRESET 3";
  engine.TransmitAllData(1, 3, CopyVarloDataToORB(changed, 3));
  ASSERT_TRUE(WaitIdle());
  engine.LockPreset(1, 3, pa422::kDevicePassword);
  ASSERT_TRUE(WaitIdle());
  std::vector<std::string> differences;
  const auto compare = [&](const DevicePresetReader::Target& t, const std::vector<pa422::Bytes>& blocks) {
    differences = BackupDifferences(LoadBackupSet(t.dir), blocks);
    return std::string();
  };
  Read({{1, set}}, compare);
  EXPECT_EQ(differences, (std::vector<std::string>{"preset 3: high-pass backup " + HighPassLabel(0) +
                                                       ", device " + HighPassLabel(5),
                                                   "preset 3: lock backup off, device on"}));

  EXPECT_EQ(Restore({{1, set}}), std::vector<std::string>{""});
  Read({{1, set}}, compare);
  EXPECT_TRUE(differences.empty());
}

TEST_F(DeviceRestoreTest, AFailureNamesThePresetAndTheStep) {
  const std::filesystem::path set = dir / "set", damaged = dir / "damaged";
  Read({{1, set}, {2, damaged}}, WriteBackupSet);
  std::string file = ReadSmallFile(damaged / "preset-2.V95", 68);
  file[10] = 30;
  std::ofstream(damaged / "preset-2.V95", std::ios::binary) << file;
  const std::vector<std::string> said = Restore({{1, dir / "none"}, {2, damaged}, {3, set}});
  ASSERT_EQ(said.size(), 3u);
  EXPECT_NE(said[0].find("; nothing was sent"), std::string::npos) << said[0];
  EXPECT_EQ(said[1].rfind((damaged / "preset-2.V95").string() + ": its CRC-32 is ", 0), 0u)
      << said[1];
  EXPECT_EQ(said[1].find("nothing was sent; nothing"), std::string::npos) << said[1];
  EXPECT_EQ(said[2], "reading the working settings failed (ORB Not Found.); no preset was written");
}
