// The whole-curve edits on a document: what copy takes, what paste takes
// under each option, and the sliders' rule on pasted and cleared positions.
#include <QTest>

#include "eq/CurveEditing.h"

namespace {
TEqualizerDocument Curve() {
  TEqualizerDocument doc;
  for (int band = 1; band <= kBandCount; ++band) doc.BandSteps[band - 1] = band - 15;
  doc.GainSteps = 4;
  doc.HighPassIndex = 5;
  doc.LowPassIndex = 12;
  doc.PresetName = "BRIGHT";
  return doc;
}
}  // namespace

class CurveEditingTest : public QObject {
  Q_OBJECT

 private slots:
  void copyTakesBandsFiltersNameAndGainApart() {
    TCurveClipboard clipboard;
    clipboard.Slots[32] = 99;  // a copy overwrites every slot
    CopyCurve(Curve(), clipboard);
    QCOMPARE(clipboard.Band(1), -14);
    QCOMPARE(clipboard.Band(29), 14);
    QCOMPARE(clipboard.Slots[TCurveClipboard::kHighPassSlot], 5);  // not the gain
    QCOMPARE(clipboard.Slots[TCurveClipboard::kLowPassSlot], 12);
    QCOMPARE(clipboard.Slots[TCurveClipboard::kGainSlot], 4);
    QCOMPARE(clipboard.Name, std::string("BRIGHT"));
    QCOMPARE(clipboard.Slots[32], 0);
  }

  void pasteTakesOnlyTheChosenParts() {
    TCurveClipboard clipboard;
    CopyCurve(Curve(), clipboard);
    const SliderPolicy sliders;

    TEqualizerDocument target;
    target.CurrentPreset = 3;
    TProgramOptions bandsOnly;  // the default choice
    PasteCurve(target, clipboard, bandsOnly, sliders);
    QCOMPARE(target.BandSteps, Curve().BandSteps);
    QCOMPARE(target.GainSteps, 0);
    QCOMPARE(target.HighPassIndex, kHighPassOut);
    QCOMPARE(target.LowPassIndex, kLowPassOut);
    QCOMPARE(target.PresetName, std::string("Preset Name 1"));

    TProgramOptions all;
    all.CopyHPLP = all.CopyPresetName = all.CopyMasterGain = true;
    PasteCurve(target, clipboard, all, sliders);
    QCOMPARE(target.GainSteps, 4);
    QCOMPARE(target.HighPassIndex, 5);
    QCOMPARE(target.LowPassIndex, 12);
    QCOMPARE(target.PresetName, std::string("BRIGHT"));
    // Only the current preset's entry is renamed.
    QCOMPARE(target.PresetNames[2], std::string("BRIGHT"));
    QCOMPARE(target.PresetNames[0], std::string("Preset Name 1"));

    TProgramOptions nothing;
    nothing.CopyBands1_29 = false;
    TEqualizerDocument untouched;
    PasteCurve(untouched, clipboard, nothing, sliders);
    QCOMPARE(untouched.BandSteps, TEqualizerDocument{}.BandSteps);
  }

  void pastedPositionsFollowTheSliders() {
    TCurveClipboard clipboard;
    clipboard.Slots[1] = 30;
    clipboard.Slots[2] = -30;
    clipboard.Slots[TCurveClipboard::kGainSlot] = 20;
    TProgramOptions options;
    options.CopyMasterGain = true;

    TEqualizerDocument doc;
    PasteCurve(doc, clipboard, options, SliderPolicy{12, false});
    QCOMPARE(doc.BandSteps[0], 12);
    QCOMPARE(doc.BandSteps[1], -12);
    QCOMPARE(doc.GainSteps, 12);

    // While an update is pending the sliders keep their places.
    TEqualizerDocument pending;
    pending.BandSteps[0] = 3;
    PasteCurve(pending, clipboard, options, SliderPolicy{24, true});
    QCOMPARE(pending.BandSteps[0], 3);
    QCOMPARE(pending.GainSteps, 0);
  }

  void anEmptyBufferPastesZerosAndAnEmptyName() {
    TEqualizerDocument doc = Curve();
    TProgramOptions all;
    all.CopyHPLP = all.CopyPresetName = all.CopyMasterGain = true;
    PasteCurve(doc, TCurveClipboard{}, all, SliderPolicy{});
    QCOMPARE(doc.BandSteps, TEqualizerDocument{}.BandSteps);
    QCOMPARE(doc.HighPassIndex, 0);
    QCOMPARE(doc.LowPassIndex, 0);
    QCOMPARE(doc.PresetName, std::string());
  }

  void clearFlattensAndKeepsNamesAndBoxes() {
    TEqualizerDocument doc = Curve();
    doc.Mute = doc.Bypass = true;
    FlattenCurve(doc, SliderPolicy{});
    QCOMPARE(doc.BandSteps, TEqualizerDocument{}.BandSteps);
    QCOMPARE(doc.GainSteps, 0);
    QCOMPARE(doc.HighPassIndex, kHighPassOut);
    QCOMPARE(doc.LowPassIndex, kLowPassOut);
    QCOMPARE(doc.PresetName, std::string("BRIGHT"));
    QVERIFY(doc.Mute && doc.Bypass);

    TEqualizerDocument pending = Curve();
    FlattenCurve(pending, SliderPolicy{24, true});
    QCOMPARE(pending.BandSteps, Curve().BandSteps);
    QCOMPARE(pending.HighPassIndex, kHighPassOut);  // the filters are not sliders
  }
};

QTEST_APPLESS_MAIN(CurveEditingTest)

#include "curve_editing_test.moc"
