#include "app/ResponsePicture.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {
// Design lengths, in pixels of the 800-pixel design.
constexpr double kFontPixels = 11;
constexpr double kPad = 4;
// Level lines stay at least this far apart.
constexpr double kLevelLineGap = 5;

const QColor kBackground(255, 255, 255);
const QColor kNoteText(96, 96, 96);
const QColor kBandGrid(212, 212, 212);
const QColor kLevelGrid(190, 190, 190);
const QColor kZeroLine(128, 128, 128);
const QColor kFrame(128, 128, 128);
const QColor kCorner(176, 48, 48);
const QColor kTotal(0, 36, 125);
const QColor kHeld(168, 168, 200);
const QColor kBand(143, 176, 216);
// The linked group's other members: faint, under the active one.
const QColor kCompanion(0, 36, 125, 70);
const QColor kLabelBacking(255, 255, 255, 170);
const QColor kMeasured(240, 160, 60);
const QColor kTarget(0, 128, 64);
const QColor kPredicted(150, 30, 160);
// The legend's line samples, in design pixels.
constexpr double kLegendSample = 14;

// The measurement's curves as drawn: colour, line, and the legend's long
// and short names.
struct OverlayStyle {
  QColor colour;
  Qt::PenStyle style;
  double width;
  const char* name;
  const char* shortName;
  QColor textColour;  // the legend's name, readable on white
};
const OverlayStyle kEqualizerStyle{kTotal, Qt::SolidLine, 2.5, "Equalizer", "EQ", kTotal};
const OverlayStyle kTargetStyle{kTarget, Qt::DashLine, 1.5, "Target", "Target", kTarget};
// Broad and light under the prediction, which is the measurement itself
// while the equalizer is flat.
const OverlayStyle kMeasuredStyle{kMeasured, Qt::SolidLine, 3.5, "Measured", "Meas.", QColor(160, 88, 0)};
const OverlayStyle kPredictedStyle{kPredicted, Qt::SolidLine, 1.5, "Predicted", "Pred.", kPredicted};

QString Q(const std::string& s) { return QString::fromStdString(s); }

QString StateText(const ResponseCurve* curve) {
  if (!curve) return {};
  if (curve->mute) return "Muted";
  if (curve->bypass) return "Bypassed";
  return {};
}
}  // namespace

QPointF ResponseLayout::At(double hz, double db) const {
  return {plot.left() + plot.width() * axes.XFraction(hz),
          plot.top() + plot.height() * axes.YFraction(db)};
}

ResponseLayout LayoutResponse(const QRectF& area, const ResponseCurve* curve, const QString& title,
                              const ResponsePictureOptions& options) {
  ResponseLayout layout;
  layout.unit = options.unit > 0 ? options.unit : 1;
  layout.area = area;
  layout.font = options.font;
  layout.font.setPixelSize(std::max(1, int(std::lround(kFontPixels * layout.unit))));
  layout.axes = curve ? AxesFor(DefaultResponseModel(), options.sliderRange, *curve)
                      : AxesFor(DefaultResponseModel(), options.sliderRange, 0.0);
  if (curve && options.overlay) {
    // The axis also covers the measurement's curves (within reason: a
    // far-off level leaves the plot rather than flatten the rest).
    double peak = curve->PeakExcursionDb();
    double lowest = curve->totalDb.empty() ? 0.0 : curve->totalDb[curve->Lowest()];
    for (const std::vector<double>* levels : {&options.overlay->measuredDb, &options.overlay->targetDb,
                                              &options.overlay->predictedDb})
      for (double db : *levels)
        if (std::isfinite(db)) {
          peak = std::max(peak, std::min(std::fabs(db), 36.0));
          lowest = std::min(lowest, db);
        }
    layout.axes = AxesFor(DefaultResponseModel(), options.sliderRange, peak, lowest);
  }
  const QFontMetricsF metrics(layout.font);
  const double line = metrics.height();
  const double pad = kPad * layout.unit;
  const auto width = [&](const QString& text) { return metrics.horizontalAdvance(text); };

  // Margins: the level labels and "dB" on the left, half the last band
  // label on the right, the title row above, the band labels below.
  double labelColumn = width("dB");
  for (double db : {layout.axes.topDb, layout.axes.bottomDb, 24.0, -24.0})
    labelColumn = std::max(labelColumn, width(Q(DbGridLabel(db))));
  const double left = area.left() + pad + labelColumn + pad;
  const double right = area.right() - pad - width(Q(CompactBandLabel(kBandCount))) / 2;
  const double titleBottom = area.top() + pad / 2 + line;
  const double top = titleBottom + pad / 2;
  const double bottom = area.bottom() - pad / 2 - line - pad / 2;
  layout.plot = QRectF(QPointF(left, top), QPointF(std::max(left + 1, right), std::max(top + 1, bottom)));
  const QRectF& plot = layout.plot;

  // Level lines as dense as keeps them apart. Labels on the axis' ends
  // and 0 dB, and on as many evenly spaced lines between them as leave
  // room. A label is centred on its line but stays within the plot's
  // height, clear of "dB" above and "Hz" below; on a plot too low for the
  // two ends' labels, they take the whole height of the picture instead
  // and "dB" and "Hz" give way.
  layout.dbStep = DbGridStep(layout.axes, plot.height(), kLevelLineGap * layout.unit);
  const double labelGap = pad / 4;
  const bool lowPlot = plot.height() < 2 * line + labelGap;
  const double labelsHigh = lowPlot ? area.top() + pad / 2 : plot.top();
  const double labelsLow = std::max(labelsHigh, (lowPlot ? area.bottom() - pad / 2 : plot.bottom()) - line);
  const auto levelTop = [&](double db) {
    return std::clamp(layout.At(20, db).y() - line / 2, labelsHigh, labelsLow);
  };
  for (double db : LabelledDbLevels(layout.axes, levelTop, line, labelGap))
    layout.labels.push_back({QRectF(area.left() + pad, levelTop(db), labelColumn, line), Q(DbGridLabel(db)),
                             int(Qt::AlignRight | Qt::AlignVCenter)});
  if (!lowPlot)
    layout.labels.push_back({QRectF(area.left() + pad, titleBottom - line, labelColumn, line), "dB",
                             int(Qt::AlignRight | Qt::AlignVCenter)});
  // Band labels below the plot, "Hz" under the level labels.
  const double labelsTop = plot.bottom() + pad / 2;
  const auto bandWidth = [&](const std::string& text) { return width(Q(text)); };
  for (int band : LabelledBands(layout.axes, plot.width(), bandWidth, pad)) {
    const QString text = Q(CompactBandLabel(band));
    const double x = layout.At(BandCentreHz(band), 0).x();
    layout.labels.push_back({QRectF(x - width(text) / 2, labelsTop, width(text), line), text,
                             int(Qt::AlignCenter)});
  }
  if (!lowPlot)
    layout.labels.push_back({QRectF(area.left() + pad, labelsTop, labelColumn, line), "Hz",
                             int(Qt::AlignRight | Qt::AlignVCenter)});

  // The title row: what the curve is of and its state on the left, the
  // computed note on the right. Short of room, the note shortens first,
  // then the name.
  QString name = curve ? title : "No equalizer window";
  const QString state = StateText(curve);
  if (!state.isEmpty()) name = name.isEmpty() ? state : name + " \u2013 " + state;
  QString note = kComputedNote;
  const double room = plot.width();
  const double titleTop = titleBottom - line;
  if (curve && options.overlay) {
    // The legend in place of the note: each curve's line and name, short
    // names when the long ones leave no room.
    const OverlayStyle* styles[] = {&kEqualizerStyle, &kMeasuredStyle, &kTargetStyle, &kPredictedStyle};
    const double sample = kLegendSample * layout.unit;
    const auto legendWidth = [&](bool shortNames) {
      double total = 0;
      for (const OverlayStyle* st : styles)
        total += sample + pad / 2 + width(shortNames ? st->shortName : st->name) + pad * 2;
      return total - pad * 2;
    };
    bool shortNames = width(name) + pad * 2 + legendWidth(false) > room;
    if (width(name) + pad * 2 + legendWidth(shortNames) > room)
      name = metrics.elidedText(name, Qt::ElideMiddle, std::max(0.0, room - pad * 2 - legendWidth(shortNames)));
    double x = plot.right() - legendWidth(shortNames);
    for (const OverlayStyle* st : styles) {
      const QString text = shortNames ? st->shortName : st->name;
      const double y = titleTop + line / 2;
      layout.legend.push_back({QLineF(x, y, x + sample, y), st->colour, st->style, st->width * layout.unit});
      x += sample + pad / 2;
      layout.labels.push_back({QRectF(x, titleTop, width(text), line), text, int(Qt::AlignLeft | Qt::AlignVCenter),
                               st->textColour});
      x += width(text) + pad * 2;
    }
    note.clear();
  }
  if (!note.isEmpty() && width(name) + pad * 2 + width(note) > room) note = "Computed";
  if (!note.isEmpty() && width(name) + pad * 2 + width(note) > room)
    name = metrics.elidedText(name, Qt::ElideMiddle, std::max(0.0, room - pad * 2 - width(note)));
  if (!note.isEmpty() && width(note) <= room) {
    layout.labels.push_back({QRectF(plot.right() - width(note), titleTop, width(note), line), note,
                             int(Qt::AlignRight | Qt::AlignVCenter), kNoteText});
  }
  if (!name.isEmpty())
    layout.labels.push_back({QRectF(plot.left(), titleTop, width(name), line), name,
                             int(Qt::AlignLeft | Qt::AlignVCenter)});

  // The filters' corners, named inside the bottom of the plot where there
  // is room for them (the curve there is mostly far above or beyond the
  // corners): the high-pass label right of its mark, the low-pass label
  // left of its own, a line higher when the two would meet.
  if (curve) {
    QRectF highPassBox;
    const double cornerTop = plot.bottom() - pad / 2 - line;
    const bool roomForNames = plot.height() >= 3 * line;
    if (curve->highPassHz) {
      const double x = layout.At(*curve->highPassHz, 0).x();
      layout.cornerX.push_back(x);
      const QString text = "HP " + Q(CornerText(*curve->highPassHz));
      highPassBox = QRectF(x + pad / 2, cornerTop, width(text), line);
      if (roomForNames && highPassBox.right() <= plot.right())
        layout.labels.push_back({highPassBox, text, int(Qt::AlignLeft | Qt::AlignVCenter), kCorner, true});
      else
        highPassBox = QRectF();
    }
    if (curve->lowPassHz) {
      const double x = layout.At(*curve->lowPassHz, 0).x();
      layout.cornerX.push_back(x);
      const QString text = "LP " + Q(CornerText(*curve->lowPassHz));
      QRectF box(x - pad / 2 - width(text), cornerTop, width(text), line);
      if (!highPassBox.isNull() && box.intersects(highPassBox)) box.translate(0, -line);
      if (roomForNames && box.left() >= plot.left() && box.top() >= plot.top())
        layout.labels.push_back({box, text, int(Qt::AlignRight | Qt::AlignVCenter), kCorner, true});
    }
  }
  return layout;
}

void PaintResponse(QPainter& painter, const ResponseLayout& layout, const ResponseCurve* curve,
                   const ResponsePictureOptions& options) {
  const double unit = layout.unit;
  const QRectF& plot = layout.plot;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(layout.area, kBackground);

  // The grid: a line at every band's centre, the level lines, 0 dB darker.
  painter.setPen(QPen(kBandGrid, std::max(1.0, unit * 0.75)));
  for (int band = 1; band <= kBandCount; ++band) {
    const double x = layout.At(BandCentreHz(band), 0).x();
    painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
  }
  for (double db : DbGridLevels(layout.axes, layout.dbStep)) {
    const double y = layout.At(20, db).y();
    painter.setPen(QPen(db == 0 ? kZeroLine : kLevelGrid, std::max(1.0, unit * (db == 0 ? 1.0 : 0.75))));
    painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
  }
  painter.setPen(QPen(kCorner, std::max(1.0, unit), Qt::DashLine));
  for (double x : layout.cornerX) painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
  painter.setPen(QPen(kFrame, std::max(1.0, unit * 0.75)));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(plot);

  // The texts, those inside the plot later, over the curve.
  const auto drawLabels = [&](bool overCurve) {
    painter.setFont(layout.font);
    for (const PictureLabel& label : layout.labels) {
      if (label.overCurve != overCurve) continue;
      if (overCurve) painter.fillRect(label.box, kLabelBacking);
      painter.setPen(label.colour);
      painter.drawText(label.box, label.alignment, label.text);
    }
  };
  drawLabels(false);

  if (curve && !curve->hz.empty()) {
    // The curves stay inside the plot's frame, whatever the level.
    painter.setClipRect(plot);
    const auto path = [&](const std::vector<double>& db) {
      QPainterPath p;
      bool drawing = false;
      for (size_t i = 0; i < curve->hz.size() && i < db.size(); ++i) {
        // A gap where a measurement has no point.
        if (!std::isfinite(db[i])) {
          drawing = false;
          continue;
        }
        // Far off the axis the curve runs outside the plot, clipped.
        const double level = std::clamp(db[i], layout.axes.bottomDb - 100, layout.axes.topDb + 100);
        const QPointF point = layout.At(curve->hz[i], level);
        if (!drawing)
          p.moveTo(point);
        else
          p.lineTo(point);
        drawing = true;
      }
      return p;
    };
    if (options.bands && curve->bandDb.size() == size_t(kBandCount)) {
      painter.setPen(QPen(kBand, std::max(1.0, unit * 0.75)));
      for (int b = 0; b < kBandCount; ++b)
        if (std::any_of(curve->bandDb[b].begin(), curve->bandDb[b].end(), [](double v) { return v != 0; }))
          painter.drawPath(path(curve->bandDb[b]));
    }
    if (options.companions) {
      painter.setPen(QPen(kCompanion, unit * 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      for (const std::vector<double>& levels : *options.companions) painter.drawPath(path(levels));
    }
    if (const OverlayCurves* overlay = options.overlay) {
      // Below the equalizer's own curve: the target, the measurement, the
      // prediction.
      const std::pair<const OverlayStyle*, const std::vector<double>*> curves[] = {
          {&kTargetStyle, &overlay->targetDb},
          {&kMeasuredStyle, &overlay->measuredDb},
          {&kPredictedStyle, &overlay->predictedDb}};
      for (const auto& [style, levels] : curves) {
        painter.setPen(QPen(style->colour, unit * style->width, style->style, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(path(*levels));
      }
    }
    const bool held = curve->mute || curve->bypass;
    painter.setPen(QPen(held ? kHeld : kTotal, unit * (held ? 1.5 : 2.5), Qt::SolidLine, Qt::RoundCap,
                        Qt::RoundJoin));
    painter.drawPath(path(curve->totalDb));
    if (curve->bypass && !curve->mute) {
      // What the unit does while bypassed: nothing.
      const double y = layout.At(20, 0).y();
      painter.setPen(QPen(kTotal, unit * 2.5, Qt::SolidLine, Qt::FlatCap));
      painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    if (curve->mute) {
      QFont big = layout.font;
      big.setPixelSize(std::max(1, int(std::lround(kFontPixels * 2.5 * unit))));
      big.setBold(true);
      painter.setFont(big);
      painter.setPen(kCorner);
      painter.drawText(plot, Qt::AlignCenter, "Muted");
    }
  }
  painter.setClipping(false);
  for (const ResponseLayout::LegendMark& mark : layout.legend) {
    painter.setPen(QPen(mark.colour, mark.width, mark.style, Qt::FlatCap));
    painter.drawLine(mark.line);
  }
  drawLabels(true);
  painter.restore();
}
