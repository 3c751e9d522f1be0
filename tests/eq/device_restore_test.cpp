// Backing a device up, comparing and restoring it through the line queue
// against orbsim: what changed since the backup is named (filters and
// lock), the restore brings it all back, and a failure names the preset,
// the step and what was restored before it.
#include "eq/DeviceBackup.h"
#include "eq/DeviceBlock.h"
#include "eq/DeviceRestore.h"
#include "eq/EqualizerDocument.h"
#include "tests/link/LinkFixture.h"
#include "testsupport/TempDir.h"

namespace {
class DeviceRestoreTest : public LinkFixture {
 protected:
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

  LineQueue queue{engine};
  DevicePresetReader reader{queue};
  DeviceRestore restore{queue};
  TempDir dir;
};
}  // namespace

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
  const std::filesystem::path set = dir / "set";
  Read({{1, set}}, WriteBackupSet);
  const std::vector<std::string> said = Restore({{1, dir / "none"}, {3, set}});
  ASSERT_EQ(said.size(), 2u);
  EXPECT_NE(said[0].find("; nothing was sent"), std::string::npos) << said[0];
  EXPECT_EQ(said[1], "reading preset 1: ORB Not Found.; no preset was written");
}
