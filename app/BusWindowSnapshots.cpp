// The Bus window's snapshots: capture, compare and recall through the line
// queue, and their verdicts in the installation model (which also sees what
// a window changes afterwards).
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <algorithm>

#include "app/BusWindow.h"
#include "controls/ApplicationHint.h"
#include "eq/SnapshotFolder.h"
#include "eqwindow/OperatorMessages.h"

namespace {
std::filesystem::path PathOf(const QString& folder) {
  return QFile::encodeName(folder).toStdString();
}

QString Joined(const std::vector<std::string>& lines) {
  QString text;
  for (const std::string& line : lines)
    text += (text.isEmpty() ? "" : "\n") + QString::fromStdString(line);
  return text;
}
}  // namespace

void BusWindow::WireSnapshots() {
  const auto button = [this](const QString& caption, const QString& name, const char* hint,
                             auto click) {
    auto* b = new QPushButton(caption, this);
    b->setAccessibleName(name);
    SetHint(*b, hint);
    connect(b, &QPushButton::clicked, this, click);
    return b;
  };
  CaptureBtn = button("Capture S&napshot...", "Capture Snapshot",
                      "|Save what every device runs (and its presets) to a snapshot folder",
                      [this] { CaptureSnapshotClick(); });
  SnapshotCompareBtn = button("Compare with Sna&pshot...", "Compare with Snapshot",
                              "|Say for each device whether it still runs what a snapshot holds",
                              [this] { CompareSnapshotClick(); });
  RecallBtn =
      button("Recall Snaps&hot...", "Recall Snapshot", "|Set the devices as a snapshot holds them",
             [this] { RecallSnapshotClick(); });
  DifferencesBtn =
      button("&Differences...", "Differences",
             "|What differs for the current device, as the last compare or recall found it",
             [this] { DifferencesClick(); });
  connect(Table, &QTableWidget::currentCellChanged, this, [this] { EnableButtons(); });

  // What the devices answered reaches the model from the line.
  capture_.OnDevice = [this](const SnapshotDevice& device, const std::string& error) {
    if (!error.empty())
      snapshotFailures_.push_back("address " + std::to_string(device.address) + ": " + error);
    Progress->setValue(capture_.DevicesDone());
    ShowStatus(QString("Capturing: %1 of %2 addresses read.")
                   .arg(capture_.DevicesDone())
                   .arg(capture_.DevicesInAll()));
  };
  capture_.OnFinished = [this](bool stopped) { CaptureFinished(stopped); };
  compare_.OnVerdict = [this](const SnapshotVerdict& v) {
    ShowVerdict(v, v.verdict);
    Progress->setValue(compare_.DevicesDone());
  };
  compare_.OnFinished = [this](bool stopped) { SnapshotCompareFinished(stopped); };
  recall_.OnStep = [this](int address, const std::string& step) {
    ShowStatus(QString("Recalling address %1: %2.").arg(address).arg(QString::fromStdString(step)));
  };
  recall_.OnDevice = [this](const SnapshotVerdict& v, bool sent) {
    // Once sent its settings, a device shows a window's later change in its row.
    ShowVerdict(v, v.Matches() ? "recalled" : v.verdict,
                sent ? InstalledUnit::SnapshotSince::Recalled : InstalledUnit::SnapshotSince::None);
    if (sent && v.now)
      heldAs_[v.address] = *v.now;
    else
      heldAs_.erase(v.address);
    if (!v.Matches())
      snapshotFailures_.push_back("address " + std::to_string(v.address) + ": " + v.verdict +
                                  (v.differences.empty() ? "" : " (" + v.differences[0] + ")"));
    // The windows of the device read what it runs now.
    if (sent && DeviceRecalled) DeviceRecalled(v.address);
    Progress->setValue(recall_.DevicesDone());
  };
  recall_.OnFinished = [this](bool stopped) { RecallFinished(stopped); };

  LineEvents events;
  events.ended = [this](const LineRequest& request, const LineOutcome& outcome) {
    LineRequestEnded(request, outcome);
  };
  lineEvents_ = line_.Subscribe(std::move(events));
}

void BusWindow::LineRequestEnded(const LineRequest& request, const LineOutcome& outcome) {
  // The windows' requests (not the bus's own background work) that may
  // change a recalled or captured device: anything but a read.
  if (request.yields || !outcome.started || outcome.command == 0 ||
      outcome.command == pa422::RECALL_ALL_DATA || !heldAs_.count(request.address))
    return;
  // Whether it changed anything shows in what the device runs afterwards.
  // A check that waits covers this change too.
  const int address = request.address;
  if (!checking_.insert(address).second) return;
  LineRequest check = BackgroundRecall(checkOwner_, address, 0);
  check.done = [bus = QPointer<BusWindow>(this), address](const LineOutcome& read) {
    if (bus) bus->HeldDeviceRead(address, read);
  };
  line_.Submit(std::move(check));
}

void BusWindow::HeldDeviceRead(int address, const LineOutcome& read) {
  checking_.erase(address);
  const auto held = heldAs_.find(address);
  if (held == heldAs_.end()) return;
  // Unreadable, it may have changed.
  if (OutcomeFailure(read, true).empty() &&
      SnapshotDifferences(held->second, DeviceFromWorkingBlock(address, read.data)).empty())
    return;
  heldAs_.erase(held);
  units_.ModifiedSinceSnapshot(address);
}

std::vector<int> BusWindow::SelectedAddresses() const {
  std::vector<int> addresses;
  for (const QModelIndex& index : Table->selectionModel()->selectedRows())
    addresses.push_back(Table->item(index.row(), AddressColumn)->data(Qt::UserRole).toInt());
  std::sort(addresses.begin(), addresses.end());
  return addresses;
}

std::vector<int> BusWindow::TableAddresses() const {
  std::vector<int> addresses;
  for (int row = 0; row < Table->rowCount(); ++row)
    addresses.push_back(Table->item(row, AddressColumn)->data(Qt::UserRole).toInt());
  return addresses;
}

std::optional<SnapshotChoice> BusWindow::AskSnapshotChoice(TSnapshotOptionsDlg::Kind kind) {
  const bool selected = Table->selectionModel()->hasSelection();
  if (RunSnapshotDialog) return RunSnapshotDialog(kind, selected);
  TSnapshotOptionsDlg dialog(kind, selected, this);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Choice();
}

std::optional<LoadedSnapshot> BusWindow::ChooseSnapshot(const QString& title,
                                                        const char* errorCaption) {
  const QString folder = ChooseFolder(title);
  if (folder.isEmpty()) return std::nullopt;
  snapshotFolder_ = folder;
  // Every file is read and checked before any device is asked.
  try {
    return LoadSnapshotFolder(PathOf(folder));
  } catch (const std::exception& e) {
    messages_.ShowMessage(
        errorCaption,
        std::string("The snapshot in ") + folder.toStdString() + " cannot be used: " + e.what(),
        MessageIcon::Error);
  }
  return std::nullopt;
}

void BusWindow::ShowVerdict(const SnapshotVerdict& v, const std::string& text,
                            InstalledUnit::SnapshotSince since) {
  units_.SetSnapshot(v.address, text, v.differences, since);
}

void BusWindow::CaptureSnapshotClick() {
  if (Busy()) return;
  if (Table->rowCount() == 0) {
    messages_.ShowMessage("Capture Snapshot", "No devices to capture: scan the bus first.",
                          MessageIcon::Information);
    return;
  }
  const std::optional<SnapshotChoice> choice = AskSnapshotChoice(TSnapshotOptionsDlg::Capture);
  if (!choice) return;
  const QString folder = ChooseFolder("Capture Snapshot to Folder");
  if (folder.isEmpty()) return;
  snapshotFolder_ = folder;
  try {
    CheckSnapshotFolder(PathOf(folder));
  } catch (const std::exception& e) {
    messages_.ShowMessage("Capture Snapshot Error", e.what(), MessageIcon::Error);
    return;
  }
  if (PrepareLine && !PrepareLine()) return;
  SnapshotCapture::Options options;
  options.addresses = choice->selectedOnly ? SelectedAddresses() : TableAddresses();
  options.presets = choice->presets;
  options.line = LineDescription ? LineDescription() : std::string();
  snapshotFailures_.clear();
  Progress->setRange(0, int(options.addresses.size()));
  Progress->setValue(0);
  capture_.Start(std::move(options));
  EnableButtons();
}

void BusWindow::CaptureFinished(bool stopped) {
  EnableButtons();
  QString text;
  std::string details;
  for (const std::string& failure : snapshotFailures_) details += "\nFailed: " + failure;
  if (stopped) {
    text = capture_.LineClosed() ? "Capture ended: the line is closed. Nothing was written."
                                 : "Capture stopped. Nothing was written.";
  } else {
    Snapshot snapshot = capture_.Result();
    try {
      WriteSnapshotFolder(PathOf(snapshotFolder_), snapshot, capture_.Presets());
      int absent = 0;
      for (const SnapshotDevice& d : snapshot.devices)
        absent += d.state == SnapshotDevice::State::Absent;
      text = QString("Captured %1 device(s) to %2 (%3 absent, %4 failed).")
                 .arg(int(snapshot.devices.size()) - absent - int(snapshotFailures_.size()))
                 .arg(snapshotFolder_)
                 .arg(absent)
                 .arg(snapshotFailures_.size());
      for (const SnapshotDevice& d : snapshot.devices)
        if (d.state == SnapshotDevice::State::Present && units_.Find(d.address)) {
          units_.SetSnapshot(d.address, "captured", {}, InstalledUnit::SnapshotSince::Captured);
          heldAs_[d.address] = d;
        }
    } catch (const std::exception& e) {
      text = "The snapshot was not written.";
      details = "\n" + std::string(e.what()) + details;
    }
  }
  ShowStatus(text, details);
  if (!details.empty())
    messages_.ShowMessage("Capture Snapshot Error", text.toStdString() + details,
                          MessageIcon::Error);
}

void BusWindow::CompareSnapshotClick() {
  if (Busy()) return;
  std::optional<LoadedSnapshot> loaded =
      ChooseSnapshot("Compare with Snapshot in Folder", "Compare with Snapshot Error");
  if (!loaded) return;
  const std::optional<SnapshotChoice> choice = AskSnapshotChoice(TSnapshotOptionsDlg::Compare);
  if (!choice || (PrepareLine && !PrepareLine())) return;
  SnapshotCompare::Options options;
  options.presets = choice->presets;
  if (choice->selectedOnly) {
    options.addresses = SelectedAddresses();
  } else {
    // The snapshot's devices, and those the last scan found that it does
    // not hold.
    options.addresses = SnapshotScope(loaded->snapshot, {});
    for (const auto& [address, unit] : units_.Units())
      if (unit.state == InstalledUnit::State::Online &&
          std::find(options.addresses.begin(), options.addresses.end(), address) ==
              options.addresses.end())
        options.addresses.push_back(address);
  }
  snapshotFailures_.clear();
  Progress->setRange(0, int(options.addresses.size()));
  Progress->setValue(0);
  ShowStatus(QString("Comparing with the snapshot in %1.").arg(snapshotFolder_));
  compare_.Start(std::move(*loaded), std::move(options));
  EnableButtons();
}

void BusWindow::SnapshotCompareFinished(bool stopped) {
  EnableButtons();
  std::map<std::string, int> counts;
  for (const SnapshotVerdict& v : compare_.Verdicts()) ++counts[v.verdict];
  QString summary;
  for (const auto& [verdict, count] : counts)
    summary += QString("%1%2 %3")
                   .arg(summary.isEmpty() ? "" : ", ")
                   .arg(count)
                   .arg(QString::fromStdString(verdict));
  ShowStatus(QString("%1 %2 device(s) with the snapshot in %3: %4.")
                 .arg(stopped ? "Compare stopped; compared" : "Compared")
                 .arg(compare_.Verdicts().size())
                 .arg(snapshotFolder_)
                 .arg(summary.isEmpty() ? "nothing to compare" : summary));
}

void BusWindow::RecallSnapshotClick() {
  if (Busy()) return;
  std::optional<LoadedSnapshot> loaded =
      ChooseSnapshot("Recall Snapshot from Folder", "Recall Snapshot Error");
  if (!loaded) return;
  const std::optional<SnapshotChoice> choice = AskSnapshotChoice(TSnapshotOptionsDlg::Recall);
  if (!choice) return;
  SnapshotRecall::Options options;
  options.addresses = choice->selectedOnly ? SelectedAddresses() : std::vector<int>();
  options.presets = choice->presets;
  options.muteBypass = choice->muteBypass;
  options.names = choice->names;
  if (!messages_.AskYesNo("Recall Snapshot", RecallQuestion(snapshotFolder_, *loaded, options),
                          MessageIcon::Warning) ||
      (PrepareLine && !PrepareLine()))
    return;
  snapshotFailures_.clear();
  const int devices = int(SnapshotScope(loaded->snapshot, options.addresses).size());
  Progress->setRange(0, devices);
  Progress->setValue(0);
  recall_.Start(std::move(*loaded), std::move(options));
  EnableButtons();
}

std::string BusWindow::RecallQuestion(const QString& folder, const LoadedSnapshot& loaded,
                                      const SnapshotRecall::Options& options) {
  std::string question =
      "These devices are set as the snapshot in " + folder.toStdString() + " holds them:\n";
  for (const std::string& line : SnapshotRecall::Plan(loaded, options)) question += "\n" + line;
  return question + "\n\nWhat they run now is lost. Continue?";
}

void BusWindow::RecallFinished(bool stopped) {
  EnableButtons();
  int matched = 0;
  for (const SnapshotVerdict& v : recall_.Verdicts()) matched += v.Matches();
  const QString text = QString("%1 %2 of %3 device(s) from %4 as captured.")
                           .arg(stopped ? "Recall stopped; recalled" : "Recalled")
                           .arg(matched)
                           .arg(recall_.DevicesInAll())
                           .arg(snapshotFolder_);
  std::string details;
  for (const std::string& failure : snapshotFailures_) details += "\nNot as captured: " + failure;
  ShowStatus(text, details);
  if (!details.empty())
    messages_.ShowMessage("Recall Snapshot Error", text.toStdString() + details,
                          MessageIcon::Error);
}

void BusWindow::DifferencesClick() {
  const int row = Table->currentRow();
  if (row < 0) return;
  const int address = Table->item(row, AddressColumn)->data(Qt::UserRole).toInt();
  const InstalledUnit* unit = units_.Find(address);
  if (!unit || unit->snapshot.empty()) return;
  const QString name = QString::fromStdString(unit->name);
  QString text = QString("Address %1%2: %3")
                     .arg(address)
                     .arg(name.isEmpty() ? "" : " (" + name + ")")
                     .arg(QString::fromStdString(unit->snapshot));
  text += unit->snapshotDetails.empty() ? "\n\nNo differences."
                                        : "\n\n" + Joined(unit->snapshotDetails);
  messages_.ShowMessage("Differences", text.toStdString(), MessageIcon::Information);
}
