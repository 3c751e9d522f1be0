#pragma once
// The frame's response panel: the computed response of the active
// equalizer window, in a dock along the bottom of the frame. It follows
// the active window and every change of its curve; a change only marks the
// picture out of date, and the curve is computed and drawn a few
// milliseconds later, so a slider's move reaches the device first. Below
// the picture a readout gives the frequency and computed level under the
// pointer, or the curve's highest and lowest level. The curve can be copied
// as text and saved as CSV or SVG. The picture takes the keyboard's focus:
// the Menu key and Shift+F10 open its menu, the arrow keys, Home and End
// move its pointer from band to band.
#include <QElapsedTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "app/ResponsePicture.h"
#include "eq/MeasurementOverlay.h"
#include "eq/ResponseModel.h"

class QAction;
class QPainter;
class OperatorMessages;
class StatusPanel;

// What the panel shows: a window's curve and its caption, and the
// measurement loaded for the window, if any.
struct ResponseSubject {
  TEqualizerDocument curve;
  QString name;
  std::optional<WindowMeasurement> measurement;
  // The other members of the window's link group, drawn faint.
  std::vector<TEqualizerDocument> companions;
};

class ResponsePanel : public QWidget {
  Q_OBJECT
 public:
  // Design heights (the frame scales them): the panel's first height and
  // the least it keeps, picture and readout; the readout's own.
  static constexpr int kDesignHeight = 100;
  static constexpr int kDesignMinimumHeight = 64;
  static constexpr int kReadoutHeight = 19;
  // How long after a change the picture is brought up to date, and how
  // long at most it waits for a transaction on the line to end.
  static constexpr int kDrawDelayMs = 5;
  static constexpr int kMaxLineWaitMs = 300;

  explicit ResponsePanel(OperatorMessages& messages, QWidget* parent = nullptr);

  // Set by the frame: the active equalizer window's curve and caption, or
  // nothing without one (the panel then shows an empty grid); and the
  // slider range the level axis covers; whether a transaction runs on
  // the line.
  std::function<std::optional<ResponseSubject>()> Subject;
  std::function<int()> SliderRange;
  std::function<bool()> LineBusy;

  // The curve or the active window may have changed: the picture is
  // brought up to date kDrawDelayMs later, once for any number of changes
  // in between, and not while a transaction runs (the program answers the
  // device at once), unless that takes more than kMaxLineWaitMs. While the
  // panel is hidden nothing is computed until it is shown.
  void CurveMayHaveChanged();
  // A transaction ended, or the line became free: a picture held back for
  // it is drawn now.
  void LineMayBeFree();
  // Brings the picture up to date now.
  void Refresh();

  // The commands the frame's menu and the picture's context menu offer.
  QAction* BandsAction = nullptr;  // each band's contribution, checkable
  QAction* CopyAction = nullptr;   // the curve as text to the clipboard
  QAction* SaveAction = nullptr;   // the curve as CSV or SVG

  // The measurement's commands (the frame's), offered in the picture's
  // menu too; BeforeMenu runs before the menu shows, to enable them.
  QList<QAction*> MeasurementItems;
  std::function<void()> BeforeMenu;

  QWidget* Chart = nullptr;
  StatusPanel* Readout = nullptr;

  // What is shown: the curve (drawn points) and the window it is of.
  bool HasCurve() const { return subject_.has_value(); }
  // A change waits to be drawn.
  bool ChangeWaiting() const { return queued_; }
  const ResponseCurve& Curve() const { return curve_; }
  // The measurement's curves at the drawn frequencies, when one is loaded.
  const std::optional<OverlayCurves>& Overlay() const { return overlay_; }
  const std::vector<std::vector<double>>& Companions() const { return companions_; }
  // The picture's layout at the chart's present size.
  ResponseLayout ChartLayout() const;
  // The readout for the pointer at a point of the chart: frequency and
  // computed level (and the measurement's levels there), or ReadoutSummary
  // outside the plot.
  QString ReadoutAt(QPointF point) const;
  // What the curve is of and its highest and lowest level: the panel's
  // accessible description.
  QString Summary() const;
  // The readout without the pointer: the highest and lowest level alone
  // (the picture's title names the window).
  QString ReadoutSummary() const;

  // The commands. Copy and save take the active window's curve as it is
  // now, also while the panel is hidden.
  void CopyAsText();
  void SaveAs();
  // The save dialog; when empty the platform's is shown. Gets the
  // suggested file name, returns the chosen path and the 1-based filter
  // index (1 CSV, 2 SVG), or an empty path when cancelled.
  std::function<std::pair<QString, int>(const QString& suggestedName)> RunSaveDialog;

  // Draws the response picture of a curve into a rectangle of a printed
  // page (the page's width standing for the design's 800 pixels).
  void PaintOnPage(QPainter& painter, const QRect& area, const TEqualizerDocument& curve,
                   const QString& name) const;

  // The cost of the work the panel does per change, for the benchmark.
  struct Stats {
    int recomputes = 0;
    int paints = 0;
    int64_t lastRecomputeNs = 0;
    int64_t maxRecomputeNs = 0;
    int64_t lastPaintNs = 0;
    int64_t maxPaintNs = 0;
  };
  const Stats& Statistics() const { return stats_; }
  void ResetStatistics() { stats_ = Stats(); }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  friend class ResponseChartWidget;
  void PlaceControls();
  void DrawQueuedChange();
  ResponsePictureOptions PictureOptions(double unit) const;
  void PaintChart(QPainter& painter);
  // The pointer over the chart (nothing: gone), put there by the mouse or
  // by the keys.
  void PointerAt(std::optional<QPointF> point, bool fromKeys = false);
  void UpdateReadout();
  void UpdateTexts();
  int CurrentSliderRange() const;

  OperatorMessages& messages_;
  std::optional<ResponseSubject> subject_;
  ResponseCurve curve_;
  std::optional<OverlayCurves> overlay_;
  std::vector<std::vector<double>> companions_;  // their total levels at drawnHz_
  std::vector<double> drawnHz_;
  std::optional<QPointF> pointer_;
  bool pointerFromKeys_ = false;
  bool queued_ = false;
  bool stale_ = true;
  QElapsedTimer queuedSince_;
  Stats stats_;
};
