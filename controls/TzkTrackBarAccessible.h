#pragma once
// What screen readers and accessibility-based automation see of a
// TzkTrackBar: a slider named by its tool tip ("63 Hz", "Gain") whose value
// is the position in the slider's accessible units (the level in dB for
// the equalizer's sliders: 3 for a position of 6 half-decibel steps),
// settable through the same rules as a key move.
#include <QAccessibleWidget>

class TzkTrackBar;

class TzkTrackBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit TzkTrackBarAccessible(TzkTrackBar* trackBar);

  QString text(QAccessible::Text t) const override;
  void* interface_cast(QAccessible::InterfaceType t) override;

  QVariant currentValue() const override;
  // Rounds the value to the nearest step and clamps it, then moves the
  // slider as the operator would, so OnChanging may refuse it and OnChange reports it. A disabled
  // slider does not move.
  void setCurrentValue(const QVariant& value) override;
  QVariant maximumValue() const override;
  QVariant minimumValue() const override;
  QVariant minimumStepSize() const override;

 private:
  TzkTrackBar* trackBar() const;
};

// Registers the factory that gives every TzkTrackBar its interface. Call it
// before the first slider exists (Qt keeps the interface it first made for
// an object); calling it again does nothing.
void InstallTrackBarAccessibility();
