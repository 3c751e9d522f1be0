// libFuzzer target for one preset file reader (VARLO_FUZZ_MAC selects the
// Mac reader, otherwise the .equ reader). Besides surviving any input, a
// file that reads must give back the same curve, filters and name when a
// window holding it saves it again; saving it in the other format either
// keeps the curve or refuses.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "eq/PresetFormats.h"

namespace {
#ifdef VARLO_FUZZ_MAC
constexpr PresetFormat kFormat = PresetFormat::Mac;
constexpr PresetFormat kOther = PresetFormat::Equ;
#else
constexpr PresetFormat kFormat = PresetFormat::Equ;
constexpr PresetFormat kOther = PresetFormat::Mac;
#endif

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool SameCurve(const PresetFileContents& a, const PresetFileContents& b) {
  return a.sliderSteps == b.sliderSteps && a.highPassIndex == b.highPassIndex &&
         a.lowPassIndex == b.lowPassIndex;
}

// The document a window holds after loading the file, before any clamping.
TEqualizerDocument Holding(const PresetFileContents& c) {
  TEqualizerDocument doc;
  for (int slot = 1; slot <= kSliderCount; ++slot) doc.SetSliderSteps(slot, c.sliderSteps[slot - 1]);
  doc.HighPassIndex = c.highPassIndex;
  doc.LowPassIndex = c.lowPassIndex;
  doc.PresetName = c.presetName;
  return doc;
}

bool AllFit(PresetFormat format, const PresetFileContents& c) {
  for (int steps : c.sliderSteps)
    if (!FitsPresetFormat(format, steps)) return false;
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  PresetFileContents c;
  try {
    c = ParsePreset(kFormat, bytes);
  } catch (const PresetFileError&) {
    Check(size < PresetFileSize(kFormat));
    return 0;
  }
  Check(size >= PresetFileSize(kFormat));
  Check(c.maxExcursion >= 0 && c.maxExcursion <= 255);
  Check(c.payloadName.size() == 16);
  for (char ch : c.presetName) Check(pa422::FilterNameChar(ch) == ch);
  for (int preset = 0; preset <= kPresetCount; ++preset) {
    pa422::Bytes payload = c.Payload(preset);
    Check(payload.size() == pa422::kTransmitBlockLength);
    Check(static_cast<uint8_t>(payload[54]) == preset);
  }

  const TEqualizerDocument doc = Holding(c);
  PresetFileContents again = ParsePreset(kFormat, BuildPreset(kFormat, doc));
  Check(SameCurve(c, again));
  Check(again.presetName == c.presetName);

  try {
    PresetFileContents other = ParsePreset(kOther, BuildPreset(kOther, doc));
    Check(AllFit(kOther, c));
    Check(SameCurve(c, other));
  } catch (const PresetFileError&) {
    Check(!AllFit(kOther, c));
  }
  return 0;
}
