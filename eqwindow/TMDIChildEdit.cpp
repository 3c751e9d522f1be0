// The equalizer window's Edit menu: copy the curve into the program's copy
// buffer, paste it back under the paste options, clear to a flat curve.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include "controls/TzkTrackBar.h"
#include "eq/CurveEditing.h"
#include "eqwindow/OperatorMessages.h"
#include "eqwindow/TMDIChild.h"
#include "eqwindow/WindowCurve.h"
#include "settings/ProgramOptions.h"

TEqualizerDocument CurveShown(const TMDIChild& window) {
  TEqualizerDocument doc = window.Doc;
  for (int slot = 1; slot <= kSliderCount; ++slot)
    doc.SetSliderSteps(slot, window.SliderOfSlot(slot)->Position());
  if (window.CBHighPass->currentIndex() >= 0) doc.HighPassIndex = window.CBHighPass->currentIndex();
  if (window.CBLowPass->currentIndex() >= 0) doc.LowPassIndex = window.CBLowPass->currentIndex();
  doc.PresetName = window.CBPresetName->currentText().toStdString();
  doc.DeviceName = window.EBORBName->text().toStdString();
  doc.Mute = window.Mute->isChecked();
  doc.Bypass = window.Bypass->isChecked();
  return doc;
}

void ShowCurve(TMDIChild& window) {
  TEqualizerDocument& doc = window.Doc;
  for (int slot = 1; slot <= kSliderCount; ++slot) {
    TzkTrackBar* slider = window.SliderOfSlot(slot);
    slider->SetPositionNC(doc.SliderSteps(slot));
    doc.SetSliderSteps(slot, slider->Position());
  }
  {
    // An index outside the list leaves the box without a selection.
    const QSignalBlocker highPass(window.CBHighPass), lowPass(window.CBLowPass);
    window.CBHighPass->setCurrentIndex(doc.HighPassIndex < window.CBHighPass->count() ? doc.HighPassIndex : -1);
    window.CBLowPass->setCurrentIndex(doc.LowPassIndex < window.CBLowPass->count() ? doc.LowPassIndex : -1);
  }
  const QSignalBlocker names(window.CBPresetName);
  const QString name = QString::fromStdString(doc.PresetName);
  const int entry = doc.CurrentPreset - 1;
  if (entry >= 0 && entry < window.CBPresetName->count()) window.CBPresetName->setItemText(entry, name);
  window.CBPresetName->setEditText(name);
  window.CurveChanged();
}

void TMDIChild::Copy1Click() {
  CopyCurve(CurveShown(*this), host_.Clipboard());
  SetPasteEnabled(true);
}

void TMDIChild::Paste1Click() {
  // A locked preset takes no curve: the device would refuse it, and the
  // shared Paste button may still be enabled from another window.
  if (Lock->isChecked()) return;
  Doc = CurveShown(*this);
  const CurveState before = CurveOf(Doc);
  PasteCurve(Doc, host_.Clipboard(), Options(), SliderPolicy{Options().SliderRange, false});
  ShowCurve(*this);
  RecordEdit(EditKind::WholeCurve, 0, before, "Paste");
  CopyVarloDataToORB();
}

bool TMDIChild::ClearEnabled() const { return !Lock->isChecked() && !Bypass->isChecked(); }

void TMDIChild::FlatClick() {
  if (Lock->isChecked() || Bypass->isChecked()) return;
  if (!Messages().AskYesNo("Open File Warning",
                           "Warning!  This operation will overwrite the current preset.  Continue?",
                           MessageIcon::Warning))
    return;
  Doc = CurveShown(*this);
  const CurveState before = CurveOf(Doc);
  FlattenCurve(Doc, SliderPolicy{Options().SliderRange, false});
  ShowCurve(*this);
  RecordEdit(EditKind::WholeCurve, 0, before, "Clear");
  CopyVarloDataToORB();
}
