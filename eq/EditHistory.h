#pragma once
// The edit history of one equalizer window, and its A/B pair of curves.
//
// The history keeps the steps by which the operator changed the window's
// curve and preset name: a band or the gain, a filter, the preset name, a
// whole curve at once (Paste, Clear, a file) and A/B swaps. Undo and Redo
// walk it. A step holds only what it changed: undoing a band step puts that
// band back and leaves the rest of the curve as it is now. The moves of one
// gesture (a slider drag, a held key) merge into one step.
//
// What a change of curve costs on the line is planned here too: the fewest
// transactions that bring a device from one curve to another.
//
// Mute, Bypass and Lock are no part of it: they are switches, not the curve.
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>

#include "eq/EqualizerDocument.h"

// What the history keeps of a document: the part of a preset a device
// holds and an edit changes.
struct CurveState {
  std::array<int16_t, kSliderCount> sliders{};  // by slot - 1: the 29 bands, then the gain
  int16_t highPass = kHighPassOut;
  int16_t lowPass = kLowPassOut;
  std::string presetName;
  bool operator==(const CurveState&) const = default;
};

// The curve's bands and gain, by slot − 1.
std::array<int, kSliderCount> SliderStepsOf(const CurveState& curve);
// The document's curve; its preset name is the one last confirmed (the
// current preset's entry), not what is being typed.
CurveState CurveOf(const TEqualizerDocument& doc);
// Whether a device that holds one curve holds the other too: levels,
// filters, and the preset name as the device keeps it (16 characters,
// upper-cased).
bool SameOnDevice(const CurveState& a, const CurveState& b);
// Puts the curve into the document: levels, filters, and the preset name
// as the name shown and as the current preset's entry.
void PutCurve(TEqualizerDocument& doc, const CurveState& curve);

// Two curves to compare by ear: the live one is in the window (and on the
// device); the other waits here. A is live at first; there is no other
// curve until B is stored. The preset name is no part of the comparison:
// it stays as the window has it.
struct CompareAB {
  bool bLive = false;
  std::optional<CurveState> other;

  bool CanSwap() const { return other.has_value(); }
  // Copies the live curve into B; only while A is live (with B live, B is
  // the window's curve already).
  bool StoreB(const CurveState& live);
  // The other curve becomes live: returns the curve to show, keeps `live`
  // as the other one. Nothing happens without another curve.
  CurveState Swap(const CurveState& live);
};

// Everything undo and redo act on: the window's curve and its A/B pair.
struct WindowEditState {
  CurveState curve;
  CompareAB compare;
};

enum class EditKind { Slider, HighPass, LowPass, PresetName, WholeCurve, SwapAB };

struct EditStep {
  EditKind kind = EditKind::WholeCurve;
  int slot = 0;        // the slider's slot (1 to 30) of a Slider step
  std::string label;   // as the Edit menu names it: "1 kHz", "High Pass", "Paste"
  CurveState before;   // the step's parts before and after it; a swap keeps none
  CurveState after;
  int64_t lastMs = 0;  // when the last move merged into it was made
  // The window's caption before and after the step, for a step that named
  // the window anew (an opened file); both empty when it kept its caption.
  std::string captionBefore;
  std::string captionAfter;
  // A fit's step: the level offset of the measurement it was made for
  // (`measurement` tells which) before and after it; none is the mean
  // alignment. Undo and redo lay the measurement where it was.
  struct LevelOffset {
    unsigned measurement = 0;
    std::optional<double> before, after;
  };
  std::optional<LevelOffset> levelOffset;
  // Whether undoing or redoing it changes the whole curve (the device then
  // takes the whole curve in one transmit).
  bool Whole() const { return kind == EditKind::WholeCurve || kind == EditKind::SwapAB; }
};

class EditHistory {
 public:
  // This many steps are kept; the oldest go first. A step holds two
  // curves and a label, about 250 bytes, so a full history stays within a
  // quarter of a megabyte.
  static constexpr size_t kMaxSteps = 1000;
  // Moves of one control closer together than this are one gesture.
  static constexpr int64_t kGestureMs = 500;

  // Records an edit from `before` to `after` (whole curves as the window had
  // them; only the parts of `kind` count) at time nowMs. A move of the same
  // slider or filter as the last step, within kGestureMs of it, merges into
  // that step, and a step that ends where it began disappears. An edit that
  // changes nothing is no step. Recording drops the steps that could have
  // been redone.
  void Record(EditKind kind, int slot, const std::string& label, const CurveState& before,
              const CurveState& after, int64_t nowMs,
              const std::pair<std::string, std::string>& captions = {},
              const std::optional<EditStep::LevelOffset>& levelOffset = {});
  // The next edit starts a step of its own, whatever it is.
  void EndGesture() { open_ = false; }

  bool CanUndo() const { return position_ > 0; }
  bool CanRedo() const { return position_ < steps_.size(); }
  // The label of the step Undo or Redo would take; empty when none.
  std::string UndoLabel() const;
  std::string RedoLabel() const;

  // Takes back the last step on `state`: its parts return to what they were
  // before it (a swap swaps back). Returns the step; only when CanUndo().
  const EditStep& Undo(WindowEditState& state);
  // Does the next step again on `state`. Only when CanRedo().
  const EditStep& Redo(WindowEditState& state);

  // A new history: the window's curve, as it is, is the new base.
  void Clear();

  size_t Size() const { return steps_.size(); }
  size_t Position() const { return position_; }

 private:
  std::deque<EditStep> steps_;
  size_t position_ = 0;  // steps before it are done, steps from it on can be redone
  bool open_ = false;    // the last step may still take the moves of its gesture
};

// What brings a device from one curve to another with the fewest
// transactions: nothing; one band or the gain (UPDATE_PARAMETER); one
// filter or the name alone (the read-modify-write of that part); anything
// larger, or a step that replaced the whole curve, one TRANSMIT_ALL_DATA.
struct DeviceSend {
  enum Kind { Nothing, Parameter, HighPass, LowPass, PresetName, WholeCurve };
  Kind kind = Nothing;
  int slot = 0;  // for Parameter: the slider's slot
};
DeviceSend PlanDeviceSend(const CurveState& device, const CurveState& wanted, bool wholeCurve);
