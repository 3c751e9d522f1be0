#pragma once
// Loading a preset file into an equalizer document and saving a document
// to a preset file, in the Mac format (.V95, .VRL) or the Windows 3.X
// format (.equ). The byte layouts are in PresetFormats.h.
#include <optional>
#include <string>

#include "eq/DeviceBlock.h"
#include "eq/EqualizerDocument.h"
#include "eq/PresetFormats.h"

// Reads the first PresetFileSize(format) bytes of the file; a longer file
// is read up to that size. Throws PresetFileError naming the file and the
// cause when it cannot be read, is shorter than its format, or holds a
// value the device does not accept (RefusedPresetValue): such a curve is
// never shown as if the device could have it.
PresetFileContents ReadPresetFile(const std::string& path, PresetFormat format);

// The reader the open dialog's filter chooses for the file at path: the
// Mac format for its first filter, for "All Files" what the file is (its
// size, else its extension), the .equ format for any other index.
PresetFormat ReaderForOpenedFile(const std::string& path, int filterIndex);

// The bytes of a preset file that must be exactly its format's size, as
// the command-line tool takes files it did not write itself: only a regular
// file (a symbolic link is followed; a folder, device or pipe is refused
// without waiting on it), never more than the format's size read. Throws
// PresetFileError naming the file and the cause.
std::string ReadExactPresetBytes(const std::string& path, PresetFormat format);

// ReadPresetFile for such a file: ReadExactPresetBytes' checks, then the
// reader of the format with ReadPresetFile's check of the values.
PresetFileContents ReadExactPresetFile(const std::string& path, PresetFormat format);

// Writes the document in the format, replacing the file atomically: when
// the write fails the previous file is untouched. Throws PresetFileError
// naming the file and the cause.
void WritePresetFile(const std::string& path, PresetFormat format, const TEqualizerDocument& doc);

// What the window does after a file's contents went into its document.
struct PresetLoadResult {
  int maxExcursion = 0;  // the reader's m: the frame's new MaxBandExcursion
  // m exceeded the slider range the window had: it shows the "Slider Range
  // Error" warning and its sliders take this range.
  bool sliderRangeRaised = false;
  int sliderRange = kDefaultSliderRange;
  // The Lock box went from checked to cleared (Mac files): its click
  // handler runs as the operator's click would.
  bool lockCleared = false;
  // Whether Paste is enabled (Mac files); .equ files leave Paste alone.
  std::optional<bool> pasteEnabled;
  // The TRANSMIT_ALL_DATA payload for the window's current preset.
  pa422::Bytes payload;
};

// Puts a file's contents into the document as the window's reader does:
// the range grows to m when m exceeds sliders.sliderRange, then every
// slider takes its position through the (grown) policy, the preset name
// becomes PresetName and PresetNames[CurrentPreset − 1], the filters are
// set; a Mac file also clears Lock. Address, CurrentPreset and DeviceName
// are never changed by a file.
PresetLoadResult ApplyPresetContents(TEqualizerDocument& doc, const PresetFileContents& contents,
                                     const SliderPolicy& sliders);

// The window's load operation: FileName := path, read the file (on failure
// the document keeps all other values and PresetFileError is thrown), apply
// it, and write the trace line " OpenV95MacFile" (Mac) or " Open" (.equ)
// just before the caller sends the payload.
PresetLoadResult OpenPresetFile(TEqualizerDocument& doc, const std::string& path,
                                PresetFormat format, const SliderPolicy& sliders);

// The window's save operation: FileName := path, then the file is written.
void SavePresetFile(TEqualizerDocument& doc, const std::string& path, PresetFormat format);
