#pragma once
// What an equalizer window needs of the frame that holds it: the program's
// long-lived objects, the state the windows share, and the frame's own
// commands that the window's menus offer. The frame implements it; the
// window knows no more of the frame than this.
#include <cstdint>
#include <functional>
#include <optional>

class OperatorMessages;
class QPainter;
class QRect;
class LineQueue;
class TzkPA422Form;
struct TCurveClipboard;
struct TEqualizerDocument;
struct TProgramOptions;

class EqualizerHost {
 public:
  virtual ~EqualizerHost() = default;

  // The one link engine, the operator's message boxes, the program options.
  virtual TzkPA422Form& Engine() const = 0;
  // The queue every device request waits in for its turn on the line.
  virtual LineQueue& Line() const = 0;
  virtual OperatorMessages& Messages() const = 0;
  virtual TProgramOptions& Options() const = 0;
  // The curves copied by any window, for pasting into any other.
  virtual TCurveClipboard& Clipboard() = 0;
  // The largest band excursion a file load found: the floor of the slider
  // range the options dialog accepts.
  virtual void RecordMaxBandExcursion(int32_t excursion) = 0;
  // How many equalizer windows are open, this one included.
  virtual int EqualizerWindowCount() const = 0;
  // Enables or disables the frame's Paste button.
  virtual void SetPasteEnabled(bool enabled) = 0;
  // Asks the operator for a port (the com port setup dialog): the port
  // number chosen, or nothing when the dialog was not confirmed.
  virtual std::optional<uint16_t> AskComPort() = 0;
  // What a printed page adds below the window's picture for the curve the
  // window prints: a drawing into a rectangle of the page, or nothing (the
  // page holds the window's picture alone).
  virtual std::function<void(QPainter&, const QRect&)> PrintedBelowWindow(
      const TEqualizerDocument& /*curve*/) {
    return {};
  }

  // The frame's commands on the window's menus.
  // Another, empty equalizer window.
  virtual void NewEqualizerWindow() = 0;
  // A preset file chosen by the operator, opened into the active window.
  virtual void OpenPresetFile() = 0;
  // The program's options dialog.
  virtual void ShowOptions() = 0;
  // Quits the program (every window closes).
  virtual void ExitProgram() = 0;
  virtual void ShowAbout() = 0;
};
