// The equalizer window's measurement: loading a measured response, choosing
// the target, and fitting the 29 bands so that measurement plus equalizer
// follows the target. The fitted curve is one undo step and goes to a
// connected device's working settings with one transaction.
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "eq/CurveFit.h"
#include "eq/DeviceBlock.h"
#include "eqwindow/OperatorMessages.h"
#include "eqwindow/TMDIChild.h"
#include "eqwindow/WindowCurve.h"
#include "link/TzkPA422Form.h"
#include "settings/ProgramOptions.h"

namespace {
constexpr const char* kFitCaption = "Fit to Target";
}

bool TMDIChild::LoadMeasurement(const QString& path) {
  try {
    Measurement measurement = ReadMeasurementFile(QFile::encodeName(path).toStdString());
    Measured.Load(std::move(measurement), QFileInfo(path).fileName().toStdString());
  } catch (const std::exception& e) {
    Messages().ShowMessage("Load Measurement Error", e.what(), MessageIcon::Error);
    return false;
  }
  CurveChanged();
  return true;
}

void TMDIChild::SetTarget(const TargetCurve& target) {
  Measured.SetTarget(target);
  CurveChanged();
}

void TMDIChild::ClearMeasurement() {
  Measured.Clear();
  CurveChanged();
}

void TMDIChild::ApplyLinkedCurve(const std::array<int, kSliderCount>& steps, const std::string& label) {
  Doc = CurveShown(*this);
  const CurveState before = CurveOf(Doc);
  for (int slot = 1; slot <= kSliderCount; ++slot) Doc.SetSliderSteps(slot, steps[slot - 1]);
  if (CurveOf(Doc) == before) return;
  applyingLink_ = true;
  ShowCurve(*this);
  // Into the working settings, as a fit: the stored preset keeps what it
  // holds until it is saved.
  RecordEdit(EditKind::WholeCurve, 0, before, label, {}, false);
  applyingLink_ = false;
  if (!Engine().Connected || Doc.Address == 0 || HistoryCarriesEdit()) return;
  QueueCurve(0, ::CopyVarloDataToORB(Doc, 0), false, true);
}

bool TMDIChild::FitEnabled() const { return Measured.Loaded() && !Lock->isChecked() && !Bypass->isChecked(); }

void TMDIChild::FitToTarget() {
  if (!FitEnabled() || fitWaiting_) return;
  fitWaiting_ = true;
  // The line's end events bring the fit back; this is the latest it runs.
  QTimer::singleShot(kFitLineWaitMs, this, [this] {
    if (!fitWaiting_) return;
    fitWaiting_ = false;
    RunFit();
  });
  FitWhenLineFree();
}

void TMDIChild::FitWhenLineFree() {
  if (!fitWaiting_ || Engine().CommState != 0) return;
  fitWaiting_ = false;
  RunFit();
}

void TMDIChild::RunFit() {
  if (!FitEnabled()) return;
  const FitOptions options = WindowFitOptions(Options().SliderRange);
  FitResult fit;
  try {
    fit = FitBands(*Measured.measured, Measured.target, options, CurveShown(*this));
  } catch (const std::exception& e) {
    Messages().ShowMessage(kFitCaption, e.what(), MessageIcon::Error);
    return;
  }
  if (!Messages().AskYesNo(kFitCaption, FitQuestion(fit, options, Measured.target.Words()),
                           MessageIcon::Question))
    return;
  // While the question was open the device may have locked the preset or
  // sent its data: the fitted bands go onto the curve as it is now.
  if (!FitEnabled()) return;
  Doc = CurveShown(*this);
  const CurveState before = CurveOf(Doc);
  Doc.BandSteps = fit.bandSteps;
  const EditStep::LevelOffset offset{Measured.generation, Measured.fitOffsetDb, fit.levelOffsetDb};
  Measured.fitOffsetDb = fit.levelOffsetDb;
  ShowCurve(*this);
  RecordEdit(EditKind::WholeCurve, 0, before, kFitCaption, {}, false, offset);
  // Into the working settings: the operator tries the fit, and the stored
  // preset keeps what it holds until it is saved.
  if (!Engine().Connected || Doc.Address == 0 || HistoryCarriesEdit()) return;
  QueueCurve(0, ::CopyVarloDataToORB(Doc, 0));
}
