#pragma once
// The Bus window: every device on the line at a glance. A table with a row
// per address found or asked (its device name, the preset it runs, Mute,
// Bypass, Lock, its state and when it last answered), filled by scans that
// ask every address of a range through the line queue, so that editing in
// the equalizer windows goes on between the scan's requests. The last
// scan's devices are kept in the settings file and shown, "not scanned",
// at the next start. A row opens its device's equalizer window; the
// selected rows' devices are backed up to a folder.
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "eq/DeviceBackup.h"
#include "eq/DeviceRestore.h"
#include "link/BusScan.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class LineQueue;
class OperatorMessages;

class BusWindow : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kDesignWidth = 640;
  static constexpr int kDesignHeight = 300;
  enum Column { AddressColumn, NameColumn, PresetColumn, MuteColumn, BypassColumn, LockColumn,
                StateColumn, GroupColumn, SeenColumn, ColumnCount };

  // settingsPath: where the scan's devices are kept.
  BusWindow(LineQueue& line, OperatorMessages& messages, std::string settingsPath,
            QWidget* parent = nullptr);

  // Set by the frame. Makes the line ready for a scan (a port chosen and
  // open); false when it cannot be (the operator was told why).
  std::function<bool()> PrepareLine;
  // Opens the equalizer window of the device at an address, or activates
  // the one that is open.
  std::function<void(int address)> OpenDevice;
  // The linked group of an address and its state there ("L+R: following"),
  // or empty; set by the frame.
  std::function<QString(int address)> GroupOf;
  // Shows every row's group again.
  void ShowGroups();
  // The Scan Bus dialog; when empty the real one is shown. The range, or
  // nothing on Cancel.
  std::function<std::optional<std::pair<int, int>>()> RunScanDialog;
  // The folder a backup goes to; when empty the platform's dialog is
  // shown. An empty path on Cancel.
  std::function<QString()> RunFolderDialog;

  QPushButton* ScanBtn = nullptr;
  QPushButton* BackUpBtn = nullptr;
  QPushButton* RestoreBtn = nullptr;
  QPushButton* CompareBtn = nullptr;
  QPushButton* StopBtn = nullptr;
  QProgressBar* Progress = nullptr;
  QTableWidget* Table = nullptr;
  QLabel* StatusLabel = nullptr;

  void ScanClick();
  // Backs the selected rows' devices up: one set in the chosen folder, or
  // for several, one in its subfolder "addr-NNN" each.
  void BackUpClick();
  // Writes the backup sets in the chosen folder (or its "addr-NNN"
  // subfolders) back to the selected rows' devices, once the operator has
  // confirmed what will be overwritten.
  void RestoreClick();
  // Reads the selected rows' devices and says, per preset, what differs
  // from the backup in the chosen folder (or its "addr-NNN" subfolders).
  void CompareClick();
  void StopClick();
  // Opens the equalizer window of the current row's device.
  void OpenCurrentDevice();
  // The table's row of an address, or -1.
  int RowOf(int address) const;
  const BusScan& Scan() const { return scan_; }
  const DevicePresetReader& Backup() const { return reader_; }
  const DeviceRestore& Restore() const { return restore_; }

  QSize sizeHint() const override { return createdSize_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PlaceControls();
  // The row of an address, made where it belongs (rows stay in address
  // order).
  int RowFor(int address);
  void ShowDevice(const BusDevice& device);
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
  // Scan and Back Up while nothing runs, Stop while something does.
  void EnableButtons();

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
  int devicesDone_ = 0;
  // What the scan heard, for the settings file: a name, or absent.
  std::map<int, std::optional<std::string>> answers_;
  std::pair<int, int> range_{1, 240};
  QSize createdSize_;
};
