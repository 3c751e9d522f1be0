#pragma once
// The Bus window: every device on the line at a glance. A table with a row
// per unit the installation model knows (its device name, the preset it
// runs, Mute, Bypass, Lock, its state and when it last answered): a view
// of the model, which hears every outcome on the line, whoever asked, and
// outlives the window. Scans ask every address of a range through the line
// queue, so that editing in the equalizer windows goes on between the
// scan's requests. The last scan's devices are kept in the settings file
// and shown, "not scanned", at the next start. A row opens its device's equalizer window; the
// selected rows' devices are backed up to a folder. Snapshots of the bus
// are captured, compared (a verdict per row, its differences on demand)
// and recalled from here; a recalled device that a window changes later is
// shown "modified since recalled".
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/SnapshotOptionsDlg.h"
#include "eq/DeviceBackup.h"
#include "eq/DeviceRestore.h"
#include "eq/SnapshotCapture.h"
#include "eq/SnapshotCompare.h"
#include "eq/SnapshotRecall.h"
#include "link/BusScan.h"
#include "link/InstallationModel.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class LineQueue;
class OperatorMessages;

class BusWindow : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kDesignWidth = 720;
  static constexpr int kDesignHeight = 330;
  enum Column { AddressColumn, NameColumn, PresetColumn, MuteColumn, BypassColumn, LockColumn,
                StateColumn, SnapshotColumn, GroupColumn, SeenColumn, ColumnCount };

  // units: what the table shows; settingsPath: where the scan's devices
  // are kept.
  BusWindow(LineQueue& line, InstallationModel& units, OperatorMessages& messages,
            std::string settingsPath, QWidget* parent = nullptr);
  ~BusWindow() override;

  // Set by the frame. Makes the line ready for a scan (a port chosen and
  // open); false when it cannot be (the operator was told why).
  std::function<bool()> PrepareLine;
  // Opens the equalizer window of the device at an address, or activates
  // the one that is open.
  std::function<void(int address)> OpenDevice;
  // The Scan Bus dialog; when empty the real one is shown. The range, or
  // nothing on Cancel.
  std::function<std::optional<std::pair<int, int>>()> RunScanDialog;
  // The folder a backup goes to; when empty the platform's dialog is
  // shown. An empty path on Cancel.
  std::function<QString()> RunFolderDialog;
  // The snapshot's choices; when empty the real dialog is shown. Nothing
  // on Cancel.
  std::function<std::optional<SnapshotChoice>(TSnapshotOptionsDlg::Kind kind, bool anySelected)> RunSnapshotDialog;
  // Set by the frame: the line's description for a snapshot (the port's
  // device path), and what to do once a recall has sent a device its
  // settings (its open windows read it again).
  std::function<std::string()> LineDescription;
  std::function<void(int address)> DeviceRecalled;

  QPushButton* ScanBtn = nullptr;
  QPushButton* BackUpBtn = nullptr;
  QPushButton* RestoreBtn = nullptr;
  QPushButton* CompareBtn = nullptr;
  QPushButton* StopBtn = nullptr;
  QPushButton* CaptureBtn = nullptr;
  QPushButton* SnapshotCompareBtn = nullptr;
  QPushButton* RecallBtn = nullptr;
  QPushButton* DifferencesBtn = nullptr;
  QProgressBar* Progress = nullptr;
  QTableWidget* Table = nullptr;
  QLabel* StatusLabel = nullptr;

  void ScanClick();
  // Backs the selected rows' devices up: one set in the chosen folder, or
  // for several, one in its subfolder "addr-NNN" each.
  void BackUpClick();
  // Writes the backup sets in the chosen folder (each device's "addr-NNN"
  // subfolder, else the folder's own set) back to the selected rows'
  // devices, once the operator has confirmed what will be overwritten;
  // each device goes on running the preset it ran.
  void RestoreClick();
  // Reads the selected rows' devices and says, per preset, what differs
  // from the backup in the chosen folder (found as for a restore).
  void CompareClick();
  void StopClick();
  // Captures the devices of the table (or the selected rows) into a
  // snapshot folder, with their stored presets unless told otherwise.
  void CaptureSnapshotClick();
  // Reads the devices of a snapshot (and those the last scan found that it
  // does not hold) and shows a verdict per row.
  void CompareSnapshotClick();
  // Sets the devices as a snapshot holds them, within the chosen scope and
  // safes, once the operator has confirmed what will be sent.
  void RecallSnapshotClick();
  // The question Recall Snapshot asks before it sends: a line per device.
  static std::string RecallQuestion(const QString& folder, const LoadedSnapshot& loaded,
                                    const SnapshotRecall::Options& options);
  // What differs for the current row's device, as the last compare or
  // recall found it.
  void DifferencesClick();
  // Opens the equalizer window of the current row's device.
  void OpenCurrentDevice();
  // The table's row of an address, or -1.
  int RowOf(int address) const;
  const BusScan& Scan() const { return scan_; }
  const DevicePresetReader& Backup() const { return reader_; }
  const DeviceRestore& Restore() const { return restore_; }
  bool Busy() const;

  QSize sizeHint() const override { return createdSize_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PlaceControls();
  // Each column as wide as its widest text, never narrower than designed.
  void FitColumns();
  // The row of an address, made where it belongs (rows stay in address
  // order).
  int RowFor(int address);
  // The row of a unit as the model knows it now.
  void ShowUnit(int address);
  void ScanAnswered(const BusDevice& device);
  void ScanFinished(bool stopped);
  void ShowScanState();
  // The line below the table, and the progress's description (with what
  // more there is to say).
  void ShowStatus(const QString& text, const std::string& details = {});
  // Reads the selected rows' devices' presets for a backup or a compare.
  void ReadSelectedDevices(bool compare);
  void ReaderFinished(bool stopped);
  void RestoreFinished(bool stopped);
  // The selected rows' addresses, and the folders of their sets in the
  // folder the operator chooses (empty on Cancel).
  std::vector<DevicePresetReader::Target> ChooseTargets(const QString& title);
  // The selected rows' backup sets in the folder the operator chooses, each
  // read and checked: a row's own "addr-NNN" set, else the folder's own
  // set. What cannot be used is said in `refused`, a line per address.
  std::vector<DeviceRestore::Target> ChooseSets(const QString& title,
                                                std::vector<std::string>& refused);
  // A folder the operator chooses (RunFolderDialog, else the platform's
  // dialog, opened at the last folder chosen, where folders can be made and
  // a new name typed in); empty on Cancel.
  QString ChooseFolder(const QString& title);
  // Scan and Back Up while nothing runs, Stop while something does.
  void EnableButtons();
  // Snapshots (BusWindowSnapshots.cpp).
  void WireSnapshots();
  std::optional<SnapshotChoice> AskSnapshotChoice(TSnapshotOptionsDlg::Kind kind);
  std::vector<int> SelectedAddresses() const;
  std::vector<int> TableAddresses() const;
  // A snapshot folder the operator chooses, read and checked; nothing when
  // cancelled or refused (the operator was told why).
  std::optional<LoadedSnapshot> ChooseSnapshot(const QString& title, const char* errorCaption);
  void ShowVerdict(const SnapshotVerdict& verdict, const std::string& text,
                   InstalledUnit::SnapshotSince since = InstalledUnit::SnapshotSince::None);
  void CaptureFinished(bool stopped);
  void SnapshotCompareFinished(bool stopped);
  void RecallFinished(bool stopped);
  // A window may have changed a device after it was recalled or captured:
  // the device is read (HeldDeviceRead), and shown modified when it no
  // longer runs what the snapshot left it running.
  void LineRequestEnded(const LineRequest& request, const LineOutcome& outcome);
  void HeldDeviceRead(int address, const LineOutcome& read);

  LineQueue& line_;
  InstallationModel& units_;
  int unitEvents_ = 0;
  OperatorMessages& messages_;
  std::string settingsPath_;
  BusScan scan_;
  DevicePresetReader reader_;
  DeviceRestore restore_;
  // What the reader does: a backup, or a compare; its folder, and what it
  // has to say per device.
  bool comparing_ = false;
  QString readerFolder_;
  std::vector<std::string> readerFailures_, comparisons_;
  // Devices whose restore a stop ended, put back as they were.
  std::vector<std::string> stoppedDevices_;
  // The devices a restore failed on, and why.
  std::map<int, std::string> restoreFailures_;
  int devicesDone_ = 0;
  // What the scan heard, for the settings file: a name, or absent.
  std::map<int, std::optional<std::string>> answers_;
  std::pair<int, int> range_{1, 240};
  SnapshotCapture capture_;
  SnapshotCompare compare_;
  SnapshotRecall recall_;
  QString snapshotFolder_;
  // What a recall or capture left each device running, until a window's
  // change makes it run something else.
  std::map<int, SnapshotDevice> heldAs_;
  // Devices whose check waits in the line queue, under this owner.
  std::set<int> checking_;
  int checkOwner_ = 0;
  int lineEvents_ = 0;
  std::vector<std::string> snapshotFailures_;
  QSize createdSize_;
  bool fitQueued_ = false;
};
