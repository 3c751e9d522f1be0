#include "eq/SnapshotFile.h"

#include <algorithm>

#include "link/Json.h"
#include "link/JsonFields.h"
#include "link/JsonText.h"

namespace all = pa422::all_data;

namespace {
const JsonFields kFields(kSnapshotName);

const char* StateName(SnapshotDevice::State state) {
  switch (state) {
    case SnapshotDevice::State::Absent:
      return "absent";
    case SnapshotDevice::State::Error:
      return "error";
    case SnapshotDevice::State::Present:
      break;
  }
  return "present";
}

std::string Bool(bool value) { return value ? "true" : "false"; }

std::string WorkingJson(const SnapshotWorking& w) {
  std::string json = "{\"bands\": [";
  for (int band = 0; band < kBandCount; ++band) json += (band ? ", " : "") + std::to_string(w.bands[band]);
  json += "], \"gain\": " + std::to_string(w.gain) + ", \"highPass\": " + std::to_string(w.highPass) +
          ", \"lowPass\": " + std::to_string(w.lowPass) + ", \"presetName\": " + JsonString(w.presetName) +
          ", \"lock\": " + (w.lock ? "1" : "0") + "}";
  return json;
}

SnapshotWorking ParseWorking(const JsonValue& object, int address) {
  const std::string at = "address " + std::to_string(address) + ": ";
  if (!object.Object()) throw kFields.Error(at + "\"working\" needs an object");
  SnapshotWorking w;
  const JsonArray* bands = kFields.Required(object, "bands").Array();
  if (!bands || bands->size() != size_t(kBandCount))
    throw kFields.Error(at + "\"bands\" needs a list of " + std::to_string(kBandCount) + " numbers");
  for (int band = 0; band < kBandCount; ++band) {
    const auto steps = (*bands)[band].Integer(-kDefaultSliderRange, kDefaultSliderRange);
    if (!steps) throw kFields.Error(at + "band " + std::to_string(band + 1) + " is not a level from -24 to 24");
    w.bands[band] = static_cast<int>(*steps);
  }
  w.gain = static_cast<int>(kFields.Integer(object, "gain", -kDefaultSliderRange, kDefaultSliderRange));
  w.highPass = static_cast<int>(kFields.Integer(object, "highPass", 0, kFilterCount - 1));
  w.lowPass = static_cast<int>(kFields.Integer(object, "lowPass", 0, kFilterCount - 1));
  w.presetName = kFields.String(object, "presetName");
  w.lock = kFields.Integer(object, "lock", 0, 255) != 0;
  return w;
}
}  // namespace

const SnapshotDevice* Snapshot::Find(int address) const {
  for (const SnapshotDevice& d : devices)
    if (d.address == address) return &d;
  return nullptr;
}

std::string SnapshotJson(const Snapshot& s) {
  std::string json = "{\n";
  json += "  \"format\": " + JsonString(kSnapshotFormat) + ",\n";
  json += "  \"version\": " + std::to_string(kSnapshotVersion) + ",\n";
  json += "  \"created\": " + JsonString(s.created) + ",\n";
  json += "  \"line\": " + JsonString(s.line) + ",\n";
  json += "  \"devices\": [";
  for (size_t i = 0; i < s.devices.size(); ++i) {
    const SnapshotDevice& d = s.devices[i];
    json += i ? ",\n" : "\n";
    json += "    {\"address\": " + std::to_string(d.address) + ", \"deviceName\": " + JsonString(d.deviceName) +
            ", \"state\": " + JsonString(StateName(d.state)) + ", \"currentPreset\": " +
            std::to_string(d.currentPreset) + ", \"mute\": " + Bool(d.mute) + ", \"bypass\": " + Bool(d.bypass) +
            ", \"working\": " + (d.working ? WorkingJson(*d.working) : "null") +
            ", \"presets\": " + (d.presets.empty() ? "null" : JsonString(d.presets)) + "}";
  }
  json += "\n  ]\n}\n";
  return json;
}

Snapshot ParseSnapshot(std::string_view text) {
  std::string error;
  std::optional<JsonValue> root = ParseJson(text, &error);
  if (!root) throw kFields.Error("not JSON (" + error + ")");
  if (!root->Object()) throw kFields.Error("not a JSON object");
  if (kFields.String(*root, "format") != kSnapshotFormat) throw kFields.Error("not a varlo95 snapshot");
  const long long version = kFields.Integer(*root, "version", 0, 1000000);
  if (version != kSnapshotVersion)
    throw kFields.Error("version " + std::to_string(version) + " is not one this program reads");
  Snapshot s;
  s.created = kFields.String(*root, "created");
  s.line = kFields.String(*root, "line");
  const JsonArray* devices = kFields.Required(*root, "devices").Array();
  if (!devices) throw kFields.Error("\"devices\" needs a list");
  for (const JsonValue& entry : *devices) {
    if (!entry.Object()) throw kFields.Error("a device entry is not an object");
    SnapshotDevice d;
    d.address = static_cast<int>(kFields.Integer(entry, "address", 1, kMaxAddress));
    if (s.Find(d.address)) throw kFields.Error("address " + std::to_string(d.address) + " listed twice");
    d.deviceName = kFields.String(entry, "deviceName");
    const std::string state = kFields.String(entry, "state");
    if (state == "present")
      d.state = SnapshotDevice::State::Present;
    else if (state == "absent")
      d.state = SnapshotDevice::State::Absent;
    else if (state == "error")
      d.state = SnapshotDevice::State::Error;
    else
      throw kFields.Error("address " + std::to_string(d.address) + ": unknown state \"" + state + "\"");
    d.currentPreset = static_cast<int>(kFields.Integer(entry, "currentPreset", 1, kPresetCount));
    d.mute = kFields.Bool(entry, "mute");
    d.bypass = kFields.Bool(entry, "bypass");
    const JsonValue& working = kFields.Required(entry, "working");
    if (!std::holds_alternative<std::nullptr_t>(working.value)) d.working = ParseWorking(working, d.address);
    if (d.state == SnapshotDevice::State::Present && !d.working)
      throw kFields.Error("address " + std::to_string(d.address) + ": a present device needs its \"working\"");
    const JsonValue& presets = kFields.Required(entry, "presets");
    if (const std::string* folder = presets.String()) {
      // Only a plain name within the snapshot folder.
      if (folder->empty() || folder->find('/') != std::string::npos || *folder == "." || *folder == "..")
        throw kFields.Error("address " + std::to_string(d.address) + ": \"presets\" is not a folder name in it");
      d.presets = *folder;
    } else if (!std::holds_alternative<std::nullptr_t>(presets.value)) {
      throw kFields.Error("address " + std::to_string(d.address) + ": \"presets\" needs a folder name or null");
    }
    s.devices.push_back(std::move(d));
  }
  return s;
}

SnapshotWorking WorkingFromTransmitBlock(const pa422::Bytes& block, bool locked) {
  namespace tx = pa422::transmit;
  SnapshotWorking w;
  for (int band = 0; band < kBandCount; ++band)
    w.bands[band] = StepsFromDeviceGainCode(pa422::BlockByte(block, tx::kLevels + band));
  w.gain = StepsFromDeviceGainCode(pa422::BlockByte(block, tx::kLevels + kBandCount));
  w.highPass = pa422::BlockByte(block, tx::kHighPass);
  w.lowPass = pa422::BlockByte(block, tx::kLowPass);
  w.presetName = pa422::BlockName(block, tx::kPresetName);
  w.lock = locked;
  return w;
}

SnapshotDevice DeviceFromWorkingBlock(int address, const pa422::Bytes& block) {
  SnapshotDevice d;
  d.address = address;
  d.deviceName = pa422::BlockName(block, all::kDeviceName);
  d.currentPreset = std::clamp(int(pa422::BlockByte(block, all::kPreset)), 1, kPresetCount);
  d.mute = pa422::BlockByte(block, all::kMute) != 0;
  d.bypass = pa422::BlockByte(block, all::kBypass) != 0;
  SnapshotWorking w;
  for (int band = 0; band < kBandCount; ++band)
    w.bands[band] = StepsFromDeviceGainCode(pa422::BlockByte(block, all::kFirstBand + band));
  w.gain = StepsFromDeviceGainCode(pa422::BlockByte(block, all::kGain));
  w.highPass = pa422::BlockByte(block, all::kHighPass);
  w.lowPass = pa422::BlockByte(block, all::kLowPass);
  w.presetName = pa422::BlockName(block, all::kPresetName);
  w.lock = pa422::BlockByte(block, all::kLock) != 0;
  d.working = w;
  return d;
}
