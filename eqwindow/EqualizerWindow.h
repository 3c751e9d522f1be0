#pragma once
// What the frame asks of an equalizer window: the commands of its tool bar
// and menus that act on the active window, the layout, the window's menus
// for merging into the frame's menu bar, and the curve it shows for the
// frame's response picture. The equalizer window implements it; the frame
// never needs to know more of it.
#include <QColor>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "eq/EqualizerDocument.h"
#include "eq/MeasurementOverlay.h"
#include "link/LinkInterfaces.h"

class QMenu;

// A menu with its group number: a window's menu replaces the frame's menu
// of the same group; the others are placed in group order.
struct MenuGroup {
  int group = 0;
  QMenu* menu = nullptr;
};

class EqualizerWindow {
 public:
  virtual ~EqualizerWindow() = default;

  // The engine's notifications, taken by the window active when they arrive.
  virtual EqualizerNotifications& Notifications() = 0;
  // The window's own menus ("&File" 0, "&Edit" 1, "&Help" 10).
  virtual QList<MenuGroup> Menus() = 0;

  // The window's close query, asked when it closes and when the program
  // quits; it never refuses.
  virtual bool FormCloseQuery() = 0;

  // The frame made this window the active one, or made another window
  // active; when the active window changes, the window that loses it hears
  // first.
  virtual void FormActivate() = 0;
  virtual void FormDeactivate() = 0;

  // Lays the window out again (its size, sliders and status bar).
  virtual void FormResize() = 0;
  // Raises max to the largest absolute position of the window's 30 sliders.
  virtual void ScanBandExcursion(int32_t& max) = 0;

  // Loads a preset file (the open dialog's path and 1-based filter index);
  // false when it could not be read (the window said why and kept its
  // curve).
  virtual bool Open(const QString& path, int filterIndex) = 0;
  virtual void Save() = 0;
  virtual void Copy() = 0;
  virtual void Paste() = 0;
  virtual void Clear() = 0;
  // Whether Clear would change the curve: not while the preset is locked
  // or bypassed.
  virtual bool ClearEnabled() const { return true; }
  virtual void Print() = 0;

  // The curve the window shows now: slider positions, filter selections,
  // Mute and Bypass as its controls have them.
  virtual TEqualizerDocument CurveNow() const = 0;
  // The measurement the window's curve is compared with and the target a
  // fit aims for; they belong to the window (a preset file does not hold
  // them). Nothing for a window that takes none.
  virtual const WindowMeasurement* MeasurementState() const { return nullptr; }
  // Reads a measurement file (the operator's path); false when it was
  // refused: the operator was told why and nothing changed.
  virtual bool LoadMeasurement(const QString& /*path*/) { return false; }
  virtual void SetTarget(const TargetCurve& /*target*/) {}
  virtual void ClearMeasurement() {}
  // Whether a fit may change the curve: a measurement is loaded and the
  // preset is neither locked nor bypassed.
  virtual bool FitEnabled() const { return false; }
  // Fits the bands to the target, shows the fit's errors and asks before
  // it changes the curve (one undo step, sent to a connected device).
  virtual void FitToTarget() {}

  // The address of the device the window edits (0: none), and choosing
  // one as the operator does in the address list.
  virtual int DeviceAddress() const { return 0; }
  virtual void ChooseAddress(int /*address*/) {}
  // The device was set from outside the window (a snapshot recalled): the
  // window reads it again and shows what it runs, as when it was chosen.
  virtual void ReloadFromDevice() {}

  // Set by the frame; the window calls it whenever the curve it shows
  // changes: a slider moved (drag, keys), a filter chosen, Mute or Bypass
  // switched, a curve loaded, pasted, cleared or read from the device, a
  // measurement or target loaded or cleared.
  std::function<void()> OnCurveChanged;

  // Linking. Set by the frame: the operator moved a slider of this window
  // (not the link): from `was` to `now`; `alone` with Ctrl held.
  std::function<void(int slot, int was, int now, bool alone)> OnSliderMoved;
  // Set by the frame: the operator changed more of the curve at once
  // (paste, clear, a file, a fit, undo or redo, an A/B swap): the bands and
  // gain before and after, by slot − 1.
  std::function<void(const std::array<int, kSliderCount>& before, const std::array<int, kSliderCount>& after)>
      OnCurveEdited;
  // Set by the frame: the operator's undo or redo (`forward`) in this
  // window, with the bands and gain before and after.
  std::function<void(bool forward, const std::array<int, kSliderCount>& before,
                     const std::array<int, kSliderCount>& after)>
      OnHistoryMoved;
  // Set by the frame: the operator chose a filter (high-pass or low-pass,
  // its index), or clicked Mute or Bypass.
  std::function<void(bool highPass, int index)> OnFilterChosen;
  std::function<void(bool bypass, bool on)> OnSwitchClicked;
  // Set by the frame: a linked send of this window failed, or the window
  // lost its device (the device's or the engine's reason).
  std::function<void(const std::string& reason)> OnLinkedSendFailed;
  // Set by the frame: the window took its device's curve as a new base
  // (its address chosen, a preset recalled, the device read again).
  std::function<void()> OnUnitRead;
  // Set by the frame: Lock was ticked or unticked (by the operator or the
  // device's data).
  std::function<void(bool locked)> OnLockSwitched;
  // Moves a slider as the link asks: shown, kept in the history, and sent
  // to the device without a box on failure.
  virtual void ApplyLinkedSteps(int /*slot*/, int /*steps*/) {}
  // Takes the bands and gain as the link asks: one step of the history
  // (`label`), one TRANSMIT_ALL_DATA of the working settings, no box.
  virtual void ApplyLinkedCurve(const std::array<int, kSliderCount>& /*steps*/, const std::string& /*label*/) {}
  // Undoes or redoes the window's last step, as the link asks (the
  // group's step, undone in one member, is undone in all).
  virtual void ApplyLinkedHistory(bool /*forward*/) {}
  // Chooses a filter, or switches Mute or Bypass, as the link asks.
  virtual void ApplyLinkedFilter(bool /*highPass*/, int /*index*/) {}
  virtual void ApplyLinkedSwitch(bool /*bypass*/, bool /*on*/) {}
  // Whether changes of the curve wait for the device or are on their way.
  virtual bool LinkedSendsPending() const { return false; }
  // Whether the window's preset is locked (a linked move leaves it alone).
  virtual bool PresetLocked() const { return false; }
  // The window's slider range in steps (each side of 0).
  virtual int SliderRange() const { return kDefaultSliderRange; }
  virtual QString Caption() const { return {}; }
  // Shows the window's group and its state (empty text: not linked);
  // `resync`: the member does not follow, and Resync is offered.
  virtual void ShowLink(const QString& /*text*/, const QColor& /*colour*/, bool /*resync*/) {}
  // Set by the frame: the operator chose Unlink or Resync in the window's
  // Edit menu.
  std::function<void()> OnUnlink;
  std::function<void()> OnResync;
};
