#include "eq/CurveEditing.h"

void CopyCurve(const TEqualizerDocument& doc, TCurveClipboard& clipboard) {
  clipboard = TCurveClipboard{};
  for (int band = 1; band <= kBandCount; ++band) clipboard.Slots[band] = doc.BandSteps[band - 1];
  clipboard.Slots[TCurveClipboard::kHighPassSlot] = doc.HighPassIndex;
  clipboard.Slots[TCurveClipboard::kLowPassSlot] = doc.LowPassIndex;
  clipboard.Name = doc.PresetName;
  clipboard.Slots[TCurveClipboard::kGainSlot] = doc.GainSteps;
}

void PasteCurve(TEqualizerDocument& doc, const TCurveClipboard& clipboard,
                const TProgramOptions& options, const SliderPolicy& sliders) {
  if (options.CopyBands1_29)
    for (int band = 1; band <= kBandCount; ++band)
      doc.BandSteps[band - 1] = sliders.Apply(doc.BandSteps[band - 1], clipboard.Band(band));
  if (options.CopyHPLP) {
    doc.HighPassIndex = clipboard.Slots[TCurveClipboard::kHighPassSlot];
    doc.LowPassIndex = clipboard.Slots[TCurveClipboard::kLowPassSlot];
  }
  if (options.CopyPresetName) {
    if (doc.CurrentPreset >= 1 && doc.CurrentPreset <= kPresetCount)
      doc.PresetNames[doc.CurrentPreset - 1] = clipboard.Name;
    doc.PresetName = clipboard.Name;
  }
  if (options.CopyMasterGain)
    doc.GainSteps = sliders.Apply(doc.GainSteps, clipboard.Slots[TCurveClipboard::kGainSlot]);
}

void FlattenCurve(TEqualizerDocument& doc, const SliderPolicy& sliders) {
  for (int slot = 1; slot <= kSliderCount; ++slot)
    doc.SetSliderSteps(slot, sliders.Apply(doc.SliderSteps(slot), 0));
  doc.HighPassIndex = kHighPassOut;
  doc.LowPassIndex = kLowPassOut;
}
