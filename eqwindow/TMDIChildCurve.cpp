// The equalizer window's curve as the frame's response picture takes it,
// and the notifications that tell the frame when it changes. Every change
// of the curve shown passes through one of two places: an operator's
// change of a control (a slider's OnChange, a filter box's or a check
// box's change of state), wired here after the control's own handler, and
// ShowCurve, the one routine that puts a whole curve into the controls (for
// device reads through ShowDocument, files, pastes, clears and the
// history), which calls CurveChanged at its end. CurveShown is the one
// that reads it back.
#include <QCheckBox>
#include <QComboBox>

#include "controls/TzkTrackBar.h"
#include "eqwindow/TMDIChild.h"
#include "eqwindow/WindowCurve.h"

TEqualizerDocument TMDIChild::CurveNow() const { return CurveShown(*this); }

void TMDIChild::CurveChanged() {
  if (OnCurveChanged) OnCurveChanged();
}

void TMDIChild::ConnectCurveNotifications() {
  // After the slider's own handler: a move is sent to the device first.
  // (The frame only takes note of a change and draws later, so nothing it
  // does delays the line.)
  for (TzkTrackBar* bar : TrackBars)
    bar->OnChange = [this, handler = bar->OnChange](TzkTrackBar& sender) {
      if (handler) handler(sender);
      CurveChanged();
    };
  // Any change of state, the operator's or the program's. The program's
  // changes under a signal blocker are those of ShowDocument and
  // ShowCurve, which tell the frame themselves.
  for (QComboBox* box : {CBHighPass, CBLowPass})
    connect(box, &QComboBox::currentIndexChanged, this, [this](int) { CurveChanged(); });
  for (QCheckBox* box : {Mute, Bypass})
    connect(box, &QCheckBox::toggled, this, [this](bool) { CurveChanged(); });
}
