#pragma once
// Reading and writing the settings file Varlo95.ini: the frame's window
// state and geometry, the program options and the serial port number.
#include <cstdint>
#include <optional>
#include <string>

#include "settings/ProgramOptions.h"

// The frame's window state and outer geometry as the settings file holds
// them; the frame applies them when it is shown and hands its current
// values over when it is destroyed.
struct FrameGeometry {
  int32_t WindowState = 0;  // 0 normal, 1 minimized, 2 maximized
  int32_t Height = 411;
  int32_t Width = 600;
  int32_t Top = 100;
  int32_t Left = 100;

  bool operator==(const FrameGeometry&) const = default;
};

// The frame's response panel as the settings file keeps it, in the
// section "Response": whether it is shown ("Visible") and its height in
// screen pixels ("Height"; 0 or a missing key: the design's height on this
// screen).
struct ResponsePanelSettings {
  bool Visible = true;
  int32_t Height = 0;

  bool operator==(const ResponsePanelSettings&) const = default;
};

// Reads the settings at path into frame and options, key by key; a missing
// file, key or unparsable value leaves that key's default. The frame's
// defaults are the values frame holds on entry (the design's, scaled to the
// screen by the caller). The geometry is read only when the window state is
// normal; otherwise frame keeps its size and place. A state outside 0 to
// 2 is taken as normal; SliderRange is kept within what the program offers
// (TProgramOptions::kMinSliderRange to kMaxSliderRange). Returns the "Com
// Port" value for the serial port component, unchecked (0: no port chosen).
int32_t LoadSettings(const std::string& path, FrameGeometry& frame, TProgramOptions& options);

// Writes the window state, then the geometry (only in the normal state),
// then the options, one key at a time. Stops at the first key that cannot
// be written, keeping the keys written before it, and returns the message
// for the operator: "Unable to write to " and the path. Nothing on success.
std::optional<std::string> SaveSettings(const std::string& path, const FrameGeometry& frame,
                                        const TProgramOptions& options);

// Reads the response panel's keys; a missing or unparsable key keeps its
// default, and a negative height reads as 0.
ResponsePanelSettings LoadResponsePanelSettings(const std::string& path);
// Writes them, "Visible" then "Height"; the same message as SaveSettings
// when a key cannot be written.
std::optional<std::string> SaveResponsePanelSettings(const std::string& path,
                                                     const ResponsePanelSettings& panel);

// Writes "Com Port" alone, as the com port setup command does when the
// operator confirms a port. Returns the same message as SaveSettings when
// it fails.
std::optional<std::string> SaveComPort(const std::string& path, int32_t port);

// When the settings file at path exists but cannot be read as one (a
// folder, a pipe, a file far too large, no permission), the message for
// the operator; LoadSettings then gives every key its default.
std::optional<std::string> SettingsReadProblem(const std::string& path);

// "Unable to write to " followed by the path.
std::string UnableToWriteMessage(const std::string& path);
