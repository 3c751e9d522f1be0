// varlo-cli snapshot against a simulated bus: a capture with a device in
// error and an absent one, a diff that names a change, a recall that
// brings the bus back while Mute stays as it is unless asked, a folder
// that was edited refused before anything is sent, and Ctrl-C during a
// recall that finishes the device in hand.
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "eq/SnapshotFile.h"
#include "link/Json.h"
#include "tests/cli/CliRunner.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/OrbSimProcess.h"

namespace fs = std::filesystem;

namespace {
class VarloCliSnapshot : public CliFixture {
 protected:
  void Bus(std::vector<std::string> args) {
    args.insert(args.begin(), "--no-pacing");
    sim_ = std::make_unique<OrbSimProcess>(args);
  }
  std::vector<std::string> With(std::vector<std::string> args) {
    args.insert(args.begin(), "snapshot");
    args.insert(args.end(), {"--device", sim_->Url()});
    return args;
  }
  bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

  std::unique_ptr<OrbSimProcess> sim_;
};
}  // namespace

TEST_F(VarloCliSnapshot, CaptureDiffAndRecallTheBus) {
  Bus({"--devices", "1,2"});
  sim_->Ok("fault 2 status 5");
  CliResult r = Run(With({"capture", "--out", Path("bad"), "--addresses", "1-3", "--working-only"}));
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(Has(r.out, "address 2  error: ")) << r.out;
  EXPECT_TRUE(Has(r.out, "address 3  absent")) << r.out;
  EXPECT_TRUE(Has(r.out, "snapshot of 1 device (1 absent, 1 error)")) << r.out;
  sim_->Ok("fault clear");
  ASSERT_EQ(Run(With({"capture", "--out", Path("snap"), "--addresses", "1,2"})).status, 0);

  // Another snapshot, band 8 of device 1 up 3 dB and muted, recalled with
  // Mute: the bus now differs from the first, in those words.
  fs::copy(Path("snap"), Path("changed"), fs::copy_options::recursive);
  Snapshot changed = ParseSnapshot(Get(Path("changed/snapshot.json")));
  changed.devices[0].working->bands[7] = 6;
  changed.devices[0].mute = true;
  Put(Path("changed/snapshot.json"), SnapshotJson(changed));
  r = Run(With({"recall", Path("changed"), "--mute-bypass"}));
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(Has(r.out, "recalled 2 of 2 devices as captured")) << r.out;
  r = Run(With({"diff", Path("snap"), "--json"}));
  EXPECT_EQ(r.status, 1);
  const auto json = ParseJson(r.out);
  ASSERT_TRUE(json && json->Array() && json->Array()->size() == 2) << r.out;
  EXPECT_EQ(*json->Array()->at(0).Member("verdict")->String(), "differs");
  EXPECT_EQ(*json->Array()->at(1).Member("verdict")->String(), "match");
  const JsonArray& differences = *json->Array()->at(0).Member("differences")->Array();
  ASSERT_EQ(differences.size(), 2u) << r.out;
  EXPECT_EQ(*differences[0].String(), "mute off \u2192 on");
  EXPECT_EQ(*differences[1].String(), "band 8 (125 Hz) 0.0 dB \u2192 +3.0 dB");
  // The arrow as UTF-8, as any JSON reader takes it, not as its bytes.
  EXPECT_NE(r.out.find("\"mute off \u2192 on\""), std::string::npos) << r.out;

  // Recalled without Mute, device 1 stays muted: the only difference.
  r = Run(With({"recall", Path("snap"), "--presets"}));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  r = Run(With({"diff", Path("snap"), "--presets"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "address 1  differs\n  mute off \u2192 on\naddress 2  match\n");
  ASSERT_EQ(Run(With({"recall", Path("snap"), "--mute-bypass"})).status, 0);
  EXPECT_EQ(Run(With({"diff", Path("snap"), "--presets"})).status, 0);
}

TEST_F(VarloCliSnapshot, AnEditedOrHalfWrittenFolderIsRefusedBeforeAnythingIsSent) {
  Bus({"--devices", "1"});
  ASSERT_EQ(Run(With({"capture", "--out", Path("snap"), "--addresses", "1"})).status, 0);
  std::string file = Get(Path("snap/addr-001/preset-2.V95"));
  file[5] ^= 1;
  Put(Path("snap/addr-001/preset-2.V95"), file);
  sim_->Ok("frames");
  ExpectRefused(With({"recall", Path("snap"), "--presets"}), "preset-2.V95");
  fs::remove(Path("snap/snapshot.json"));
  ExpectRefused(With({"recall", Path("snap")}), "snapshot.json");
  EXPECT_EQ(sim_->Ok("frames"), "ok");
  // Nor is a folder that holds other things replaced by a capture.
  ExpectRefused(With({"capture", "--out", Path("snap"), "--addresses", "1"}), "not an earlier snapshot");
}

TEST_F(VarloCliSnapshot, ALineThatGoesAwayWritesNoSnapshot) {
  Bus({"--latency-ms", "50", "--devices", "1,2"});
  ChildProcess capture({"/bin/sh", "-c",
                        "exec '" VARLO_CLI_PATH "' snapshot capture --out '" + Path("snap") +
                            "' --addresses 1,2 --device " + sim_->Url() + " 2>'" + Path("capture.err") + "'"});
  std::string frames;
  for (int i = 0; i < 1000 && !Has(frames, "1:0101"); ++i) {
    frames += sim_->Ok("frames");
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  sim_->Ok("drop");
  EXPECT_EQ(capture.WaitExit(20000), 1);
  EXPECT_TRUE(Has(Get(Path("capture.err")), "the line went away")) << Get(Path("capture.err"));
  EXPECT_TRUE(Has(Get(Path("capture.err")), "nothing was written")) << Get(Path("capture.err"));
  EXPECT_FALSE(fs::exists(Path("snap")));
}

TEST_F(VarloCliSnapshot, CtrlCDuringARecallFinishesTheDeviceInHand) {
  Bus({"--latency-ms", "50", "--devices", "1,2"});
  ASSERT_EQ(Run(With({"capture", "--out", Path("snap"), "--working-only", "--addresses", "1,2"})).status, 0);
  sim_->Ok("frames");
  ChildProcess recall({"/bin/sh", "-c",
                       "exec '" VARLO_CLI_PATH "' snapshot recall '" + Path("snap") + "' --device " + sim_->Url() +
                           " 2>'" + Path("recall.err") + "'"});
  // SIGINT once device 1 has been told to recall its preset.
  std::string frames;
  for (int i = 0; i < 1000 && !Has(frames, "1:82"); ++i) {
    frames += sim_->Ok("frames");
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(Has(frames, "1:82")) << frames;
  ASSERT_EQ(kill(recall.Pid(), SIGINT), 0);
  EXPECT_EQ(recall.WaitExit(20000), 1);
  EXPECT_EQ(Get(Path("recall.err")),
            "varlo-cli: recall stopped by SIGINT after 1 of 2 devices; the rest were not recalled\n");
  EXPECT_EQ(recall.ReadLine(1000), "address 1  recalled: match");
  frames += sim_->Ok("frames");
  EXPECT_TRUE(Has(frames, "1:81")) << frames;  // its working settings went out
  EXPECT_FALSE(Has(frames, "2:8")) << frames;
}
