#pragma once
// A stand-in equalizer window for frame tests: records the commands the
// frame forwards and offers menus of its own for merging.
#include <QMenu>
#include <QStringList>
#include <QWidget>

#include "eqwindow/EqualizerWindow.h"

class FakeEqualizerWindow : public QWidget, public EqualizerWindow, public EqualizerNotifications {
 public:
  explicit FakeEqualizerWindow(QStringList* log) : log_(log) {
    resize(300, 200);
    fileMenu_ = new QMenu("&File", this);
    editMenu_ = new QMenu("&Edit", this);
    helpMenu_ = new QMenu("&Help", this);
  }
  int32_t excursion = 0;
  bool opens = true;  // what Open answers
  // "+NAME" when the frame activated the window, "-NAME" when it made
  // another one active, in order; shared by the windows of a test.
  QStringList* activations = nullptr;
  int layouts = 0;
  // What CurveNow answers; ChangeCurve sets it and tells the frame.
  TEqualizerDocument curve;
  void ChangeCurve(const TEqualizerDocument& doc) {
    curve = doc;
    if (OnCurveChanged) OnCurveChanged();
  }

  EqualizerNotifications& Notifications() override { return *this; }
  QList<MenuGroup> Menus() override { return {{0, fileMenu_}, {1, editMenu_}, {10, helpMenu_}}; }
  bool FormCloseQuery() override { return Record("CloseQuery"), true; }
  void FormActivate() override { Activation("+"); }
  void FormDeactivate() override { Activation("-"); }
  void FormResize() override { ++layouts; }
  void ScanBandExcursion(int32_t& max) override {
    if (excursion > max) max = excursion;
  }
  bool Open(const QString& path, int filterIndex) override {
    Record(QString("Open %1 %2").arg(path).arg(filterIndex));
    return opens;
  }
  void Save() override { Record("Save"); }
  void Copy() override { Record("Copy"); }
  void Paste() override { Record("Paste"); }
  void Clear() override { Record("Clear"); }
  void Print() override { Record("Print"); }
  TEqualizerDocument CurveNow() const override { return curve; }
  void LinkFailed() override { Record("LinkFailed"); }
  void PresetRecalled() override { Record("PresetRecalled"); }
  void UpdateDone() override { Record("UpdateDone"); }
  void AllDataReceived() override { Record("AllDataReceived"); }

  QMenu* fileMenu_;
  QMenu* editMenu_;
  QMenu* helpMenu_;

 private:
  void Activation(const QString& sign) {
    if (activations) activations->append(sign + windowTitle());
  }
  void Record(const QString& what) { log_->append(windowTitle() + ": " + what); }
  QStringList* log_;
};
