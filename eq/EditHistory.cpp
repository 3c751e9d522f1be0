#include "eq/EditHistory.h"

#include <utility>

std::array<int, kSliderCount> SliderStepsOf(const CurveState& curve) {
  std::array<int, kSliderCount> steps{};
  for (int i = 0; i < kSliderCount; ++i) steps[i] = curve.sliders[i];
  return steps;
}

CurveState CurveOf(const TEqualizerDocument& doc) {
  CurveState curve;
  for (int slot = 1; slot <= kSliderCount; ++slot)
    curve.sliders[slot - 1] = static_cast<int16_t>(doc.SliderSteps(slot));
  curve.highPass = static_cast<int16_t>(doc.HighPassIndex);
  curve.lowPass = static_cast<int16_t>(doc.LowPassIndex);
  // The name as last confirmed (the current preset's entry); what is being
  // typed into the box is no edit yet.
  curve.presetName = doc.CurrentPreset >= 1 && doc.CurrentPreset <= kPresetCount
                         ? doc.PresetNames[doc.CurrentPreset - 1]
                         : doc.PresetName;
  return curve;
}

namespace {
bool SameNameOnDevice(const std::string& a, const std::string& b) {
  return TrimBlanks(NameForDevice(a)) == TrimBlanks(NameForDevice(b));
}
}  // namespace

bool SameOnDevice(const CurveState& a, const CurveState& b) {
  return a.sliders == b.sliders && a.highPass == b.highPass && a.lowPass == b.lowPass &&
         SameNameOnDevice(a.presetName, b.presetName);
}

void PutCurve(TEqualizerDocument& doc, const CurveState& curve) {
  for (int slot = 1; slot <= kSliderCount; ++slot) doc.SetSliderSteps(slot, curve.sliders[slot - 1]);
  doc.HighPassIndex = curve.highPass;
  doc.LowPassIndex = curve.lowPass;
  doc.PresetName = curve.presetName;
  if (doc.CurrentPreset >= 1 && doc.CurrentPreset <= kPresetCount)
    doc.PresetNames[doc.CurrentPreset - 1] = curve.presetName;
}

bool CompareAB::StoreB(const CurveState& live) {
  if (bLive) return false;
  other = live;
  return true;
}

CurveState CompareAB::Swap(const CurveState& live) {
  if (!other) return live;
  CurveState shown = *other;
  shown.presetName = live.presetName;
  other = live;
  bLive = !bLive;
  return shown;
}

namespace {
// Copies the parts a step of this kind changes from `from` into `to`.
void CopyParts(EditKind kind, int slot, const CurveState& from, CurveState& to) {
  switch (kind) {
    case EditKind::Slider:
      to.sliders[slot - 1] = from.sliders[slot - 1];
      break;
    case EditKind::HighPass:
      to.highPass = from.highPass;
      break;
    case EditKind::LowPass:
      to.lowPass = from.lowPass;
      break;
    case EditKind::PresetName:
      to.presetName = from.presetName;
      break;
    case EditKind::WholeCurve:
      to = from;
      break;
    case EditKind::SwapAB:
      break;
  }
}

bool PartsEqual(EditKind kind, int slot, const CurveState& a, const CurveState& b) {
  CurveState patched = b;
  CopyParts(kind, slot, a, patched);
  return patched == b;
}

// Only the moves of a slider or a filter box come in gestures; a name, a
// whole curve or a swap is one step each time.
bool Gesture(EditKind kind) {
  return kind == EditKind::Slider || kind == EditKind::HighPass || kind == EditKind::LowPass;
}

void Apply(const EditStep& step, const CurveState& parts, WindowEditState& state) {
  if (step.kind == EditKind::SwapAB)
    state.curve = state.compare.Swap(state.curve);
  else
    CopyParts(step.kind, step.slot, parts, state.curve);
}
}  // namespace

void EditHistory::Record(EditKind kind, int slot, const std::string& label, const CurveState& before,
                         const CurveState& after, int64_t nowMs,
                         const std::pair<std::string, std::string>& captions,
                         const std::optional<EditStep::LevelOffset>& levelOffset) {
  if (open_ && position_ == steps_.size() && !steps_.empty()) {
    EditStep& last = steps_.back();
    if (Gesture(kind) && last.kind == kind && last.slot == slot && nowMs - last.lastMs < kGestureMs &&
        nowMs >= last.lastMs) {
      CopyParts(kind, slot, after, last.after);
      last.lastMs = nowMs;
      if (PartsEqual(kind, slot, last.before, last.after)) {
        steps_.pop_back();
        position_ = steps_.size();
        open_ = false;
      }
      return;
    }
  }
  if (kind != EditKind::SwapAB && PartsEqual(kind, slot, before, after)) return;
  steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(position_), steps_.end());
  EditStep step;
  step.kind = kind;
  step.slot = slot;
  step.label = label;
  if (kind != EditKind::SwapAB) {
    step.before = before;
    step.after = after;
  }
  step.lastMs = nowMs;
  step.captionBefore = captions.first;
  step.captionAfter = captions.second;
  step.levelOffset = levelOffset;
  steps_.push_back(std::move(step));
  if (steps_.size() > kMaxSteps) steps_.pop_front();
  position_ = steps_.size();
  open_ = true;
}

std::string EditHistory::UndoLabel() const { return CanUndo() ? steps_[position_ - 1].label : ""; }

std::string EditHistory::RedoLabel() const { return CanRedo() ? steps_[position_].label : ""; }

const EditStep& EditHistory::Undo(WindowEditState& state) {
  open_ = false;
  const EditStep& step = steps_[--position_];
  Apply(step, step.before, state);
  return step;
}

const EditStep& EditHistory::Redo(WindowEditState& state) {
  open_ = false;
  const EditStep& step = steps_[position_++];
  Apply(step, step.after, state);
  return step;
}

void EditHistory::Clear() {
  steps_.clear();
  position_ = 0;
  open_ = false;
}

DeviceSend PlanDeviceSend(const CurveState& device, const CurveState& wanted, bool wholeCurve) {
  if (wholeCurve) return {DeviceSend::WholeCurve};
  int differences = 0;
  DeviceSend send;
  for (int slot = 1; slot <= kSliderCount; ++slot)
    if (device.sliders[slot - 1] != wanted.sliders[slot - 1]) {
      ++differences;
      send = {DeviceSend::Parameter, slot};
    }
  if (device.highPass != wanted.highPass) {
    ++differences;
    send = {DeviceSend::HighPass};
  }
  if (device.lowPass != wanted.lowPass) {
    ++differences;
    send = {DeviceSend::LowPass};
  }
  if (!SameNameOnDevice(device.presetName, wanted.presetName)) {
    ++differences;
    send = {DeviceSend::PresetName};
  }
  if (differences > 1) return {DeviceSend::WholeCurve};
  return send;
}
