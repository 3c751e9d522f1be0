#pragma once
// What screen readers see of a StatusPanel: static text named by its
// caption (the accessible name, "Level value") and the text it shows now,
// "Level value: +3.0", whose value is that text ("+3.0"). A panel without
// a caption is named by its text alone, as any label is.
#include <QAccessibleWidget>

class StatusPanel;

class StatusPanelAccessible : public QAccessibleWidget {
 public:
  explicit StatusPanelAccessible(StatusPanel* panel);
  QString text(QAccessible::Text t) const override;
};

// Registers the factory that gives every StatusPanel its interface. Call it
// before the first panel exists (Qt keeps the interface it first made for
// an object); calling it again does nothing.
void InstallStatusPanelAccessibility();
