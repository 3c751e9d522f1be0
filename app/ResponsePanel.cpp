#include "app/ResponsePanel.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "controls/ApplicationHint.h"
#include "controls/FittedText.h"
#include "controls/ToolkitDialogs.h"
#include "controls/zkScale.h"
#include "eq/ResponseExport.h"
#include "eqwindow/OperatorMessages.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

const QStringList kSaveFilters = {"Comma Separated Values (*.csv)", "SVG Picture (*.svg)"};
constexpr int kCsvFilter = 1;
constexpr int kSvgFilter = 2;

// The platform's save dialog with the two formats.
std::pair<QString, int> RunPlatformSaveDialog(QWidget* parent, const QString& suggestedName) {
  QFileDialog dialog(parent, "Save Response As");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(kSaveFilters);
  dialog.setDefaultSuffix("csv");
  dialog.selectFile(suggestedName);
  FitToolkitDialog(dialog, kFileDialogDesignSize);
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
    dialog.setDefaultSuffix(filter == kSaveFilters[1] ? "svg" : "csv");
  });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return {dialog.selectedFiles().front(), int(kSaveFilters.indexOf(dialog.selectedNameFilter())) + 1};
}

// A file name from a window's caption: its preset-file extension dropped,
// no folder separators.
QString SuggestedName(const QString& caption) {
  QString name = QFileInfo(caption).completeBaseName();
  if (name.isEmpty()) name = "Response";
  return name.replace('/', '-') + "-response.csv";
}
}  // namespace

// The picture: draws through the panel and reports the pointer to it. It
// takes the focus (Tab, a click), shows it with a frame, opens its menu
// with the Menu key and Shift+F10, and moves a pointer of its own from
// band to band with the arrow keys, Home and End.
class ResponseChartWidget : public QWidget {
 public:
  explicit ResponseChartWidget(ResponsePanel& panel) : QWidget(&panel), panel_(panel) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
  }

  // The band the keys put the pointer on, while they hold it.
  std::optional<int> KeyBand() const { return keyBand_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    panel_.PaintChart(painter);
    const double unit = ScaleOf(panel_).Factor();
    if (keyBand_) {
      // The keys' pointer: a dotted line through the plot at its band.
      const ResponseLayout layout = panel_.ChartLayout();
      const double x = layout.At(BandCentreHz(*keyBand_), 0).x();
      painter.setPen(QPen(palette().color(QPalette::Highlight), std::max(1.0, unit), Qt::DotLine));
      painter.drawLine(QPointF(x, layout.plot.top()), QPointF(x, layout.plot.bottom()));
    }
    if (hasFocus()) {
      const int thick = std::max(1, int(std::lround(1.5 * unit)));
      painter.setPen(QPen(palette().color(QPalette::Highlight), thick, Qt::SolidLine, Qt::SquareCap,
                          Qt::MiterJoin));
      painter.setBrush(Qt::NoBrush);
      const double inset = thick / 2.0;
      painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
    }
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    LeaveKeyBand();
    panel_.PointerAt(event->position());
  }
  void leaveEvent(QEvent*) override {
    if (!keyBand_) panel_.PointerAt(std::nullopt);
  }
  void focusInEvent(QFocusEvent* event) override {
    QWidget::focusInEvent(event);
    update();
  }
  void focusOutEvent(QFocusEvent* event) override {
    QWidget::focusOutEvent(event);
    if (keyBand_) {
      LeaveKeyBand();
      panel_.PointerAt(std::nullopt);
    }
    update();
  }
  void keyPressEvent(QKeyEvent* event) override {
    const int key = event->key();
    const bool shiftF10 = key == Qt::Key_F10 && (event->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier;
    // On X11 Qt turns the Menu key into a context menu event of its own,
    // which arrives before the key: the menu has been shown already.
    const bool shown = std::exchange(menuFromKeyboard_, false);
    if (key == Qt::Key_Menu || shiftF10) {
      if (!shown) ShowMenuFromKeyboard();
    } else if (!MoveKeyBand(key)) {
      QWidget::keyPressEvent(event);
      return;
    }
    event->accept();
  }
  void contextMenuEvent(QContextMenuEvent* event) override {
    if (event->reason() == QContextMenuEvent::Keyboard) {
      menuFromKeyboard_ = true;
      ShowMenuFromKeyboard();
      return;
    }
    ShowMenuAt(event->globalPos());
  }

 private:
  void ShowMenuAt(QPoint globalPos) {
    QMenu menu(this);
    menu.setObjectName("ResponseMenu");
    menu.addAction(panel_.BandsAction);
    menu.addSeparator();
    menu.addAction(panel_.CopyAction);
    menu.addAction(panel_.SaveAction);
    if (!panel_.MeasurementItems.isEmpty()) {
      menu.addSeparator();
      menu.addActions(panel_.MeasurementItems);
    }
    if (panel_.BeforeMenu) panel_.BeforeMenu();
    menu.exec(globalPos);
  }
  // A menu opened from the keyboard appears at the keys' pointer on the
  // 0 dB line, else in the middle of the plot.
  void ShowMenuFromKeyboard() {
    const ResponseLayout layout = panel_.ChartLayout();
    const QPointF place = keyBand_ ? layout.At(BandCentreHz(*keyBand_), 0) : layout.plot.center();
    ShowMenuAt(mapToGlobal(place.toPoint()));
  }
  // Left and Right a band down or up, Home and End the first and the last;
  // the first press starts at 1 kHz. False for any other key.
  bool MoveKeyBand(int key) {
    constexpr int k1kHzBand = 17;
    int band = keyBand_.value_or(k1kHzBand);
    switch (key) {
      case Qt::Key_Left: if (keyBand_) band = std::max(1, band - 1); break;
      case Qt::Key_Right: if (keyBand_) band = std::min(kBandCount, band + 1); break;
      case Qt::Key_Home: band = 1; break;
      case Qt::Key_End: band = kBandCount; break;
      default: return false;
    }
    keyBand_ = band;
    panel_.PointerAt(panel_.ChartLayout().At(BandCentreHz(band), 0), true);
    update();
    return true;
  }
  void LeaveKeyBand() {
    if (!keyBand_) return;
    keyBand_.reset();
    update();
  }

  ResponsePanel& panel_;
  std::optional<int> keyBand_;
  bool menuFromKeyboard_ = false;
};

ResponsePanel::ResponsePanel(OperatorMessages& messages, QWidget* parent)
    : QWidget(parent), messages_(messages) {
  setObjectName("ResponsePanel");
  setAccessibleName("Response");
  drawnHz_ = DrawnFrequencies(DefaultResponseModel());

  auto* chart = new ResponseChartWidget(*this);
  Chart = chart;
  Chart->setObjectName("ResponseChart");
  Chart->setAccessibleName("Response picture");
  Readout = new StatusPanel("", this);
  Readout->setObjectName("ResponseReadout");
  Readout->setAccessibleName("Response readout");

  BandsAction = new QAction("Response &Bands", this);
  BandsAction->setCheckable(true);
  SetHint(*BandsAction, "|Show each band's own part of the computed response");
  connect(BandsAction, &QAction::toggled, this, [this] { Refresh(); });
  CopyAction = new QAction("Cop&y Response", this);
  SetHint(*CopyAction, "|Copy the computed response as text, one line per frequency");
  connect(CopyAction, &QAction::triggered, this, [this] { CopyAsText(); });
  SaveAction = new QAction("Sa&ve Response As", this);
  SetHint(*SaveAction, "|Save the computed response as a CSV file or an SVG picture");
  connect(SaveAction, &QAction::triggered, this, [this] { SaveAs(); });
  CopyAction->setEnabled(false);
  SaveAction->setEnabled(false);

  UpdateTexts();
}

int ResponsePanel::CurrentSliderRange() const {
  return SliderRange ? SliderRange() : kDefaultSliderRange;
}

void ResponsePanel::CurveMayHaveChanged() {
  if (queued_) return;
  queued_ = true;
  queuedSince_.start();
  // A moment later rather than at once: the change that came with a
  // slider's step has just put its command on the line, and the far end
  // (a network serial server, a driver) gets the processor first.
  QTimer::singleShot(kDrawDelayMs, Qt::PreciseTimer, this, [this] { DrawQueuedChange(); });
}

void ResponsePanel::LineMayBeFree() {
  if (queued_ && !(LineBusy && LineBusy())) DrawQueuedChange();
}

void ResponsePanel::DrawQueuedChange() {
  if (!queued_) return;
  if (isVisible()) {
    // A transaction waits on the program's answers (DTR after DSR, the
    // frame after DT/ID): drawing then would hold them up.
    const qint64 waited = queuedSince_.elapsed();
    if (waited < kMaxLineWaitMs && LineBusy && LineBusy()) {
      // Drawn when the line says it is free (LineMayBeFree), or at the
      // latest once the longest wait is over.
      QTimer::singleShot(int(kMaxLineWaitMs - waited), Qt::PreciseTimer, this,
                         [this] { DrawQueuedChange(); });
      return;
    }
    Refresh();
    return;
  }
  queued_ = false;
  stale_ = true;
  // Hidden: nothing drawn, but the commands follow the active window.
  const bool any = Subject && Subject().has_value();
  CopyAction->setEnabled(any);
  SaveAction->setEnabled(any);
}

void ResponsePanel::Refresh() {
  queued_ = false;
  stale_ = false;
  QElapsedTimer timer;
  timer.start();
  subject_ = Subject ? Subject() : std::nullopt;
  if (subject_)
    curve_ = ComputeResponse(DefaultResponseModel(), subject_->curve, drawnHz_, BandsAction->isChecked());
  else
    curve_ = ResponseCurve();
  companions_.clear();
  if (subject_)
    for (const TEqualizerDocument& other : subject_->companions)
      companions_.push_back(ComputeResponse(DefaultResponseModel(), other, drawnHz_, false).totalDb);
  overlay_.reset();
  if (subject_ && subject_->measurement && subject_->measurement->Loaded()) {
    // The prediction is what the unit passes: nothing while muted, the
    // measurement alone while bypassed.
    const std::vector<double> bypassed(curve_.hz.size(), 0.0);
    const std::vector<double>* equalizer = curve_.mute ? nullptr : curve_.bypass ? &bypassed : &curve_.totalDb;
    overlay_ = ComputeOverlay(*subject_->measurement, drawnHz_, equalizer);
  }
  const int64_t ns = timer.nsecsElapsed();
  ++stats_.recomputes;
  stats_.lastRecomputeNs = ns;
  stats_.maxRecomputeNs = std::max(stats_.maxRecomputeNs, ns);
  CopyAction->setEnabled(HasCurve());
  SaveAction->setEnabled(HasCurve());
  UpdateTexts();
  Chart->update();
}

void ResponsePanel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (stale_) Refresh();
}

void ResponsePanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceControls();
}

void ResponsePanel::PlaceControls() {
  const int readout = std::min(height(), ScaleOf(*this).Of(kReadoutHeight));
  Chart->setGeometry(0, 0, width(), height() - readout);
  Readout->setGeometry(0, height() - readout, width(), readout);
}

ResponsePictureOptions ResponsePanel::PictureOptions(double unit) const {
  ResponsePictureOptions options;
  options.unit = unit;
  options.sliderRange = CurrentSliderRange();
  options.bands = BandsAction->isChecked();
  options.font = font();
  options.overlay = overlay_ ? &*overlay_ : nullptr;
  options.companions = companions_.empty() ? nullptr : &companions_;
  return options;
}

ResponseLayout ResponsePanel::ChartLayout() const {
  const QString name = subject_ ? subject_->name : QString();
  return LayoutResponse(QRectF(Chart->rect()), HasCurve() ? &curve_ : nullptr, name,
                        PictureOptions(ScaleOf(*this).Factor()));
}

void ResponsePanel::PaintChart(QPainter& painter) {
  QElapsedTimer timer;
  timer.start();
  const ResponsePictureOptions options = PictureOptions(ScaleOf(*this).Factor());
  PaintResponse(painter, ChartLayout(), HasCurve() ? &curve_ : nullptr, options);
  const int64_t ns = timer.nsecsElapsed();
  ++stats_.paints;
  stats_.lastPaintNs = ns;
  stats_.maxPaintNs = std::max(stats_.maxPaintNs, ns);
}

QString ResponsePanel::Summary() const {
  if (!HasCurve()) return "No equalizer window: an empty grid.";
  const QString of = subject_->name.isEmpty() ? QString() : " of " + subject_->name;
  if (overlay_)
    return "Computed equalizer response" + of + ". " + Q(ResponseSummary(curve_)) + " " +
           Q(OverlaySummary(*subject_->measurement, drawnHz_, *overlay_));
  return QString(kComputedNote) + of + ". " + Q(ResponseSummary(curve_));
}

QString ResponsePanel::ReadoutSummary() const {
  return HasCurve() ? Q(ResponseSummary(curve_)) : "No equalizer window";
}

QString ResponsePanel::ReadoutAt(QPointF point) const {
  const ResponseLayout layout = ChartLayout();
  if (!HasCurve() || point.x() < layout.plot.left() || point.x() > layout.plot.right())
    return ReadoutSummary();
  const double fraction = (point.x() - layout.plot.left()) / layout.plot.width();
  const double hz = layout.axes.HzAt(fraction);
  const double db = TotalDbAt(DefaultResponseModel(), subject_->curve, hz);
  const QString at = Q(HzText(hz)) + ": ";
  QString measured;
  if (overlay_) {
    // The measurement's three levels at the pointer, as drawn.
    const std::vector<double> equalizer{curve_.bypass ? 0.0 : db};
    const OverlayCurves point = ComputeOverlay(*subject_->measurement, {hz}, curve_.mute ? nullptr : &equalizer);
    const auto level = [](double v) { return std::isfinite(v) ? Q(DbText(v)) : QString("none"); };
    measured = "; measured " + level(point.measuredDb[0]) + ", target " + level(point.targetDb[0]) +
               ", predicted " + level(point.predictedDb[0]);
  }
  if (curve_.mute) return at + "muted (unmuted " + Q(DbText(db)) + ", computed)" + measured;
  if (curve_.bypass) return at + "0.0 dB, bypassed (the curve held " + Q(DbText(db)) + ", computed)" + measured;
  return at + Q(DbText(db)) + " (computed)" + measured;
}

void ResponsePanel::PointerAt(std::optional<QPointF> point, bool fromKeys) {
  pointer_ = point;
  pointerFromKeys_ = point && fromKeys;
  UpdateReadout();
}

void ResponsePanel::UpdateReadout() {
  const QString readout = pointer_ ? ReadoutAt(*pointer_) : ReadoutSummary();
  Readout->setText(readout);
  // With the keys moving the pointer, the focused picture describes the
  // level there, so that a screen reader says it at each step.
  Chart->setAccessibleDescription(pointerFromKeys_ ? readout : Summary());
}

void ResponsePanel::UpdateTexts() {
  setAccessibleDescription(Summary());
  UpdateReadout();
}

void ResponsePanel::CopyAsText() {
  const std::optional<ResponseSubject> subject = Subject ? Subject() : std::nullopt;
  if (!subject) return;
  const ResponseModel& model = DefaultResponseModel();
  const ResponseCurve curve = ComputeResponse(model, subject->curve, TextFrequencies(model));
  QGuiApplication::clipboard()->setText(Q(ResponseText(curve, subject->name.toStdString())));
}

void ResponsePanel::SaveAs() {
  const std::optional<ResponseSubject> subject = Subject ? Subject() : std::nullopt;
  if (!subject) return;
  const QString suggested = SuggestedName(subject->name);
  auto [path, filter] = RunSaveDialog ? RunSaveDialog(suggested) : RunPlatformSaveDialog(this, suggested);
  if (path.isEmpty()) return;
  // The name's extension decides; a name without one takes the filter's.
  const QString suffix = QFileInfo(path).suffix().toLower();
  bool svg = filter == kSvgFilter;
  if (suffix == "svg" || suffix == "csv")
    svg = suffix == "svg";
  else if (suffix.isEmpty())
    path += svg ? ".svg" : ".csv";

  const ResponseModel& model = DefaultResponseModel();
  std::string contents;
  if (svg) {
    SvgPicture picture;
    picture.sliderRange = CurrentSliderRange();
    picture.bands = BandsAction->isChecked();
    const ResponseCurve curve =
        ComputeResponse(model, subject->curve, DrawnFrequencies(model), picture.bands);
    contents = ResponseSvg(model, curve, subject->name.toStdString(), picture);
  } else {
    contents = ResponseCsv(ComputeResponse(model, subject->curve, TextFrequencies(model)));
  }
  try {
    WriteResponseFile(QFile::encodeName(path).toStdString(), contents);
  } catch (const std::runtime_error& e) {
    messages_.ShowMessage("Save File Error", e.what(), MessageIcon::Error);
  }
}

void ResponsePanel::PaintOnPage(QPainter& painter, const QRect& area, const TEqualizerDocument& doc,
                                const QString& name) const {
  const ResponseModel& model = DefaultResponseModel();
  ResponsePictureOptions options = PictureOptions(area.width() / double(kDesignScreenWidth));
  // The page shows the window's curve alone.
  options.overlay = nullptr;
  const ResponseCurve curve = ComputeResponse(model, doc, drawnHz_, options.bands);
  PaintResponse(painter, LayoutResponse(QRectF(area), &curve, name, options), &curve, options);
}
