#pragma once
// Between an equalizer window's controls and its document, for the
// commands that replace a whole curve (open, paste, clear) and those that
// take it (save, copy).
#include "eq/EqualizerDocument.h"

class TMDIChild;

// The window's document with the curve as its controls show it: slider
// positions, filter selections (a box without a valid selection keeps the
// document's index), the preset-name and device-name texts, Mute and
// Bypass. The one reader of the controls.
TEqualizerDocument CurveShown(const TMDIChild& window);

// Shows the document's curve in the controls without running any handler:
// sliders set without notification (each slider clamps; the document then
// takes what the sliders show), the filter selections, the preset name as
// the edit text and as the current preset's entry of the list. The one
// writer of the curve into the controls.
void ShowCurve(TMDIChild& window);
