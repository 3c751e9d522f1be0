#pragma once
// The two preset file formats as byte strings: reading them into what a
// loaded file holds, and building them from a document. No file I/O here.
//
// Mac format ("Varlo 95 / Mac", .V95 and .VRL), 68 bytes:
//   0 address, 1 preset, 2..30 bands 1..29, 31 gain (26 − steps each),
//   32 blank, 33 high-pass, 34 low-pass, 35..50 preset name, 51 lock byte,
//   52..67 device name.
// Windows 3.X format ("Varlo for Windows 3.X", .equ), 100 bytes:
//   0 blank, 1..29 bands 1..29, 30 gain (24 − steps each), 31..46 blanks,
//   47..62 preset name, 63..97 blanks, 98 low-pass, 99 high-pass.
// Bytes not named are written as blanks and ignored when read.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "eq/EqualizerDocument.h"
#include "link/PA422Messages.h"

enum class PresetFormat { Mac, Equ };

constexpr size_t kMacFileSize = 68;
constexpr size_t kEquFileSize = 100;

size_t PresetFileSize(PresetFormat format);
// "mac" or "equ".
const char* PresetFormatName(PresetFormat format);
// ".v95" and ".vrl" in any case choose the Mac format, anything else .equ.
// The extension is what follows the last dot of the file's name, also for
// a name that starts with its only dot (".V95").
PresetFormat PresetFormatForPath(const std::string& path);
// What a file of `size` bytes at `path` is: 68 bytes the Mac format, 100
// the .equ format, any other size what its extension says.
PresetFormat PresetFormatForFile(const std::string& path, uint64_t size);
// The open dialog's filter indices: 1 reads the Mac format, 2 the .equ
// format, 3 ("All Files") what the file is (PresetFormatForFile).
constexpr int kOpenMacFilter = 1;
constexpr int kOpenEquFilter = 2;
constexpr int kOpenAllFilesFilter = 3;
// The save dialog's filter index: 2 writes .equ, any other the Mac format.
PresetFormat WriterForSaveFilterIndex(int filterIndex);

// A preset file could not be read or written. The message names the file
// and the cause.
class PresetFileError : public std::runtime_error {
 public:
  PresetFileError(std::string path, const std::string& message)
      : std::runtime_error(message), path_(std::move(path)) {}
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// What one preset file holds, as the reader of its format takes it.
struct PresetFileContents {
  PresetFormat format = PresetFormat::Mac;
  // Slider steps by slot: [0..28] bands 1 to 29, [29] the gain. Not clamped.
  std::array<int, kSliderCount> sliderSteps{};
  // Filter bytes as stored; not validated.
  int highPassIndex = kHighPassOut;
  int lowPassIndex = kLowPassOut;
  // The preset name as the reader makes it: upper-cased and filtered;
  // trimmed in the Mac format, all 16 characters in the .equ format.
  std::string presetName;
  // The 16 filtered, untrimmed name characters the transmit payload carries.
  std::string payloadName;
  // The Mac format's lock byte (offset 51); none in the .equ format.
  std::optional<uint8_t> lockByte;
  // The largest excursion m in steps: the Mac reader looks at the 29 bands
  // and the gain, the .equ reader at the 29 bands only.
  int maxExcursion = 0;
  // The device gain codes of the payload: the Mac file's level bytes as
  // stored, the .equ file's level bytes plus 2.
  std::array<uint8_t, kSliderCount> deviceLevels{};

  int BandSteps(int band) const { return sliderSteps[band - 1]; }
  int GainSteps() const { return sliderSteps[kGainSlot - 1]; }
  // m does not fit the sliders of this range: the range must grow to m.
  bool ExceedsSliderRange(int sliderRange) const { return maxExcursion > sliderRange; }
  // The 55-byte TRANSMIT_ALL_DATA payload the reader sends for `preset`:
  // the Mac file's lock byte in the reserved position, 0 for .equ.
  pa422::Bytes Payload(int preset) const;
};

// Parse the first PresetFileSize(format) bytes of `bytes`; anything after
// them is ignored. Throws PresetFileError (without a path) when shorter.
PresetFileContents ParseMacPreset(std::string_view bytes);
PresetFileContents ParseEquPreset(std::string_view bytes);
PresetFileContents ParsePreset(PresetFormat format, std::string_view bytes);

// The device accepts level codes 2 to 50 (26 − steps: -12 to +12 dB) and
// filter indices 0 to 21. The first value of a loaded file outside that,
// described for the operator ("band 5 (63 Hz) holds level byte 255 ..."),
// or nothing when the device accepts the whole file.
std::optional<std::string> RefusedPresetValue(const PresetFileContents& contents);

// Whether a slider position can be stored in the format's one level byte
// without turning into a different level.
bool FitsPresetFormat(PresetFormat format, int steps);

// The file bytes the program writes for a document. Throws PresetFileError
// (without a path) when a slider position does not fit the format's level
// byte, rather than writing a different curve.
std::string BuildMacPreset(const TEqualizerDocument& doc);
std::string BuildEquPreset(const TEqualizerDocument& doc);
std::string BuildPreset(PresetFormat format, const TEqualizerDocument& doc);
