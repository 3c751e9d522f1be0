// The equalizer window's preset files: opening one sends its curve to the
// window's device at once; saving writes the curve the window shows.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "controls/ToolkitDialogs.h"
#include "controls/TzkTrackBar.h"
#include "eq/PresetFiles.h"
#include "eqwindow/OperatorMessages.h"
#include "eqwindow/TMDIChild.h"
#include "eqwindow/WindowCurve.h"
#include "link/TzkPA422Form.h"
#include "settings/ProgramOptions.h"

namespace {
std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The platform's save dialog with the window's two formats.
std::pair<QString, int> RunPlatformSaveDialog(QWidget* parent, const QString& suggestedName) {
  const QStringList filters = {"Varlo 95 / Mac (*.vrl)", "Varlo for Windows 3.X (*.equ)"};
  QFileDialog dialog(parent, "Save As");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix("V95");
  // The preset name as the file name; a "/" in it would name a folder.
  QString name = suggestedName;
  dialog.selectFile(name.replace('/', '-'));
  FitToolkitDialog(dialog, kFileDialogDesignSize);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return {dialog.selectedFiles().front(), int(filters.indexOf(dialog.selectedNameFilter())) + 1};
}

}  // namespace

bool TMDIChild::Open(const QString& path, int filterIndex) {
  const std::string local = LocalPath(path);
  const PresetFormat format = ReaderForOpenedFile(local, filterIndex);
  TEqualizerDocument loaded = CurveShown(*this);
  PresetLoadResult result;
  try {
    result = OpenPresetFile(loaded, local, format, SliderPolicy{Options().SliderRange, false});
  } catch (const PresetFileError& e) {
    Doc.FileName = loaded.FileName;
    Messages().ShowMessage("Open File Error", e.what(), MessageIcon::Error);
    return false;
  }

  host_.RecordMaxBandExcursion(result.maxExcursion);
  if (result.sliderRangeRaised) {
    Messages().ShowMessage("Slider Range Error",
                           "Warning!  Slider range too small for file.  Readjusting Slider range.",
                           MessageIcon::Warning);
    Options().SliderRange = result.sliderRange;
    for (TzkTrackBar* slider : TrackBars) {
      slider->SetMax(result.sliderRange);
      slider->SetMin(-result.sliderRange);
    }
  }

  // Sliders, name and filters as the file has them; the check boxes stay
  // until the Lock box is cleared below, with its handler.
  const bool lockWasChecked = Lock->isChecked();
  loaded.Lock = lockWasChecked;
  const CurveState before = CurveOf(CurveShown(*this));
  Doc = loaded;
  ShowCurve(*this);
  RecordEdit(EditKind::WholeCurve, 0, before, "Open", QFileInfo(path).fileName());
  if (result.lockCleared && lockWasChecked) Lock->click();
  Doc.Lock = Lock->isChecked();
  if (result.pasteEnabled) SetPasteEnabled(*result.pasteEnabled);
  FormResize();

  if (Doc.Address == 0 || !Engine().Connected) return true;  // no device: nothing sent
  // While undo or redo is still reaching the device, the file goes out with it.
  if (HistoryCarriesEdit()) return true;
  // After the unlock that clearing the Lock box sent, if any: the queue
  // keeps the order.
  QueueCurve(Doc.CurrentPreset, result.payload);
  return true;
}

void TMDIChild::Save1Click() {
  const QString suggested = CBPresetName->currentText();
  const auto [path, filterIndex] =
      RunSaveDialog ? RunSaveDialog(suggested) : RunPlatformSaveDialog(this, suggested);
  if (path.isEmpty()) return;

  TEqualizerDocument shown = CurveShown(*this);
  try {
    SavePresetFile(shown, LocalPath(path), WriterForSaveFilterIndex(filterIndex));
  } catch (const PresetFileError& e) {
    Messages().ShowMessage("Save File Error", e.what(), MessageIcon::Error);
  }
  Doc.FileName = shown.FileName;
}
