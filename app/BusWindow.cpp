#include "app/BusWindow.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "app/ScanBusDlg.h"
#include "controls/ApplicationHint.h"
#include "controls/ToolkitDialogs.h"
#include "controls/zkScale.h"
#include "eqwindow/OperatorMessages.h"
#include "settings/BusSettings.h"

namespace {
const QStringList kHeaders = {"Address", "Device Name", "Preset", "Mute",  "Bypass",
                               "Lock",    "State",       "Snapshot", "Group", "Last Seen"};
// Design columns' widths (the last takes what is left).
const int kColumnWidths[] = {52, 110, 46, 40, 48, 40, 96, 96, 96};
constexpr int kPad = 8, kButtonWidth = 75, kCompareWidth = 140, kButtonHeight = 25, kStatusHeight = 32;
constexpr int kSnapshotWidth = 130;

QString YesNo(const std::optional<bool>& value) {
  return !value ? QString() : *value ? "yes" : "no";
}

// When a device was last seen: the time alone today (the column stays
// narrow), else the date too; `full` always with both.
QString SeenText(std::chrono::system_clock::time_point seen, bool full = false) {
  if (seen.time_since_epoch().count() == 0) return {};
  const std::time_t t = std::chrono::system_clock::to_time_t(seen), now = std::time(nullptr);
  std::tm local{}, today{};
  localtime_r(&t, &local);
  localtime_r(&now, &today);
  const bool sameDay = local.tm_year == today.tm_year && local.tm_yday == today.tm_yday;
  char text[32];
  std::strftime(text, sizeof text, full ? "%Y-%m-%d %H:%M:%S" : sameDay ? "%H:%M:%S" : "%Y-%m-%d %H:%M", &local);
  return text;
}

// What a step threw, or empty when it went well.
std::string FailureOf(const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

// The set of `address` in the folder the operator chose: its own
// subfolder, else the folder itself when that holds a set of the address
// (or any set, for one device alone). Throws saying what is missing.
std::filesystem::path SetFolderOf(const std::filesystem::path& folder, int address, bool alone) {
  std::error_code error;
  const std::filesystem::path own = folder / AddressFolderName(address);
  if (std::filesystem::exists(own, error)) return own;
  if (std::filesystem::exists(folder / kManifestName, error)) {
    if (alone ||
        ParseManifest(ReadSmallFile(folder / kManifestName, kManifestSizeLimit)).address == address)
      return folder;
    throw std::runtime_error(folder.string() + " holds the backup of another address, and no " +
                             AddressFolderName(address));
  }
  throw std::runtime_error(folder.string() + " holds no backup of it (no " +
                           AddressFolderName(address) + ")");
}

QString DurationText(double seconds) {
  const int s = int(std::lround(seconds));
  return s >= 60 ? QString("%1 min %2 s").arg(s / 60).arg(s % 60) : QString("%1 s").arg(s);
}
}  // namespace

BusWindow::BusWindow(LineQueue& line, InstallationModel& units, OperatorMessages& messages,
                     std::string settingsPath, QWidget* parent)
    : QWidget(parent),
      line_(line),
      units_(units),
      messages_(messages),
      settingsPath_(std::move(settingsPath)),
      scan_(line),
      reader_(line),
      restore_(line),
      capture_(line),
      compare_(line),
      recall_(line),
      checkOwner_(line.NewOwner()) {
  setObjectName("BusWindow");
  setWindowTitle("Bus");
  setAccessibleName("Bus");
  QFont design = font();
  design.setPixelSize(-kDesignFontHeight);
  setFont(design);

  ScanBtn = new QPushButton("&Scan...", this);
  ScanBtn->setAccessibleName("Scan");
  SetHint(*ScanBtn, "|Ask every address of a range which device answers");
  connect(ScanBtn, &QPushButton::clicked, this, [this] { ScanClick(); });
  BackUpBtn = new QPushButton("&Back Up...", this);
  BackUpBtn->setAccessibleName("Back Up");
  SetHint(*BackUpBtn, "|Save the eight presets of each selected device to a folder");
  connect(BackUpBtn, &QPushButton::clicked, this, [this] { BackUpClick(); });
  RestoreBtn = new QPushButton("&Restore...", this);
  RestoreBtn->setAccessibleName("Restore");
  SetHint(*RestoreBtn, "|Write the backup of each selected device back to it");
  connect(RestoreBtn, &QPushButton::clicked, this, [this] { RestoreClick(); });
  CompareBtn = new QPushButton("&Compare with Backup...", this);
  CompareBtn->setAccessibleName("Compare with Backup");
  SetHint(*CompareBtn, "|Say what each selected device holds that differs from its backup");
  connect(CompareBtn, &QPushButton::clicked, this, [this] { CompareClick(); });
  StopBtn = new QPushButton("S&top", this);
  StopBtn->setAccessibleName("Stop");
  SetHint(*StopBtn, "|Stop after the address or preset being asked");
  StopBtn->setEnabled(false);
  connect(StopBtn, &QPushButton::clicked, this, [this] { StopClick(); });
  Progress = new QProgressBar(this);
  Progress->setAccessibleName("Scan progress");
  Progress->setRange(0, 1);
  Progress->setValue(0);
  Table = new QTableWidget(0, ColumnCount, this);
  Table->setObjectName("BusTable");
  Table->setAccessibleName("Devices on the line");
  Table->setHorizontalHeaderLabels(kHeaders);
  Table->verticalHeader()->hide();
  Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Table->setSelectionBehavior(QAbstractItemView::SelectRows);
  Table->horizontalHeader()->setStretchLastSection(true);
  Table->installEventFilter(this);
  connect(Table, &QTableWidget::cellDoubleClicked, this, [this] { OpenCurrentDevice(); });
  connect(Table, &QTableWidget::itemSelectionChanged, this, [this] { EnableButtons(); });
  StatusLabel = new QLabel(this);
  // Its name is the line itself (ShowStatus), so that screen readers read
  // and announce it; this says what it is.
  StatusLabel->setAccessibleDescription("Bus status");
  StatusLabel->setWordWrap(true);
  StatusLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  // Every unit known so far, and each change from now on.
  for (const auto& [address, unit] : units_.Units()) ShowUnit(address);

  scan_.OnAnswer = [this](const BusDevice& device) { ScanAnswered(device); };
  scan_.OnFinished = [this](bool stopped) { ScanFinished(stopped); };
  const auto deviceEnded = [this](int address, const std::string& failure) {
    if (failure.empty())
      ++devicesDone_;
    else
      readerFailures_.push_back("address " + std::to_string(address) + ": " + failure);
  };
  reader_.OnPreset = [this](int address, int preset) {
    Progress->setValue(reader_.PresetsRead());
    ShowStatus(QString("%1 address %2: preset %3 of 8 read.")
                   .arg(comparing_ ? "Comparing" : "Backing up")
                   .arg(address)
                   .arg(preset));
  };
  reader_.OnDevice = [this, deviceEnded](int address, const std::string& failure) {
    Progress->setValue(reader_.PresetsRead());
    deviceEnded(address, failure);
  };
  reader_.OnFinished = [this](bool stopped) { ReaderFinished(stopped); };
  restore_.OnPreset = [this](int address, int preset) {
    Progress->setValue(restore_.PresetsDone());
    ShowStatus(QString("Restoring address %1: preset %2 written and verified.").arg(address).arg(preset));
  };
  restore_.OnDevice = [this, deviceEnded](int address, const std::string& failure) {
    // A device whose restore was stopped (and put back) did not fail.
    const RestoreFailure& f = restore_.LastFailure();
    if (!failure.empty() && f.stopped && f.putBack.empty()) {
      stoppedDevices_.push_back("address " + std::to_string(address) + ": " + failure);
    } else {
      deviceEnded(address, failure);
      if (!failure.empty()) restoreFailures_[address] = failure;
    }
  };
  restore_.OnFinished = [this](bool stopped) { RestoreFinished(stopped); };
  WireSnapshots();
  unitEvents_ = units_.Subscribe([this](int address) {
    ShowUnit(address);
    EnableButtons();
  });

  EnableButtons();
  resize(kDesignWidth, kDesignHeight);
  PlaceControls();
  for (int c = 0; c < ColumnCount - 1; ++c) Table->setColumnWidth(c, kColumnWidths[c]);
  const FormScale scale = ScaleFormToScreen(*this);
  for (int c = 0; c < ColumnCount - 1; ++c) Table->setColumnWidth(c, scale.Of(kColumnWidths[c]));
  // Columns grow to their texts ("modified since recalled", a group's
  // state) once a change has landed; the table scrolls sideways beyond.
  const auto fit = [this] {
    if (fitQueued_) return;
    fitQueued_ = true;
    QTimer::singleShot(0, this, [this] { FitColumns(); });
  };
  connect(Table->model(), &QAbstractItemModel::dataChanged, this, fit);
  connect(Table->model(), &QAbstractItemModel::rowsInserted, this, fit);
  FitColumns();
  createdSize_ = size();
  bool asked = false;
  for (const auto& [address, unit] : units_.Units()) asked |= unit.state != InstalledUnit::State::NotScanned;
  ShowStatus(asked               ? "The devices known so far. Scan to ask them all again."
             : Table->rowCount() ? "The devices of the last scan, not asked since. Scan to ask them."
                                 : "No scan yet: Scan asks which devices answer.");
}

BusWindow::~BusWindow() {
  units_.Unsubscribe(unitEvents_);
  line_.Unsubscribe(lineEvents_);
  line_.Withdraw(checkOwner_);
}

void BusWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceControls();
}

void BusWindow::PlaceControls() {
  const FormScale scale = ScaleOf(*this);
  const int pad = scale.Of(kPad), w = scale.Of(kButtonWidth), h = scale.Of(kButtonHeight);
  const int wide = scale.Of(kCompareWidth);
  ScanBtn->setGeometry(pad, pad, w, h);
  BackUpBtn->setGeometry(2 * pad + w, pad, w, h);
  RestoreBtn->setGeometry(3 * pad + 2 * w, pad, w, h);
  CompareBtn->setGeometry(4 * pad + 3 * w, pad, wide, h);
  StopBtn->setGeometry(5 * pad + 3 * w + wide, pad, w, h);
  const int progressLeft = 6 * pad + 4 * w + wide;
  Progress->setGeometry(progressLeft, pad, std::max(0, width() - progressLeft - pad), h);
  // The snapshots' row.
  const int second = 2 * pad + h, snap = scale.Of(kSnapshotWidth);
  CaptureBtn->setGeometry(pad, second, snap, h);
  SnapshotCompareBtn->setGeometry(2 * pad + snap, second, snap + scale.Of(20), h);
  RecallBtn->setGeometry(3 * pad + 2 * snap + scale.Of(20), second, snap, h);
  DifferencesBtn->setGeometry(4 * pad + 3 * snap + scale.Of(20), second, scale.Of(90), h);
  // The status line as tall as its text needs (a long one wraps), up to
  // a third of the window; the table takes what is left.
  const int tableTop = 3 * pad + 2 * h;
  const int status =
      std::max(scale.Of(kStatusHeight),
               std::min(StatusLabel->heightForWidth(std::max(1, width() - 2 * pad)), height() / 3));
  Table->setGeometry(pad, tableTop, std::max(0, width() - 2 * pad),
                     std::max(0, height() - tableTop - status - pad));
  StatusLabel->setGeometry(pad, height() - status, std::max(0, width() - 2 * pad), status);
}

void BusWindow::FitColumns() {
  fitQueued_ = false;
  const FormScale scale = ScaleOf(*this);
  const QAbstractItemView& view = *Table;  // its widest cell of a column
  for (int c = 0; c < ColumnCount - 1; ++c)
    Table->setColumnWidth(c, std::max({scale.Of(kColumnWidths[c]), view.sizeHintForColumn(c),
                                       Table->horizontalHeader()->sectionSizeHint(c)}));
}

bool BusWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Table && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      OpenCurrentDevice();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

int BusWindow::RowOf(int address) const {
  for (int row = 0; row < Table->rowCount(); ++row)
    if (Table->item(row, AddressColumn)->data(Qt::UserRole).toInt() == address) return row;
  return -1;
}

int BusWindow::RowFor(int address) {
  if (const int row = RowOf(address); row >= 0) return row;
  int row = 0;
  while (row < Table->rowCount() && Table->item(row, AddressColumn)->data(Qt::UserRole).toInt() < address) ++row;
  Table->insertRow(row);
  for (int c = 0; c < ColumnCount; ++c) Table->setItem(row, c, new QTableWidgetItem);
  Table->item(row, AddressColumn)->setData(Qt::UserRole, address);
  Table->item(row, AddressColumn)->setText(QString::number(address));
  return row;
}

void BusWindow::ShowUnit(int address) {
  const InstalledUnit* unit = units_.Find(address);
  if (!unit) return;
  const int row = RowFor(address);
  const bool online = unit->state == InstalledUnit::State::Online;
  const auto set = [&](Column c, const QString& text, const QString& tip = {}) {
    Table->item(row, c)->setText(text);
    Table->item(row, c)->setToolTip(tip.isEmpty() ? text : tip);
  };
  // A device that does not answer keeps its name and its last sighting;
  // what it runs is not known then.
  set(NameColumn, QString::fromStdString(unit->name));
  QString preset = online && unit->preset ? QString::number(*unit->preset) : QString();
  set(PresetColumn, preset,
      online && unit->presetName ? QString::fromStdString(*unit->presetName) : preset);
  set(MuteColumn, online ? YesNo(unit->mute) : QString());
  set(BypassColumn, online ? YesNo(unit->bypass) : QString());
  set(LockColumn, online ? YesNo(unit->lock) : QString());
  set(StateColumn, QString::fromStdString(unit->StateText()));
  QString details;
  for (const std::string& line : unit->snapshotDetails)
    details += (details.isEmpty() ? "" : "\n") + QString::fromStdString(line);
  set(SnapshotColumn, QString::fromStdString(unit->snapshot), details);
  set(GroupColumn, QString::fromStdString(unit->GroupText()));
  set(SeenColumn, SeenText(unit->lastSeen), SeenText(unit->lastSeen, true));
}

bool BusWindow::Busy() const {
  return scan_.Running() || reader_.Running() || restore_.Running() || capture_.Running() || compare_.Running() ||
         recall_.Running();
}

void BusWindow::EnableButtons() {
  const bool busy = Busy();
  const bool selected = Table->selectionModel()->hasSelection();
  ScanBtn->setEnabled(!busy);
  BackUpBtn->setEnabled(!busy && selected);
  RestoreBtn->setEnabled(!busy && selected);
  CompareBtn->setEnabled(!busy && selected);
  StopBtn->setEnabled(busy);
  CaptureBtn->setEnabled(!busy && Table->rowCount() > 0);
  SnapshotCompareBtn->setEnabled(!busy);
  RecallBtn->setEnabled(!busy);
  const int row = Table->currentRow();
  const InstalledUnit* current =
      row < 0 ? nullptr : units_.Find(Table->item(row, AddressColumn)->data(Qt::UserRole).toInt());
  DifferencesBtn->setEnabled(current && !current->snapshot.empty());
}

void BusWindow::ScanClick() {
  if (Busy()) return;
  std::optional<std::pair<int, int>> range;
  if (RunScanDialog) {
    range = RunScanDialog();
  } else {
    TScanBusDlg dialog(this);
    if (dialog.exec() == QDialog::Accepted) range = dialog.Range();
  }
  if (!range || (PrepareLine && !PrepareLine())) return;
  range_ = *range;
  answers_.clear();
  Progress->setRange(0, range_.second - range_.first + 1);
  Progress->setValue(0);
  scan_.Start(range_.first, range_.second);
  EnableButtons();
  ShowScanState();
}

void BusWindow::StopClick() {
  scan_.Stop();
  reader_.Stop();
  restore_.Stop();
  capture_.Stop();
  compare_.Stop();
  recall_.Stop();
}

void BusWindow::BackUpClick() { ReadSelectedDevices(false); }

void BusWindow::CompareClick() { ReadSelectedDevices(true); }

std::vector<DevicePresetReader::Target> BusWindow::ChooseTargets(const QString& title) {
  std::vector<int> addresses;
  for (const QModelIndex& index : Table->selectionModel()->selectedRows())
    addresses.push_back(Table->item(index.row(), AddressColumn)->data(Qt::UserRole).toInt());
  if (addresses.empty()) return {};
  std::sort(addresses.begin(), addresses.end());
  const QString folder = ChooseFolder(title);
  if (folder.isEmpty()) return {};
  readerFolder_ = folder;
  std::vector<DevicePresetReader::Target> targets;
  const std::filesystem::path base(QFile::encodeName(folder).toStdString());
  for (int address : addresses)
    targets.push_back({address, addresses.size() == 1 ? base : base / AddressFolderName(address)});
  return targets;
}

namespace {
// The folder chosen last, for the next choice in this session: backups and
// snapshots of one installation go side by side.
QString& LastFolder() {
  static QString folder;
  return folder;
}

// A folder dialog that also takes a name that does not exist yet (a new
// snapshot's folder, typed in) where its parent does: the folder is made
// when something is written to it. The widget dialog alone refuses it.
class FolderDialog : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;
  void accept() override {
    const QStringList files = selectedFiles();
    if (files.size() == 1) {
      const QFileInfo chosen(files.front());
      if (!chosen.exists() && chosen.dir().exists()) return QDialog::accept();
    }
    QFileDialog::accept();
  }
};
}  // namespace

QString BusWindow::ChooseFolder(const QString& title) {
  QString folder;
  if (RunFolderDialog) {
    folder = RunFolderDialog();
  } else {
    // Opened beside the last folder, with it selected; folders can be
    // made in it (it is not read-only).
    const QFileInfo last(LastFolder());
    FolderDialog dialog(this, title, LastFolder().isEmpty() ? QString() : last.absolutePath());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (!LastFolder().isEmpty()) dialog.selectFile(last.fileName());
    FitToolkitDialog(dialog, kFileDialogDesignSize);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
      folder = dialog.selectedFiles().front();
  }
  if (!folder.isEmpty()) LastFolder() = QFileInfo(folder).absoluteFilePath();
  return folder;
}

std::vector<DeviceRestore::Target> BusWindow::ChooseSets(const QString& title,
                                                         std::vector<std::string>& refused) {
  refused.clear();
  const std::vector<int> addresses = SelectedAddresses();
  if (addresses.empty()) return {};
  const QString folder = ChooseFolder(title);
  if (folder.isEmpty()) return {};
  readerFolder_ = folder;
  const std::filesystem::path base(QFile::encodeName(folder).toStdString());
  std::vector<DeviceRestore::Target> targets;
  for (int address : addresses) {
    DeviceRestore::Target target;
    target.address = address;
    const std::string failure = FailureOf([&] {
      target.dir = SetFolderOf(base, address, addresses.size() == 1);
      target.set = LoadBackupSet(target.dir);
    });
    if (failure.empty())
      targets.push_back(std::move(target));
    else
      refused.push_back("address " + std::to_string(address) + ": " + failure);
  }
  return targets;
}

void BusWindow::RestoreClick() {
  if (Busy()) return;
  std::vector<std::string> refused;
  std::vector<DeviceRestore::Target> targets = ChooseSets("Restore from Folder", refused);
  std::string cannot;
  for (const std::string& line : refused) cannot += "\nNothing can be restored to " + line;
  // Nothing is asked when nothing can be written.
  if (targets.empty()) {
    if (!refused.empty())
      messages_.ShowMessage(
          "Restore Error",
          "Nothing was restored from " + readerFolder_.toStdString() + "." + cannot,
          MessageIcon::Error);
    return;
  }
  // What will be overwritten, device by device.
  std::string question;
  for (const DeviceRestore::Target& t : targets) {
    const InstalledUnit* unit = units_.Find(t.address);
    const std::string now = unit ? unit->name : std::string();
    question += "Address " + std::to_string(t.address) + (now.empty() ? "" : " (" + now + ")") + ": ";
    std::string presets;
    for (const auto& [preset, block] : t.set->blocks)
      presets += (presets.empty() ? "" : ", ") + std::to_string(preset);
    question += "presets " + presets + " are overwritten from " + t.dir.string() +
                ", and the device is named \"" + t.set->manifest.deviceName + "\".\n";
  }
  if (!cannot.empty()) question += cannot.substr(1) + "\n";
  if (!messages_.AskYesNo("Restore", question + "\nThe presets' present contents are lost. Continue?",
                          MessageIcon::Warning) ||
      (PrepareLine && !PrepareLine()))
    return;
  readerFailures_ = refused;
  stoppedDevices_.clear();
  restoreFailures_.clear();
  devicesDone_ = 0;
  Progress->setRange(0, int(targets.size()) * 8);
  Progress->setValue(0);
  restore_.Start(std::move(targets));
  EnableButtons();
}

void BusWindow::RestoreFinished(bool stopped) {
  // A device whose restore failed does not run what its row said (its
  // last read may have gone well).
  for (const auto& [address, failure] : restoreFailures_)
    units_.Failed(address, "restore failed: " + failure);
  EnableButtons();
  QString text = QString("%1 %2 device(s) from %3.")
                     .arg(stopped ? "Restore stopped; restored" : "Restored")
                     .arg(devicesDone_)
                     .arg(readerFolder_);
  std::string details;
  for (const std::string& line : stoppedDevices_) details += "\n" + line;
  for (const std::string& failure : readerFailures_) details += "\nFailed: " + failure;
  ShowStatus(text, details);
  if (!readerFailures_.empty())
    messages_.ShowMessage("Restore Error", text.toStdString() + details, MessageIcon::Error);
}

void BusWindow::ReadSelectedDevices(bool compare) {
  if (Busy()) return;
  std::vector<DevicePresetReader::Target> targets;
  std::vector<std::string> refused;
  // The backups compared with, read and checked before any device is asked.
  auto sets = std::make_shared<std::map<int, LoadedBackup>>();
  if (compare) {
    for (DeviceRestore::Target& t : ChooseSets("Compare with Backup in Folder", refused)) {
      targets.push_back({t.address, t.dir});
      (*sets)[t.address] = std::move(*t.set);
    }
    if (targets.empty() && !refused.empty()) {
      std::string text = "Nothing was compared with " + readerFolder_.toStdString() + ".";
      for (const std::string& line : refused) text += "\nNothing to compare for " + line;
      messages_.ShowMessage("Compare with Backup", text, MessageIcon::Error);
      return;
    }
  } else {
    targets = ChooseTargets("Back Up to Folder");
  }
  if (targets.empty() || (PrepareLine && !PrepareLine())) return;
  comparing_ = compare;
  readerFailures_ = refused;
  comparisons_.clear();
  devicesDone_ = 0;
  if (compare) {
    reader_.BeforeDevice = nullptr;
    reader_.WithPresets = [this, sets](const DevicePresetReader::Target& target,
                                       const std::vector<pa422::Bytes>& blocks) {
      const std::vector<std::string> lines = BackupDifferences(sets->at(target.address), blocks);
      std::string text = "address " + std::to_string(target.address) + ": ";
      if (lines.empty()) text += "no differences";
      for (size_t i = 0; i < lines.size(); ++i) text += (i ? "; " : "") + lines[i];
      comparisons_.push_back(text);
      return std::string();
    };
  } else {
    reader_.BeforeDevice = [](const DevicePresetReader::Target& target) {
      return FailureOf([&] { CheckBackupFolder(target.dir); });
    };
    reader_.WithPresets = WriteBackupSet;
  }
  Progress->setRange(0, int(targets.size()) * 8);
  Progress->setValue(0);
  reader_.Start(std::move(targets));
  EnableButtons();
}

void BusWindow::ReaderFinished(bool stopped) {
  EnableButtons();
  QString text = comparing_ ? QString("%1 %2 device(s) with the backup in %3.")
                                  .arg(stopped ? "Compare stopped; compared" : "Compared")
                                  .arg(devicesDone_)
                                  .arg(readerFolder_)
                            : QString("%1 %2 device(s) to %3.")
                                  .arg(stopped ? "Backup stopped; backed up" : "Backed up")
                                  .arg(devicesDone_)
                                  .arg(readerFolder_);
  std::string details;
  for (const std::string& line : comparisons_) details += "\n" + line;
  for (const std::string& failure : readerFailures_) details += "\nFailed: " + failure;
  ShowStatus(text, details);
  if (comparing_)
    messages_.ShowMessage("Compare with Backup", text.toStdString() + details,
                          readerFailures_.empty() ? MessageIcon::Information : MessageIcon::Error);
  else if (!readerFailures_.empty())
    messages_.ShowMessage("Back Up Error", text.toStdString() + details, MessageIcon::Error);
}

void BusWindow::OpenCurrentDevice() {
  const int row = Table->currentRow();
  if (row < 0 || !OpenDevice) return;
  OpenDevice(Table->item(row, AddressColumn)->data(Qt::UserRole).toInt());
}

void BusWindow::ScanAnswered(const BusDevice& device) {
  // The model heard the answer as it came off the line (absent addresses
  // get no row of their own); here only what the settings file keeps.
  if (device.state == BusDevice::State::Online)
    answers_[device.address] = device.deviceName;
  else if (device.state == BusDevice::State::Absent)
    answers_[device.address] = std::nullopt;
  Progress->setValue(scan_.Asked());
  ShowScanState();
}

void BusWindow::ShowScanState() {
  QString text = QString("Asked %1 of %2 (addresses %3 to %4), %5 found; about %6 left. Each absent address "
                         "takes about 2\u00a0s: narrow the range to the addresses in use.")
                     .arg(scan_.Asked())
                     .arg(scan_.Total())
                     .arg(range_.first)
                     .arg(range_.second)
                     .arg(scan_.Found())
                     .arg(DurationText(scan_.SecondsLeft()));
  ShowStatus(text);
}

void BusWindow::ShowStatus(const QString& text, const std::string& details) {
  StatusLabel->setText(text);
  PlaceControls();
  Progress->setAccessibleDescription(text + QString::fromStdString(details));
  // Its name is the line: a new name is announced (Qt sends the
  // name-changed event), and the label's own text then sends none.
  StatusLabel->setAccessibleName(text);
}

void BusWindow::ScanFinished(bool stopped) {
  EnableButtons();
  const int last = range_.first + scan_.Asked() - 1;
  QString text = stopped ? QString("Scan stopped after address %1: %2 found.").arg(last).arg(scan_.Found())
                         : QString("Scan of addresses %1 to %2: %3 found.")
                               .arg(range_.first)
                               .arg(range_.second)
                               .arg(scan_.Found());
  if (const std::optional<std::string> failure = SaveBusScan(settingsPath_, answers_)) {
    messages_.ShowMessage("Save Settings Error", *failure, MessageIcon::Error);
    text += " Not kept in the settings file.";
  }
  ShowStatus(text);
}
