// varlo-cli against a simulated bus: listing devices, backing a device up
// and restoring it, with the faults an installed system meets (an empty
// bus, a missing address, a locked preset, a device that stops answering
// halfway). What reached the devices is read back from orbsim.
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "eq/BackupSet.h"
#include "link/Json.h"
#include "link/PA422Messages.h"
#include "tests/cli/CliRunner.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/Hex.h"
#include "testsupport/OrbSimProcess.h"

namespace fs = std::filesystem;
namespace all = pa422::all_data;

namespace {
class VarloCliDevices : public CliFixture {
 protected:
  // The bus for one test: orbsim without byte pacing, devices as given.
  OrbSimProcess& Bus(const std::string& devices) {
    sim_ = std::make_unique<OrbSimProcess>(std::vector<std::string>{"--no-pacing", "--devices", devices});
    return *sim_;
  }
  std::vector<std::string> With(std::vector<std::string> args) {
    args.insert(args.end(), {"--device", sim_->Url()});
    return args;
  }
  std::string Block(int address, int preset) {
    return Unhex(sim_->Ok("preset " + std::to_string(address) + " " + std::to_string(preset)).substr(3));
  }
  // Rewrites a backup's preset file and its manifest entry.
  void ReplacePresetFile(const std::string& dir, int preset, const std::string& bytes, bool locked) {
    Put(dir + "/" + PresetFileName(preset), bytes);
    BackupManifest m = ParseManifest(Get(dir + "/manifest.json"));
    for (BackupPreset& p : m.presets)
      if (p.preset == preset) {
        p.crc32 = Crc32(bytes);
        p.locked = locked;
      }
    Put(dir + "/manifest.json", ManifestJson(m));
  }

  std::unique_ptr<OrbSimProcess> sim_;
};

uint8_t At(const std::string& block, int position) { return static_cast<uint8_t>(block.at(position - 1)); }

// A Mac file of preset 3 with band 2 at level 10, low-pass 12, named "RIDE".
std::string RideFile(const std::string& original) {
  std::string file = original;
  file[3] = 10;
  file[34] = 12;
  file.replace(35, 16, "RIDE            ");
  return file;
}
}  // namespace

TEST_F(VarloCliDevices, ListsWhatAnswersAsATableOrJson) {
  Bus("2,4");
  CliResult r = Run(With({"devices", "--addresses", "2-4", "--json"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");  // no progress bar when stderr is not a terminal
  auto json = ParseJson(r.out);
  ASSERT_TRUE(json && json->Array()) << r.out;
  ASSERT_EQ(json->Array()->size(), 2u);
  const JsonValue& second = json->Array()->at(1);
  EXPECT_EQ(second.Member("address")->Integer(1, 240), 4);
  EXPECT_EQ(*second.Member("deviceName")->String(), "ORB 4");
  EXPECT_EQ(second.Member("currentPreset")->Integer(0, 8), 1);
  EXPECT_FALSE(*second.Member("mute")->Bool());
  ASSERT_EQ(second.Member("presets")->Array()->size(), 8u);
  EXPECT_EQ(*second.Member("presets")->Array()->at(7).Member("name")->String(), "PRESET 8");
  // Address 3 was asked and nobody answered; nothing else went out.
  std::string frames = sim_->Ok("frames");
  EXPECT_NE(frames.find("2:010100"), std::string::npos);
  EXPECT_NE(frames.find("4:010108"), std::string::npos);
  EXPECT_EQ(frames.find("3:"), std::string::npos);

  r = Run(With({"devices", "--addresses", "4"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, 4), "ADDR");
  EXPECT_NE(r.out.find("\n   4  ORB 4 "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("8:PRESET 8\n"), std::string::npos) << r.out;
}

TEST_F(VarloCliDevices, EmptyBusAndUnusableLines) {
  Bus("none");
  CliResult r = Run(With({"devices", "--addresses", "1-2", "--json"}));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "[]\n");
  r = Run(With({"devices", "--addresses", "7"}));
  EXPECT_EQ(r.out, "no device answered\n");

  ExpectFailure({"devices", "--device", "/dev/no-such-tty"}, "cannot open /dev/no-such-tty");
  ExpectFailure({"devices", "--device", "rfc2217://127.0.0.1:1"}, "cannot open rfc2217://127.0.0.1:1");
  ExpectUsageError(With({"devices", "--port", "2"}), "not both");
  ExpectUsageError(With({"devices", "--addresses", "5-3"}), "ends before it starts");
  ExpectUsageError(With({"backup", "--out", Path("b")}), "--address N is required");
  ExpectUsageError(With({"restore", "--address", "1"}), "--from DIR is required");
}

TEST_F(VarloCliDevices, PortNumberIsLookedUpInTheSettingsFile) {
  Bus("5");
  fs::create_directories(Path("config/Varlo95"));
  Put(Path("config/Varlo95/Varlo95.ini"),
      "[Communications]\nCom Port=3\nCom 7 Device=" + sim_->Url() + "\nCom 3 Device=" + sim_->Url() + "\n");
  const std::string env = "XDG_CONFIG_HOME=" + Path("config");
  CliResult r = Run({"devices", "--addresses", "5", "--json", "--port", "7"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"ORB 5\""), std::string::npos) << r.out;
  // Without --port the program's own port setting is used.
  r = Run({"devices", "--addresses", "5", "--json"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"ORB 5\""), std::string::npos) << r.out;
}

TEST_F(VarloCliDevices, BackupThenRestoreToAReplacedUnit) {
  Bus("1,3");
  CliResult r = Run(With({"backup", "--address", "1", "--out", Path("backup")}));
  ASSERT_EQ(r.status, 0) << r.err;
  for (int preset = 1; preset <= 8; ++preset) {
    std::string file = Get(Path("backup/" + PresetFileName(preset)));
    ASSERT_EQ(file.size(), 68u);
    EXPECT_EQ(file.substr(52, 16), "ORB 1           ");
    EXPECT_EQ(file.substr(2, 30), Block(1, preset).substr(0, 30));
  }
  BackupManifest manifest = ParseManifest(Get(Path("backup/manifest.json")));
  EXPECT_EQ(manifest.address, 1);
  EXPECT_EQ(manifest.deviceName, "ORB 1");
  ASSERT_EQ(manifest.presets.size(), 8u);

  // The backup is edited: preset 3 gets another curve and is to be locked.
  ReplacePresetFile(Path("backup"), 3, RideFile(Get(Path("backup/preset-3.V95"))), true);
  sim_->Ok("frames");
  r = Run(With({"restore", "--address", "3", "--from", Path("backup")}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("preset 3  RIDE (locked)  written and verified"), std::string::npos) << r.out;
  std::string block = Block(3, 3);
  EXPECT_EQ(At(block, all::kFirstBand + 1), 10);
  EXPECT_EQ(At(block, all::kLowPass), 12);
  EXPECT_EQ(block.substr(all::kPresetName - 1, 16), "RIDE            ");
  EXPECT_EQ(At(block, all::kLock), 1);
  EXPECT_EQ(Block(3, 5).substr(0, 49), Block(1, 5).substr(0, 49));
  EXPECT_EQ(Block(3, 0).substr(all::kDeviceName - 1, 16), "ORB 1           ");  // renamed once
  EXPECT_EQ(At(Block(3, 0), all::kPreset), 1);  // it runs the preset it ran
  std::string frames = sim_->Ok("frames");
  EXPECT_EQ(frames.find("1:"), std::string::npos);  // device 1 left alone
  EXPECT_NE(frames.find("3:93"), std::string::npos);
  EXPECT_NE(frames.find("3:940103"), std::string::npos);  // lock preset 3

  // The locked preset is backed up as locked, and a restore that says
  // "unlocked" unlocks it first and leaves it unlocked.
  r = Run(With({"backup", "--address", "3", "--out", Path("second")}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("preset 3  RIDE (locked)"), std::string::npos) << r.out;
  EXPECT_TRUE(ParseManifest(Get(Path("second/manifest.json"))).Find(3)->locked);
  r = Run(With({"restore", "--address", "3", "--from", Path("backup"), "--preset", "2"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "preset 2  PRESET 2  written and verified\nrestored 1 preset to address 3\n");
  ReplacePresetFile(Path("backup"), 3, Get(Path("backup/preset-3.V95")), false);
  sim_->Ok("frames");
  r = Run(With({"restore", "--address", "3", "--from", Path("backup"), "--preset", "3"}));
  ASSERT_EQ(r.status, 0) << r.err;
  frames = sim_->Ok("frames");
  EXPECT_LT(frames.find("3:950103"), frames.find("3:81"));  // unlocked, then written
  EXPECT_EQ(At(Block(3, 3), all::kLock), 0);
}

TEST_F(VarloCliDevices, NothingIsSentFromAFileThatDoesNotCheckOut) {
  Bus("1");
  ASSERT_EQ(Run(With({"backup", "--address", "1", "--out", Path("b")})).status, 0);
  std::string file = Get(Path("b/preset-6.V95"));
  file[10] = 30;  // changed after the backup: the CRC no longer matches
  Put(Path("b/preset-6.V95"), file);
  sim_->Ok("frames");
  CliResult r = ExpectFailure(With({"restore", "--address", "1", "--from", Path("b")}),
                              Path("b/preset-6.V95") + ": its CRC-32");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(sim_->Ok("frames"), "ok");  // not even preset 1 went out
  ExpectFailure(With({"restore", "--address", "1", "--from", Path("nothing")}), "cannot read");
  fs::remove(Path("b/preset-2.V95"));
  ExpectFailure(With({"restore", "--address", "1", "--from", Path("b"), "--preset", "2"}),
                "preset-2.V95\": No such file");
  // The one preset asked for does check out.
  r = Run(With({"restore", "--address", "1", "--from", Path("b"), "--preset", "4"}));
  EXPECT_EQ(r.status, 0) << r.err;
}

// Run prefix for a command that, wrongly built, would read without end or
// wait for ever: a time limit and, where no sanitizer needs the address
// space, a memory limit.
std::string Bounded() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return "timeout 30";
#else
  return "ulimit -v 4000000; timeout 30";
#endif
}

TEST_F(VarloCliDevices, RestoreReadsOnlyRegularFilesOfTheirSize) {
  Bus("1");
  ASSERT_EQ(Run(With({"backup", "--address", "1", "--out", Path("b")})).status, 0);
  sim_->Ok("frames");
  const std::string preset1 = Path("b/preset-1.V95");
  fs::remove(preset1);
  fs::create_symlink("/dev/zero", preset1);
  ExpectFailure(With({"restore", "--address", "1", "--from", Path("b")}),
                preset1 + "\": it is not a regular file; nothing was sent", Bounded());
  fs::remove(preset1);
  ASSERT_EQ(mkfifo(preset1.c_str(), 0600), 0);
  ExpectFailure(With({"restore", "--address", "1", "--from", Path("b")}),
                preset1 + "\": it is not a regular file", Bounded());
  fs::remove(preset1);
  Put(preset1, std::string(68, ' ') + std::string(1000, ' '));
  ExpectFailure(With({"restore", "--address", "1", "--from", Path("b")}),
                preset1 + "\": the file is too long (1068 bytes", Bounded());

  // The manifest is held to the same rules, and named.
  fs::create_directories(Path("c/manifest.json"));
  ExpectFailure(With({"restore", "--address", "1", "--from", Path("c")}),
                "cannot read " + Path("c/manifest.json") + ": it is a folder", Bounded());
  fs::remove(Path("c/manifest.json"));
  fs::create_symlink("/dev/zero", Path("c/manifest.json"));
  ExpectFailure(With({"restore", "--address", "1", "--from", Path("c")}),
                "cannot read " + Path("c/manifest.json") + ": it is not a regular file", Bounded());
  EXPECT_EQ(sim_->Ok("frames"), "ok");  // nothing went out
}

TEST_F(VarloCliDevices, MissingAddressWritesNothing) {
  Bus("1");
  const std::string nobody = "no device answered at address 2 on " + sim_->Url() +
                             " (is the line connected and the device powered?)";
  ExpectFailure(With({"backup", "--address", "2", "--out", Path("b")}), nobody + "; nothing was written");
  EXPECT_FALSE(fs::exists(Path("b")));
  ASSERT_EQ(Run(With({"backup", "--address", "1", "--out", Path("b")})).status, 0);
  ExpectFailure(With({"restore", "--address", "2", "--from", Path("b")}), nobody + "; nothing was sent");
}

TEST_F(VarloCliDevices, ALineThatFailsIsNamedWithWhatHappened) {
  Bus("1");
  // The server turns a second client away at once.
  const int first = ConnectLoopbackTcp(sim_->SerialPort());
  ASSERT_GE(first, 0);
  for (int i = 0; i < 200 && sim_->Ok("state").find("client=1") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  CliResult r = ExpectFailure(With({"devices", "--addresses", "1"}),
                              "the server at " + sim_->Url() +
                                  " closed the connection at once (is another client using the line?)");
  EXPECT_EQ(r.out, "");
  close(first);

  // The server goes away in the middle: the scan stops there instead of
  // waiting out every address as "not found".
  sim_->Ok("drop at dsr");
  const auto start = std::chrono::steady_clock::now();
  r = ExpectFailure(With({"devices", "--addresses", "1-20"}),
                    "the server at " + sim_->Url() +
                        " closed the connection while asking address 1; the scan stopped there");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(r.out, "");
  sim_->Ok("drop at dtid");
  ExpectFailure(With({"backup", "--address", "1", "--out", Path("b")}),
                "the server at " + sim_->Url() +
                    " closed the connection while reading preset 1 of address 1; nothing was written");
  EXPECT_FALSE(fs::exists(Path("b")));
}

TEST_F(VarloCliDevices, DeviceThatStopsAnsweringHalfwayThroughABackup) {
  Bus("1");
  ASSERT_EQ(Run(With({"backup", "--address", "1", "--out", Path("b")})).status, 0);
  const std::string manifest = Get(Path("b/manifest.json"));
  sim_->Ok("fault 1 after 3 absent");
  CliResult r = ExpectFailure(With({"backup", "--address", "1", "--out", Path("b")}),
                              "stopped answering while reading preset 4 (ORB Not Found.); nothing was written");
  EXPECT_EQ(Get(Path("b/manifest.json")), manifest);  // the earlier backup is intact

  // A reply that loses its status byte is a device that stopped answering too.
  sim_->Ok("fault clear");
  sim_->Ok("fault 1 after 1 short-reply");
  ExpectFailure(With({"backup", "--address", "1", "--out", Path("c")}),
                "stopped answering while reading preset 2 (Timeout - Waiting for Data from ORB.)");
  EXPECT_FALSE(fs::exists(Path("c")));
}

// The backup tool run as an ordinary user, for whom file permissions
// count: as root the test drops to "nobody" and hands it `owned`.
std::string AsOrdinaryUser(const std::vector<fs::path>& owned) {
  if (geteuid() != 0) return "";
  const passwd* nobody = getpwnam("nobody");
  EXPECT_NE(nobody, nullptr);
  if (!nobody) return "";
  for (const fs::path& path : owned) EXPECT_EQ(lchown(path.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  return "setpriv --reuid=" + std::to_string(nobody->pw_uid) +
         " --regid=" + std::to_string(nobody->pw_gid) + " --clear-groups";
}

TEST_F(VarloCliDevices, BackupReplacesAnEarlierBackupAllOrNothing) {
  Bus("1,3");
  fs::permissions(dir_, fs::perms(0755));
  fs::create_directory(Path("work"));
  ASSERT_EQ(Run(With({"backup", "--address", "1", "--out", Path("work/b")})).status, 0);
  // One file of the earlier backup may not be written by the user; it no
  // longer matters, as the files are not rewritten in place.
  fs::permissions(Path("work/b/preset-4.V95"), fs::perms(0444));
  std::vector<fs::path> owned{Path("work"), Path("work/b")};
  for (int preset = 1; preset <= 8; ++preset)
    if (preset != 4) owned.push_back(Path("work/b/" + PresetFileName(preset)));
  owned.push_back(Path("work/b/manifest.json"));
  const std::string user = AsOrdinaryUser(owned);
  CliResult r = Run(With({"backup", "--address", "3", "--out", Path("work/b")}), user);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ParseManifest(Get(Path("work/b/manifest.json"))).deviceName, "ORB 3");
  EXPECT_EQ(Get(Path("work/b/preset-4.V95")).substr(52, 5), "ORB 3");
  EXPECT_EQ(std::distance(fs::directory_iterator(Path("work")), fs::directory_iterator()), 1);
  r = Run(With({"restore", "--address", "1", "--from", Path("work/b"), "--preset", "4"}));
  EXPECT_EQ(r.status, 0) << r.err;

  // A new set that cannot be written (no room for it beside the folder)
  // leaves the earlier backup whole, and the message names where.
  fs::permissions(Path("work"), fs::perms(0555));
  if (!user.empty()) {
    ASSERT_EQ(chown(Path("work").c_str(), 0, 0), 0);
  }
  const std::string manifest = Get(Path("work/b/manifest.json"));
  ExpectFailure(With({"backup", "--address", "1", "--out", Path("work/b")}),
                "cannot create a folder in " + Path("work") + ": Permission denied", user);
  EXPECT_EQ(Get(Path("work/b/manifest.json")), manifest);
  r = Run(With({"restore", "--address", "1", "--from", Path("work/b"), "--preset", "4"}));
  EXPECT_EQ(r.status, 0) << r.err;
  fs::permissions(Path("work"), fs::perms(0755));

  // A folder that holds the user's own files is refused before the device
  // is asked, and nothing in it is touched.
  Put(Path("work/b/notes.txt"), "mine");
  sim_->Ok("frames");
  ExpectFailure(With({"backup", "--address", "1", "--out", Path("work/b")}),
                Path("work/b") + " holds \"notes.txt\", which is not part of a backup");
  EXPECT_EQ(sim_->Ok("frames"), "ok");
  EXPECT_EQ(Get(Path("work/b/manifest.json")), manifest);
  EXPECT_EQ(Get(Path("work/b/notes.txt")), "mine");
}

TEST_F(VarloCliDevices, DeviceThatStopsAnsweringHalfwayThroughARestore) {
  Bus("1,3");
  ASSERT_EQ(Run(With({"backup", "--address", "1", "--out", Path("b")})).status, 0);
  // The working settings are read; preset 1: recall, rename, write, read
  // back; preset 2: recall, write, read back; preset 3: recall, then the
  // write meets nobody, and so does putting the device back.
  sim_->Ok("fault 3 after 9 absent");
  CliResult r =
      ExpectFailure(With({"restore", "--address", "3", "--from", Path("b")}),
                    "device at address 3 stopped answering while writing preset 3 "
                    "(ORB Not Found.); written and verified: presets 1, 2; "
                    "preset 3 may be partly written; it could not be put back on preset 1: "
                    "recalling preset 1 failed (ORB Not Found.)");
  EXPECT_NE(r.out.find("preset 2  PRESET 2  written and verified"), std::string::npos);

  // A device that answers with an error is named as such.
  sim_->Ok("fault clear");
  sim_->Ok("fault 3 after 2 status 2");
  ExpectFailure(With({"restore", "--address", "3", "--from", Path("b"), "--preset", "5"}),
                "device at address 3 failed while writing preset 5 (ComStat Error -2); "
                "no preset was written; preset 5 may be partly written");
}

TEST_F(VarloCliDevices, InterruptedRestoreFinishesThePresetInHandAndSaysWhatWasRestored) {
  // Each transaction takes at least 150 ms, so the signal comes while
  // preset 2 is in hand.
  sim_ = std::make_unique<OrbSimProcess>(
      std::vector<std::string>{"--no-pacing", "--latency-ms", "50", "--devices", "1"});
  ASSERT_EQ(Run(With({"backup", "--address", "1", "--out", Path("b")})).status, 0);
  for (int preset = 1; preset <= 3; ++preset)
    ReplacePresetFile(Path("b"), preset, Get(Path("b/" + PresetFileName(preset))), true);
  ASSERT_EQ(Run(With({"restore", "--address", "1", "--from", Path("b")})).status, 0);
  ASSERT_EQ(At(Block(1, 2), all::kLock), 1);
  sim_->Ok("frames");

  // Locked presets are unlocked, written and locked again: SIGINT comes
  // once preset 2 has been unlocked.
  ChildProcess restore({"/bin/sh", "-c",
                        "exec '" VARLO_CLI_PATH "' restore --address 1 --from '" + Path("b") +
                            "' --device " + sim_->Url() + " 2>'" + Path("restore.err") + "'"});
  std::string frames;
  for (int i = 0; i < 1000 && frames.find("1:950102") == std::string::npos; ++i) {
    frames += sim_->Ok("frames");
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_NE(frames.find("1:950102"), std::string::npos) << frames;
  ASSERT_EQ(kill(restore.Pid(), SIGINT), 0);
  EXPECT_EQ(restore.WaitExit(20000), 1);
  const std::string err = Get(Path("restore.err"));
  EXPECT_EQ(err,
            "varlo-cli: restore to address 1 stopped by SIGINT: written and verified: presets 1, 2; "
            "not restored: presets 3, 4, 5, 6, 7, 8\n");
  EXPECT_EQ(restore.ReadLine(1000), "preset 1  PRESET 1 (locked)  written and verified");
  EXPECT_EQ(restore.ReadLine(1000), "preset 2  PRESET 2 (locked)  written and verified");
  // Preset 2 is locked again; preset 3 was not touched.
  frames += sim_->Ok("frames");
  EXPECT_NE(frames.find("1:940102"), std::string::npos) << frames;
  EXPECT_EQ(frames.find("1:950103"), std::string::npos) << frames;
  for (int preset = 1; preset <= 3; ++preset) EXPECT_EQ(At(Block(1, preset), all::kLock), 1) << preset;
  EXPECT_EQ(At(Block(1, 0), all::kPreset), 1);  // put back on the preset it ran
}
