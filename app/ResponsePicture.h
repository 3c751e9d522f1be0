#pragma once
// The response picture as Qt draws it, on the frame's panel and on the
// printed page: a title row (what the curve is of, its state, and the note
// that it is computed), the plot with the band grid and its labels, the
// level axis, the filters' corners, and the total as a bold line. All
// lengths are design pixels times `unit`: the form's scale on screen, the
// page's on paper.
#include <QColor>
#include <QFont>
#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <vector>

#include "eq/MeasurementOverlay.h"
#include "eq/ResponseChart.h"

class QPainter;

// A text of the picture and the box it is drawn in.
struct PictureLabel {
  QRectF box;
  QString text;
  int alignment = 0;  // Qt::Alignment flags
  QColor colour = Qt::black;
  // Inside the plot: drawn over the curve, on a light backing.
  bool overCurve = false;
};

struct ResponseLayout {
  ResponseAxes axes;
  QRectF area;
  QRectF plot;
  QFont font;
  double unit = 1;
  // The spacing of the level lines (their labels may be fewer).
  double dbStep = 6;
  // Every text: title row, band and level labels, axis captions, corners.
  std::vector<PictureLabel> labels;
  // The two corners' marks (x), when the filters are in.
  std::vector<double> cornerX;
  // The legend's line samples, each before its name (a label), when a
  // measurement is drawn.
  struct LegendMark {
    QLineF line;
    QColor colour;
    Qt::PenStyle style = Qt::SolidLine;
    double width = 1;
  };
  std::vector<LegendMark> legend;

  QPointF At(double hz, double db) const;
};

struct ResponsePictureOptions {
  double unit = 1;
  int sliderRange = 24;
  // Each band's contribution drawn thin below the total.
  bool bands = false;
  // The picture's font (its pixel size is set from unit).
  QFont font;
  // A measurement's curves at the curve's frequencies, drawn with the
  // equalizer's and named in a legend in place of the computed note.
  const OverlayCurves* overlay = nullptr;
  // Other curves at the curve's frequencies (the linked group's other
  // members), drawn faint below it.
  const std::vector<std::vector<double>>* companions = nullptr;
};

// Lays the picture out in area for this curve (nullptr: no equalizer
// window, an empty grid) and title (the window's caption). Labels that do
// not fit are left out (band labels thin out, the name is shortened), so
// that none overlaps another or leaves the area.
ResponseLayout LayoutResponse(const QRectF& area, const ResponseCurve* curve, const QString& title,
                              const ResponsePictureOptions& options);

// Draws the laid-out picture and the curve.
void PaintResponse(QPainter& painter, const ResponseLayout& layout, const ResponseCurve* curve,
                   const ResponsePictureOptions& options);
