#pragma once
// Moving a whole preset between a document and the device: reading the
// block a recall brought back, and building the payload of a transmit.
#include <cstdint>

#include "eq/EqualizerDocument.h"

// How the window's sliders take positions that do not come from the
// operator: clamped to plus or minus the slider range, and refused while the
// window waits for an update to finish.
struct SliderPolicy {
  int sliderRange = kDefaultSliderRange;
  bool updatePending = false;
  int Apply(int current, int wanted) const;
};

// Check boxes whose state a read changed. Their click handlers then run as
// an operator's click would, in this order: Mute, Bypass, Lock.
struct CheckBoxChanges {
  bool mute = false;
  bool bypass = false;
  bool lock = false;
};

struct BlockReadResult {
  CheckBoxChanges changed;
  bool pasteEnabled = true;  // Paste is enabled exactly when Lock is clear
};

// Reads a recalled all-data block (byte 1 first, as ResponseBuffer holds it)
// into the document. A filter byte of 0 or above 21 writes a trace line
// naming `lastCommand`; the copy goes on.
BlockReadResult CopyORBDataToWindow(TEqualizerDocument& doc, const pa422::Bytes& block,
                                    const SliderPolicy& sliders, uint8_t lastCommand);

// The 55-byte payload that follows TRANSMIT_ALL_DATA for this document
// (reserved byte 0); traces " CopyVarloDataToORB". Into the document's
// preset, which the device then stores; or into `preset` 0, the working
// settings, which tries the curve and leaves every stored preset alone.
pa422::Bytes CopyVarloDataToORB(const TEqualizerDocument& doc);
pa422::Bytes CopyVarloDataToORB(const TEqualizerDocument& doc, int preset);

// What the document shows of its preset, as a read-modify-write writes it
// back with its edit: levels, filters and the current preset's confirmed
// name.
pa422::TransmitSettings ShownSettings(const TEqualizerDocument& doc);
