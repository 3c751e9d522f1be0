// The edit history of a window, its A/B pair and the plan of what a change
// of curve sends.
#include <gtest/gtest.h>

#include "eq/EditHistory.h"

namespace {
CurveState Flat() {
  CurveState c;
  c.presetName = "PRESET 1";
  return c;
}
CurveState WithSlider(CurveState c, int slot, int steps) {
  c.sliders[slot - 1] = static_cast<int16_t>(steps);
  return c;
}

// A window's state that records its edits as the window does.
struct Window {
  EditHistory history;
  WindowEditState state{Flat(), {}};
  int64_t now = 1000;

  void MoveSlider(int slot, int steps, int64_t afterMs = 100) {
    now += afterMs;
    const CurveState before = state.curve;
    state.curve.sliders[slot - 1] = static_cast<int16_t>(steps);
    history.Record(EditKind::Slider, slot, "band " + std::to_string(slot), before, state.curve, now);
  }
  void Whole(const std::string& label, const CurveState& after) {
    now += 100;
    const CurveState before = state.curve;
    state.curve = after;
    history.Record(EditKind::WholeCurve, 0, label, before, after, now);
  }
  void Swap() {
    now += 100;
    const CurveState before = state.curve;
    state.curve = state.compare.Swap(state.curve);
    history.Record(EditKind::SwapAB, 0, "Compare A/B", before, state.curve, now);
  }
  int Slider(int slot) const { return state.curve.sliders[slot - 1]; }
};
}  // namespace

TEST(EditHistory, MovesOfOneGestureAreOneStep) {
  Window w;
  // A drag: moves of one slider less than half a second apart.
  for (int steps = 1; steps <= 6; ++steps) w.MoveSlider(5, steps, 120);
  EXPECT_EQ(w.history.Size(), 1u);
  EXPECT_EQ(w.history.UndoLabel(), "band 5");
  w.history.Undo(w.state);
  EXPECT_EQ(w.Slider(5), 0);
  EXPECT_FALSE(w.history.CanUndo());

  // A pause of half a second, or another control, starts a new step.
  Window pause;
  pause.MoveSlider(5, 1);
  pause.MoveSlider(5, 2, EditHistory::kGestureMs);
  pause.MoveSlider(6, 1);
  pause.MoveSlider(5, 3);
  EXPECT_EQ(pause.history.Size(), 4u);

  // After an undo or redo the next move is a step of its own, even of the
  // same slider at once.
  Window after;
  after.MoveSlider(5, 1);
  after.MoveSlider(6, 1);
  after.history.Undo(after.state);
  after.history.Redo(after.state);
  after.MoveSlider(6, 2, 10);
  EXPECT_EQ(after.history.Size(), 3u);

  // EndGesture cuts a gesture, as another control does.
  Window cut;
  cut.MoveSlider(5, 1);
  cut.history.EndGesture();
  cut.MoveSlider(5, 2, 10);
  EXPECT_EQ(cut.history.Size(), 2u);
}

TEST(EditHistory, EditsThatChangeNothingLeaveNoStep) {
  Window w;
  w.MoveSlider(5, 0);  // already there
  EXPECT_FALSE(w.history.CanUndo());
  // A gesture that ends where it began is gone.
  w.MoveSlider(7, 2);
  w.MoveSlider(7, 1);
  w.MoveSlider(7, 0);
  EXPECT_FALSE(w.history.CanUndo());
  w.MoveSlider(7, 3);
  EXPECT_EQ(w.history.Size(), 1u);
  // A whole curve replaced by itself is no step either.
  w.Whole("Paste", w.state.curve);
  EXPECT_EQ(w.history.Size(), 1u);
}

TEST(EditHistory, UndoAndRedoTouchOnlyTheStepsParts) {
  Window w;
  w.MoveSlider(5, 4);
  w.MoveSlider(30, -2);  // the gain
  CurveState named = w.state.curve;
  named.presetName = "HALL";
  w.history.Record(EditKind::PresetName, kPresetNameSlot, "Preset Name", w.state.curve, named, w.now += 100);
  w.state.curve = named;
  CurveState filtered = w.state.curve;
  filtered.highPass = 7;
  w.history.Record(EditKind::HighPass, kHighPassSlot, "High Pass", w.state.curve, filtered, w.now += 100);
  w.state.curve = filtered;

  EXPECT_EQ(w.history.UndoLabel(), "High Pass");
  EXPECT_EQ(w.history.Undo(w.state).kind, EditKind::HighPass);
  EXPECT_EQ(w.state.curve.highPass, kHighPassOut);
  EXPECT_EQ(w.state.curve.presetName, "HALL");
  EXPECT_EQ(w.history.Undo(w.state).kind, EditKind::PresetName);
  EXPECT_EQ(w.state.curve.presetName, "PRESET 1");

  // Something else changed the window meanwhile (a read of the device):
  // undoing the gain puts back the gain alone.
  w.state.curve.sliders[9] = 8;
  w.history.Undo(w.state);
  EXPECT_EQ(w.Slider(30), 0);
  EXPECT_EQ(w.Slider(10), 8);
  EXPECT_EQ(w.Slider(5), 4);
  EXPECT_EQ(w.history.RedoLabel(), "band 30");

  w.history.Redo(w.state);
  w.history.Redo(w.state);
  EXPECT_EQ(w.Slider(30), -2);
  EXPECT_EQ(w.state.curve.presetName, "HALL");
  EXPECT_EQ(w.history.RedoLabel(), "High Pass");

  // A new edit drops what could have been redone.
  w.MoveSlider(12, 1);
  EXPECT_FALSE(w.history.CanRedo());
  EXPECT_EQ(w.history.RedoLabel(), "");
  EXPECT_EQ(w.history.UndoLabel(), "band 12");
}

TEST(EditHistory, WholeCurveStepsRestoreTheWholeCurve) {
  Window w;
  w.MoveSlider(3, 2);
  CurveState pasted = WithSlider(WithSlider(Flat(), 1, 5), 29, -5);
  pasted.lowPass = 4;
  pasted.presetName = "PASTED";
  w.Whole("Paste", pasted);
  EXPECT_TRUE(w.history.Undo(w.state).Whole());
  EXPECT_EQ(w.state.curve, WithSlider(Flat(), 3, 2));
  w.history.Redo(w.state);
  EXPECT_EQ(w.state.curve, pasted);
}

TEST(EditHistory, KeepsAThousandStepsAndDropsTheOldest) {
  Window w;
  for (int i = 1; i <= 1001; ++i) w.MoveSlider(1 + i % 2, i % 20);
  EXPECT_EQ(w.history.Size(), EditHistory::kMaxSteps);
  int undone = 0;
  while (w.history.CanUndo()) {
    w.history.Undo(w.state);
    ++undone;
  }
  EXPECT_EQ(undone, 1000);
  // The first step is gone: slider 2 stays where step 1 put it.
  EXPECT_EQ(w.Slider(2), 1);
  EXPECT_EQ(w.Slider(1), 0);
  w.history.Clear();
  EXPECT_FALSE(w.history.CanUndo());
  EXPECT_FALSE(w.history.CanRedo());
}

TEST(CompareAB, SwapsAndUndoingASwapSwapsBack) {
  Window w;
  EXPECT_FALSE(w.state.compare.CanSwap());
  const CurveState a = WithSlider(Flat(), 4, 6);
  w.state.curve = a;
  EXPECT_TRUE(w.state.compare.StoreB(a));
  w.MoveSlider(4, -6);
  w.MoveSlider(8, 2);
  const CurveState b = w.state.curve;
  // B was stored from A; A is live and edited.
  w.Swap();
  EXPECT_TRUE(w.state.compare.bLive);
  EXPECT_EQ(w.state.curve, a);
  // With B live, storing B changes nothing.
  EXPECT_FALSE(w.state.compare.StoreB(Flat()));
  w.Swap();
  EXPECT_FALSE(w.state.compare.bLive);
  EXPECT_EQ(w.state.curve, b);

  EXPECT_EQ(w.history.UndoLabel(), "Compare A/B");
  w.history.Undo(w.state);
  EXPECT_TRUE(w.state.compare.bLive);
  EXPECT_EQ(w.state.curve, a);
  w.history.Undo(w.state);
  EXPECT_FALSE(w.state.compare.bLive);
  EXPECT_EQ(w.state.curve, b);
  w.history.Undo(w.state);
  EXPECT_EQ(w.state.curve, WithSlider(b, 8, 0));
  w.history.Redo(w.state);
  w.history.Redo(w.state);
  EXPECT_TRUE(w.state.compare.bLive);
  EXPECT_EQ(w.state.curve, a);
  EXPECT_EQ(*w.state.compare.other, b);
}

TEST(CompareAB, ThePresetNameStaysAsTheWindowHasIt) {
  CompareAB ab;
  CurveState a = WithSlider(Flat(), 2, 3);
  ab.StoreB(a);
  CurveState renamed = Flat();
  renamed.presetName = "LATER";
  const CurveState shown = ab.Swap(renamed);
  EXPECT_EQ(shown.sliders, a.sliders);
  EXPECT_EQ(shown.presetName, "LATER");
}

TEST(DocumentCurve, TakesTheConfirmedNameAndPutsBothNames) {
  TEqualizerDocument doc;
  doc.CurrentPreset = 3;
  doc.PresetNames[2] = "STAGE";
  doc.PresetName = "STAGE LE";  // being typed
  doc.BandSteps[0] = 5;
  doc.GainSteps = -3;
  doc.HighPassIndex = 2;
  CurveState curve = CurveOf(doc);
  EXPECT_EQ(curve.presetName, "STAGE");
  EXPECT_EQ(curve.sliders[0], 5);
  EXPECT_EQ(curve.sliders[29], -3);
  EXPECT_EQ(curve.highPass, 2);

  curve.presetName = "CHOIR";
  curve.sliders[29] = 4;
  PutCurve(doc, curve);
  EXPECT_EQ(doc.PresetName, "CHOIR");
  EXPECT_EQ(doc.PresetNames[2], "CHOIR");
  EXPECT_EQ(doc.PresetNames[1], "Preset Name 2");
  EXPECT_EQ(doc.GainSteps, 4);
}

TEST(PlanDeviceSend, FewestTransactionsForTheDifference) {
  const CurveState flat = Flat();
  EXPECT_EQ(PlanDeviceSend(flat, flat, false).kind, DeviceSend::Nothing);
  const DeviceSend band = PlanDeviceSend(flat, WithSlider(flat, 17, 3), false);
  EXPECT_EQ(band.kind, DeviceSend::Parameter);
  EXPECT_EQ(band.slot, 17);
  EXPECT_EQ(PlanDeviceSend(flat, WithSlider(flat, 30, -1), false).slot, 30);

  CurveState highPass = flat;
  highPass.highPass = 3;
  EXPECT_EQ(PlanDeviceSend(flat, highPass, false).kind, DeviceSend::HighPass);
  CurveState lowPass = flat;
  lowPass.lowPass = 3;
  EXPECT_EQ(PlanDeviceSend(flat, lowPass, false).kind, DeviceSend::LowPass);
  CurveState named = flat;
  named.presetName = "Hall";
  EXPECT_EQ(PlanDeviceSend(flat, named, false).kind, DeviceSend::PresetName);
  // The device keeps names upper-cased: a change of case is none to it.
  CurveState lower = flat;
  lower.presetName = "preset 1";
  EXPECT_EQ(PlanDeviceSend(flat, lower, false).kind, DeviceSend::Nothing);
  EXPECT_TRUE(SameOnDevice(flat, lower));

  // Two parts, or a step that replaced the whole curve: one transmit.
  EXPECT_EQ(PlanDeviceSend(flat, WithSlider(WithSlider(flat, 1, 1), 2, 1), false).kind,
            DeviceSend::WholeCurve);
  EXPECT_EQ(PlanDeviceSend(flat, WithSlider(highPass, 4, 1), false).kind, DeviceSend::WholeCurve);
  EXPECT_EQ(PlanDeviceSend(flat, flat, true).kind, DeviceSend::WholeCurve);
}
