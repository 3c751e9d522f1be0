#include "settings/Settings.h"

#include <algorithm>
#include <variant>

#include "settings/IniFile.h"

namespace {
constexpr const char* kWorkspace = "Workspace Size";
constexpr const char* kCommunications = "Communications";
constexpr const char* kComPort = "Com Port";
constexpr const char* kResponse = "Response";

// The options kept in the settings file, in the order they are read and
// written.
struct OptionKey {
  const char* section;
  const char* key;
  std::variant<int32_t TProgramOptions::*, bool TProgramOptions::*> field;
};

const OptionKey kOptionKeys[] = {
    {"Scaling", "AutoScale", &TProgramOptions::AutoScale},
    {"Scaling", "HintsOnPage", &TProgramOptions::HintsOnPage},
    {"Scaling", "SliderRange", &TProgramOptions::SliderRange},
    {"Scaling", "TaskBarEnabled", &TProgramOptions::TaskBarEnabled},
    {"Scaling", "TileOptions", &TProgramOptions::TileOptions},
    {"Edit", "CopyBands1_29", &TProgramOptions::CopyBands1_29},
    {"Edit", "CopyHPLP", &TProgramOptions::CopyHPLP},
    {"Edit", "CopyPresetName", &TProgramOptions::CopyPresetName},
    {"Edit", "CopyMasterGain", &TProgramOptions::CopyMasterGain},
};

// The frame geometry keys, in their order.
struct GeometryKey {
  const char* key;
  int32_t FrameGeometry::*field;
};

const GeometryKey kGeometryKeys[] = {
    {"Height", &FrameGeometry::Height},
    {"Width", &FrameGeometry::Width},
    {"Top", &FrameGeometry::Top},
    {"Left", &FrameGeometry::Left},
};
}  // namespace

std::string UnableToWriteMessage(const std::string& path) { return "Unable to write to " + path; }

int32_t LoadSettings(const std::string& path, FrameGeometry& frame, TProgramOptions& options) {
  const IniFile ini(path);
  const TProgramOptions optionDefaults;

  frame.WindowState = ini.ReadInteger(kWorkspace, "WindowState", frame.WindowState);
  if (frame.WindowState < 0 || frame.WindowState > 2) frame.WindowState = 0;
  if (frame.WindowState == 0)
    for (const GeometryKey& g : kGeometryKeys)
      frame.*g.field = ini.ReadInteger(kWorkspace, g.key, frame.*g.field);

  for (const OptionKey& o : kOptionKeys) {
    if (auto* integer = std::get_if<int32_t TProgramOptions::*>(&o.field))
      options.**integer = ini.ReadInteger(o.section, o.key, optionDefaults.**integer);
    else {
      auto flag = std::get<bool TProgramOptions::*>(o.field);
      options.*flag = ini.ReadBool(o.section, o.key, optionDefaults.*flag);
    }
  }

  // The range enters every slider's arithmetic: a hand-edited value beyond
  // what the program ever offers or needs is taken to the nearest it does.
  options.SliderRange = std::clamp(options.SliderRange, TProgramOptions::kMinSliderRange,
                                   TProgramOptions::kMaxSliderRange);

  return ini.ReadInteger(kCommunications, kComPort, 0);
}

std::optional<std::string> SettingsReadProblem(const std::string& path) {
  if (auto problem = IniFileProblem(path))
    return "Cannot read the settings file " + path + ": " + *problem +
           ". The default settings are used.";
  return std::nullopt;
}

std::optional<std::string> SaveSettings(const std::string& path, const FrameGeometry& frame,
                                        const TProgramOptions& options) {
  IniFile ini(path);
  if (!ini.WriteInteger(kWorkspace, "WindowState", frame.WindowState))
    return UnableToWriteMessage(path);
  if (frame.WindowState == 0)
    for (const GeometryKey& g : kGeometryKeys)
      if (!ini.WriteInteger(kWorkspace, g.key, frame.*g.field)) return UnableToWriteMessage(path);

  for (const OptionKey& o : kOptionKeys) {
    bool written;
    if (auto* integer = std::get_if<int32_t TProgramOptions::*>(&o.field))
      written = ini.WriteInteger(o.section, o.key, options.**integer);
    else
      written = ini.WriteBool(o.section, o.key, options.*std::get<bool TProgramOptions::*>(o.field));
    if (!written) return UnableToWriteMessage(path);
  }
  return std::nullopt;
}

ResponsePanelSettings LoadResponsePanelSettings(const std::string& path) {
  const IniFile ini(path);
  ResponsePanelSettings panel;
  panel.Visible = ini.ReadBool(kResponse, "Visible", panel.Visible);
  panel.Height = std::max(0, ini.ReadInteger(kResponse, "Height", panel.Height));
  return panel;
}

std::optional<std::string> SaveResponsePanelSettings(const std::string& path,
                                                     const ResponsePanelSettings& panel) {
  IniFile ini(path);
  if (!ini.WriteBool(kResponse, "Visible", panel.Visible) ||
      !ini.WriteInteger(kResponse, "Height", panel.Height))
    return UnableToWriteMessage(path);
  return std::nullopt;
}

std::optional<std::string> SaveComPort(const std::string& path, int32_t port) {
  IniFile ini(path);
  if (!ini.WriteInteger(kCommunications, kComPort, port)) return UnableToWriteMessage(path);
  return std::nullopt;
}
