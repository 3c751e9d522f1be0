#pragma once
// The whole-curve edits of the equalizer window's Edit menu on a document:
// copying a curve into the copy buffer, pasting the parts the options
// choose, and clearing to a flat curve. The window shows the result and
// sends it to its device.
#include "eq/CurveClipboard.h"
#include "eq/DeviceBlock.h"
#include "eq/EqualizerDocument.h"
#include "settings/ProgramOptions.h"

// Overwrites every slot: bands, filters, the preset name and the gain.
void CopyCurve(const TEqualizerDocument& doc, TCurveClipboard& clipboard);

// Takes the parts the paste options choose: bands 1 to 29, both filters,
// the preset name (as the current preset's name) and the gain. Slider
// positions go through the sliders' rule: clamped to the range, refused
// while an update is pending.
void PasteCurve(TEqualizerDocument& doc, const TCurveClipboard& clipboard,
                const TProgramOptions& options, const SliderPolicy& sliders);

// Every band and the gain to 0 (through the sliders' rule), both filters
// "OUT". Names and check boxes stay.
void FlattenCurve(TEqualizerDocument& doc, const SliderPolicy& sliders);
