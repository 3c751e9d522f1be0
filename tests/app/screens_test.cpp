// The program on the screens people have: run once per offscreen screen
// configuration (800 by 600 up to 3840 by 2160, with and without Qt's own
// scaling). Each run checks what must hold on every screen: the form looks
// like the design, larger; nothing is hidden, cut off or out of reach.
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPaintEngine>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <cmath>
#include <functional>
#include <memory>

#include "app/AboutBox.h"
#include "app/BusWindow.h"
#include "app/ComPortDlg.h"
#include "app/ComSelectForm.h"
#include "app/FormSupport.h"
#include "app/LinkJoinDlg.h"
#include "app/LinkWindowsDlg.h"
#include "app/OptionsDlg.h"
#include "app/QtOperatorMessages.h"
#include "app/ResponsePanel.h"
#include "app/ScanBusDlg.h"
#include "app/SnapshotOptionsDlg.h"
#include "app/TApplication.h"
#include "app/TargetDlg.h"
#include "app/VarloProgram.h"
#include "controls/ApplicationHint.h"
#include "controls/FittedText.h"
#include "controls/TzkTrackBar.h"
#include "controls/TzkTrackBarAccessible.h"
#include "controls/zkScale.h"
#include "eqwindow/TMDIChild.h"
#include "testsupport/OnNextModal.h"
#include "testsupport/RecordingOperatorMessages.h"
#include "testsupport/TempDir.h"

namespace {
QString Name(const QWidget* w) { return w->objectName(); }

// The rectangle of w in the coordinates of `in`, one of its ancestors.
QRect RectIn(const QWidget& w, const QWidget& in) {
  return QRect(w.mapTo(&in, QPoint(0, 0)), w.size());
}

// Whether a stands in front of b, two children of the same parent.
bool InFront(const QWidget& a, const QWidget& b) {
  const QObjectList& order = a.parentWidget()->children();
  return order.indexOf(&a) > order.indexOf(&b);
}

// Saves a picture of w when VARLO_SCREEN_SNAPSHOTS names a folder.
void SaveScreen(QWidget& w, const QString& name) {
  const QString dir = qEnvironmentVariable("VARLO_SCREEN_SNAPSHOTS");
  if (dir.isEmpty()) return;
  const QSize screen = QGuiApplication::primaryScreen()->size();
  w.grab().save(QString("%1/%2x%3-%4.png").arg(dir).arg(screen.width()).arg(screen.height()).arg(name));
}

// A paint device that keeps the texts drawn on it, in order, and draws
// nothing: what a style really drew of a menu item, elided or whole.
class DrawnTexts : public QPaintDevice, QPaintEngine {
 public:
  explicit DrawnTexts(const QWidget& like) : like_(like) {}
  QString text;

  QPaintEngine* paintEngine() const override { return const_cast<DrawnTexts*>(this); }
  bool begin(QPaintDevice*) override { return true; }
  bool end() override { return true; }
  void updateState(const QPaintEngineState&) override {}
  void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
  void drawPath(const QPainterPath&) override {}
  void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
  void drawTextItem(const QPointF&, const QTextItem& item) override { text += item.text(); }
  QPaintEngine::Type type() const override { return QPaintEngine::User; }

 protected:
  // The widget's own metrics, so that fonts come out as on the screen.
  int metric(PaintDeviceMetric m) const override {
    switch (m) {
      case PdmWidth: return like_.width();
      case PdmHeight: return like_.height();
      case PdmWidthMM: return like_.widthMM();
      case PdmHeightMM: return like_.heightMM();
      case PdmDpiX: case PdmPhysicalDpiX: return like_.logicalDpiX();
      case PdmDpiY: case PdmPhysicalDpiY: return like_.logicalDpiY();
      case PdmDevicePixelRatio: return 1;
      case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
      case PdmDepth: return 32;
      default: return QPaintDevice::metric(m);
    }
  }

 private:
  const QWidget& like_;
};

// A menu item's text as drawn: without its mnemonic marks and shortcut.
QString ItemText(const QAction& a) {
  QString text = a.text().section('\t', 0, 0);
  text.replace("&&", QChar(1)).remove('&').replace(QChar(1), "&");
  return text;
}
}  // namespace

class ScreensTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TempDir> dir;
  std::unique_ptr<RecordingOperatorMessages> messages;
  std::unique_ptr<VarloProgram> program;
  ScreenMetrics screen;
  FormScale scale;

  TMainForm& Frame() { return program->MainForm(); }

  void Start(const std::string& ini) {
    WriteText(*dir / "Varlo95.ini", ini);
    program = std::make_unique<VarloProgram>(*messages, *messages, dir->Path());
    Frame().EqualizerWindowFactory = [](TMainForm& f) { return new TMDIChild(f); };
    Frame().ShowFrame();
    QVERIFY(QTest::qWaitForWindowExposed(&Frame()));
  }
  // The frame stretched over the screen, as people work with it.
  void StartStretched(int tileOptions = 0) {
    Start("[Workspace Size]\nWindowState=2\n[Scaling]\nTileOptions=" +
          std::to_string(tileOptions) + "\n");
  }
  TMDIChild* NewWindow() {
    Frame().FileNewItemClick();
    auto* w = static_cast<TMDIChild*>(Frame().ActiveEqualizerWidget());
    QTest::qWait(20);
    return w;
  }
  static QMdiSubWindow* Sub(TMDIChild& w) { return qobject_cast<QMdiSubWindow*>(w.parentWidget()); }

  static QList<QWidget*> HeaderRow(TMDIChild& w) {
    return QList<QWidget*>{w.AddressLabel, w.CBAddress, w.EBORBName, w.SEPresetNumber,
                           w.CBPresetName, w.CBHighPass, w.CBLowPass, w.Mute, w.Lock, w.Bypass};
  }

  // The part of the window's client area the operator sees.
  static QRect Visible(TMDIChild& w) {
    return QRect(0, 0, w.width(), w.HorzScrollBar->isVisible() ? w.HorzScrollBar->y() : w.height());
  }

 private slots:
  void initTestCase() {
    static TempDir config;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Path()));
    screen = ScreenMetrics::Primary();
    scale = ApplicationScale(screen);
    qInfo("screen %dx%d at %d dpi, device pixel ratio %.2f", screen.width, screen.height,
          screen.pixelsPerInch, QGuiApplication::primaryScreen()->devicePixelRatio());
  }
  void init() {
    dir = std::make_unique<TempDir>();
    messages = std::make_unique<RecordingOperatorMessages>();
    static_cast<TApplication*>(qApp)->SetExceptionDisplay(messages.get());
  }
  void cleanup() {
    program.reset();
    static_cast<TApplication*>(qApp)->SetExceptionDisplay(nullptr);
  }

  void everythingGrowsByTheSameFactor() {
    StartStretched();
    QCOMPARE(ScaleOf(Frame()), scale);
    TMDIChild* w = NewWindow();
    QCOMPARE(ScaleOf(*w), scale);
    const QSize design(scale.Of(TMDIChild::kDesignClientWidth), scale.Of(TMDIChild::kDesignClientHeight));
    QCOMPARE(w->sizeHint(), design);
    // Shown at that size, as far as the workspace above the response panel
    // reaches: on a screen of 16:9 a new window is a little lower.
    QCOMPARE(w->width(), design.width());
    const int room = Frame().MdiArea->viewport()->height() - (Sub(*w)->height() - w->height());
    QCOMPARE(w->height(), std::min(design.height(), room));
    // Tool bar images, sliders, the application's own font.
    QCOMPARE(Frame().OpenBtn->iconSize(), QSize(scale.Of(16), scale.Of(16)));
    // Drawn for the screen's device pixels, not stretched from a smaller
    // picture.
    const qreal ratio = Frame().devicePixelRatioF();
    const QPixmap shown = Frame().OpenBtn->icon().pixmap(Frame().OpenBtn->iconSize(), ratio);
    QCOMPARE(shown.size(), Frame().OpenBtn->iconSize() * ratio);
    for (TzkTrackBar* bar : w->TrackBars) QCOMPARE(bar->Scale(), scale.Factor());
    QCOMPARE(w->TrackBars[5]->ThumbLength(), std::max(1, int(8 * scale.Factor() + 0.5)));
    const int designAppFont = QFontInfo(w->font()).pixelSize();  // 11 px, scaled
    QCOMPARE(designAppFont, scale.Of(11));
    QMenu menu;
    QVERIFY(QFontInfo(menu.font()).pixelSize() >= scale.Of(11));
    // The windows carry the program's icon, not the toolkit's.
    QVERIFY(!QApplication::windowIcon().isNull());
    QCOMPARE(Sub(*w)->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
    SaveScreen(Frame(), "frame");
  }

  void headerRowStaysClearOfTheSliders() {
    StartStretched();
    TMDIChild* w = NewWindow();
    const QList<QWidget*> header = HeaderRow(*w);
    for (int i = 0; i < header.size(); ++i)
      for (int j = i + 1; j < header.size(); ++j)
        QVERIFY2(!header[i]->geometry().intersects(header[j]->geometry()),
                 qPrintable(Name(header[i]) + " overlaps " + Name(header[j])));
    for (QWidget* h : header)
      for (TzkTrackBar* bar : w->TrackBars) {
        const QRect overlap = h->geometry() & bar->geometry();
        if (overlap.isEmpty()) continue;
        // Only the slider's empty margin above the thumb's highest place,
        // and the header control stands in front of it.
        QVERIFY2(overlap.bottom() < bar->y() + bar->EdgeMargin(),
                 qPrintable(Name(h) + " reaches into " + Name(bar)));
        QVERIFY2(InFront(*h, *bar), qPrintable(Name(h) + " is behind " + Name(bar)));
      }
    // The captions are not cut.
    QVERIFY(w->AddressLabel->width() >= w->AddressLabel->fontMetrics().horizontalAdvance("Addr"));
    for (QCheckBox* box : {w->Mute, w->Lock, w->Bypass}) {
      QStyleOptionButton option;
      option.initFrom(box);
      option.text = box->text();
      const QRect text = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
      QVERIFY2(text.width() >= box->fontMetrics().horizontalAdvance(box->text()),
               qPrintable(QString("%1: %2 of %3 at %4")
                              .arg(Name(box))
                              .arg(text.width())
                              .arg(box->fontMetrics().horizontalAdvance(box->text()))
                              .arg(box->width())));
    }
    // Every slider stands inside the window, below the header row.
    for (TzkTrackBar* bar : w->TrackBars) {
      QVERIFY2(Visible(*w).contains(RectIn(*bar, *w)), qPrintable(Name(bar)));
      QVERIFY(bar->height() > 0);
      QCOMPARE(bar->y(), scale.Of(25));
    }
    // A linked window's group and state, right of the status panels and
    // whole inside the window.
    w->ShowLink("Group 12: clamped (29 bands)", QColor(0xFF, 0xE0, 0x99), true);
    QVERIFY(Visible(*w).contains(RectIn(*w->LinkPanel, *w)));
    QVERIFY(!RectIn(*w->LinkPanel, *w).intersects(RectIn(*w->Panels[12], *w)));
    // Whole, squeezed no more than a status panel's text may be.
    auto* link = static_cast<StatusPanel*>(w->LinkPanel);
    const int natural = link->fontMetrics().horizontalAdvance(link->text());
    QVERIFY2(natural * kMinTextSqueeze <= link->TextRect().width(),
             qPrintable(QString("%1 of %2").arg(link->TextRect().width()).arg(natural)));
    SaveScreen(*w, "window");
  }

  void statusPanelsShowTheirTexts() {
    StartStretched();
    TMDIChild* w = NewWindow();
    QCOMPARE(w->StatusBar1->width(), w->width());
    for (QLabel* panel : w->Panels)
      QVERIFY2(Visible(*w).contains(RectIn(*panel, *w)), qPrintable(Name(panel)));
    // The longest texts the panels show in full: frequencies, levels, the
    // captions and the tool bar's hints.
    auto* panel = static_cast<StatusPanel*>(w->Panels[1]);
    for (const char* text : {"1.25 kHz", "12.5 kHz", "31.5 Hz", "-11.5", "Address", "Range",
                             "Com Setup", "20 kHz", "OUT"}) {
      const int natural = panel->fontMetrics().horizontalAdvance(text);
      QVERIFY2(TextSqueeze(natural, panel->TextRect().width()) > kMinTextSqueeze, text);
    }
  }

  void windowCreatedSmallThenWidened() {
    StartStretched();
    TMDIChild* w = NewWindow();
    QMdiSubWindow* sub = Sub(*w);
    sub->resize(sub->width() / 3, sub->height());
    QTest::qWait(20);
    // Narrower than its controls: the client area scrolls.
    QVERIFY(w->HorzScrollBar->isVisible());
    QVERIFY(w->HorzScrollBar->maximum() > 0);
    w->HorzScrollBar->setValue(w->HorzScrollBar->maximum());
    for (QWidget* c : {static_cast<QWidget*>(w->TrackBars[29]), static_cast<QWidget*>(w->Bypass),
                       static_cast<QWidget*>(w->Panels[12])})
      QVERIFY2(Visible(*w).contains(RectIn(*c, *w)), qPrintable(Name(c)));
    // A control that takes the focus comes into view.
    w->HorzScrollBar->setValue(w->HorzScrollBar->maximum());
    w->TrackBars[1]->setFocus();
    QTRY_VERIFY(Visible(*w).contains(RectIn(*w->TrackBars[1], *w)));
    w->TrackBars[29]->setFocus();
    QTRY_VERIFY(Visible(*w).contains(RectIn(*w->TrackBars[29], *w)));
    SaveScreen(*sub, "narrow-window");

    // Widened over the workspace: no scroll bar, the status bar as wide as
    // the window, its panels all in view.
    sub->resize(Frame().MdiArea->viewport()->width(), sub->height());
    QTest::qWait(20);
    QVERIFY(!w->HorzScrollBar->isVisible());
    QCOMPARE(w->ClientArea->x(), 0);
    QCOMPARE(w->StatusBar1->width(), w->width());
    for (QLabel* panel : w->Panels) QVERIFY(Visible(*w).contains(RectIn(*panel, *w)));
    // The sliders fill the height between the header row and the status bar.
    QCOMPARE(w->TrackBars[0]->y() + w->TrackBars[0]->height(), w->StatusBar1->y());
  }

  void tiledWindowKeepsItsColumnWidthAndItsStatusBar() {
    StartStretched(1);
    TMDIChild* w = NewWindow();
    // Alone, the window snaps to the workspace's width; its status bar
    // follows.
    const int column = Frame().MdiArea->viewport()->width();
    QTRY_COMPARE(Sub(*w)->width(), column);
    QTRY_COMPARE(w->StatusBar1->width(), w->width());
    Sub(*w)->resize(column / 2, Sub(*w)->height());
    QTRY_COMPARE(Sub(*w)->width(), column);
    QTRY_COMPARE(w->StatusBar1->width(), w->width());
  }

  void fourTiledWindowsStayInTheWorkspace() {
    StartStretched(1);
    QList<TMDIChild*> windows;
    for (int i = 0; i < 4; ++i) windows << NewWindow();
    Frame().WindowTileItemClick();
    QTest::qWait(50);
    QWidget& area = *Frame().MdiArea->viewport();
    for (TMDIChild* w : windows)
      QVERIFY2(
          area.rect().contains(Sub(*w)->geometry()),
          qPrintable(
              QString("%1 at %2,%3").arg(w->windowTitle()).arg(Sub(*w)->x()).arg(Sub(*w)->y())));
    SaveScreen(Frame(), "four-tiled");
    // One left beyond the workspace comes into view when chosen from the
    // Window menu.
    TMDIChild& away = *windows[0];
    Sub(away)->move(area.width() + scale.Of(40), scale.Of(10));
    emit Frame().WindowMenu->aboutToShow();
    QAction* item = nullptr;
    for (QAction* a : Frame().WindowMenu->actions())
      if (a->text().endsWith(away.windowTitle())) item = a;
    QVERIFY(item);
    item->trigger();
    QTRY_VERIFY(area.rect().contains(Sub(away)->geometry()));
  }

  void questionsAboutManyDevicesFitTheScreen() {
    StartStretched();
    // Eight devices, their stored presets and both safes.
    LoadedSnapshot loaded;
    for (int address = 1; address <= 8; ++address) {
      SnapshotDevice d;
      d.address = address;
      d.deviceName = "FRONT OF HOUSE " + std::to_string(address);
      d.currentPreset = address;
      d.working = SnapshotWorking{};
      d.working->presetName = "EVENING SHOW " + std::to_string(address);
      loaded.snapshot.devices.push_back(d);
      loaded.sets[address] = LoadedBackup{};
    }
    SnapshotRecall::Options options;
    options.presets = options.names = options.muteBypass = true;
    const std::string question = BusWindow::RecallQuestion(
        "/home/operator/snapshots/2026-12-10 evening show", loaded, options);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    // Measured, then answered: a failed check must not leave the box open.
    bool seen = false;
    QRect frame;
    QStringList outside;
    QString shown;
    OnNextModal([&](QWidget* d) {
      seen = true;
      frame = d->frameGeometry();
      auto* box = qobject_cast<QMessageBox*>(d);
      for (QWidget* c : d->findChildren<QWidget*>())
        if (c->isVisibleTo(d) && (c->parentWidget() == d || qobject_cast<QAbstractButton*>(c)) &&
            !d->rect().contains(RectIn(*c, *d)))
          outside << c->metaObject()->className();
      shown = box->text();
      for (QTextEdit* e : d->findChildren<QTextEdit*>())
        if (e->isVisibleTo(d)) shown += e->toPlainText();
      SaveScreen(*d, "recall-question");
      box->button(QMessageBox::No)->click();
    });
    QtOperatorMessages(&Frame()).AskYesNo("Recall Snapshot", question, MessageIcon::Warning);
    QVERIFY2(available.contains(frame), qPrintable(QString("%1 high at %2").arg(frame.height()).arg(frame.y())));
    QVERIFY2(outside.isEmpty(), qPrintable(outside.join(", ")));
    // Every device's line there to read.
    for (int address = 1; address <= 8; ++address)
      QVERIFY2(shown.contains(QString("address %1:").arg(address)), qPrintable(shown));
    QVERIFY(seen);
  }

  // Whether c is whole in view: inside the visible part of its window,
  // and inside the workspace.
  bool WholeInView(QWidget& c, TMDIChild& w) {
    QWidget& area = *Frame().MdiArea->viewport();
    return Visible(w).contains(RectIn(c, w)) &&
           area.rect().contains(QRect(c.mapTo(&area, QPoint()), c.size()));
  }

  void frameNarrowerThanTheScreen() {
    // The first start's frame, windows tiled two to a column.
    Start("[Scaling]\nTileOptions=1\n[Bus]\nDevice 1=FRONT OF HOUSE LEFT\nDevice 2=DELAY TOWER 2\n");
    QVERIFY(Frame().width() < screen.width);
    TMDIChild* w = NewWindow();
    w->ShowLink("Group 1: following", QColor(0xFF, 0xE0, 0x99), false);
    QTest::qWait(50);
    for (QLabel* panel : w->Panels) QVERIFY2(WholeInView(*panel, *w), qPrintable(Name(panel)));
    QVERIFY(WholeInView(*w->LinkPanel, *w));
    auto* link = static_cast<StatusPanel*>(w->LinkPanel);
    const int natural = link->fontMetrics().horizontalAdvance(link->text());
    QVERIFY2(TextSqueeze(natural, link->TextRect().width()) > kMinTextSqueeze,
             qPrintable(QString("%1 of %2").arg(link->TextRect().width()).arg(natural)));
    SaveScreen(Frame(), "narrow-frame-window");

    // The Bus table's cells whole, their longest texts too.
    Frame().WindowBusItem->trigger();
    BusWindow* bus = Frame().Bus();
    QVERIFY(bus);
    Frame().Units()->SetGroups({{1, {"Group 1", "clamped (29 bands)"}}, {2, {"Group 2", "clamped (29 bands)"}}});
    Frame().Units()->SetSnapshot(1, "modified since recalled", {});
    QTest::qWait(20);
    QTableWidget& table = *bus->Table;
    const int margins =
        2 * (table.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &table) + 1);
    for (int row = 0; row < table.rowCount(); ++row)
      for (int c = 0; c < BusWindow::ColumnCount; ++c) {
        const QString text = table.item(row, c)->text();
        QVERIFY2(table.visualRect(table.model()->index(row, c)).width() >=
                     table.fontMetrics().horizontalAdvance(text) + margins,
                 qPrintable(text));
      }
    SaveScreen(Frame(), "narrow-frame-bus");
  }

  void tilingAllOnScreenLeavesNoGapForMinimizedWindows() {
    StartStretched(0);
    TMDIChild* a = NewWindow();
    TMDIChild* b = NewWindow();
    TMDIChild* c = NewWindow();
    Sub(*b)->showMinimized();
    QTest::qWait(20);
    Frame().WindowTileItemClick();
    QTest::qWait(20);
    const int area = Frame().MdiArea->viewport()->height();
    const QRect first = Sub(*a)->geometry(), last = Sub(*c)->geometry();
    QCOMPARE(first.top(), 0);
    QCOMPARE(last.top(), first.bottom() + 1);
    QCOMPARE(last.bottom(), area - 1);
    QVERIFY(Sub(*b)->isMinimized());
  }

  void addressListOpensTenRows() {
    StartStretched();
    TMDIChild* w = NewWindow();
    w->CBAddress->showPopup();
    QAbstractItemView* view = w->CBAddress->view();
    QTRY_VERIFY(view->isVisible());
    const int row = view->sizeHintForRow(0);
    QVERIFY(row > 0);
    QVERIFY2(view->height() <= 11 * row, qPrintable(QString("%1 rows").arg(view->height() / row)));
    QVERIFY(view->window()->frameGeometry().bottom() < screen.height);
    w->CBAddress->hidePopup();
  }

  void firstFrameShowsItsWholeToolBar() {
    Start("");
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(available.contains(Frame().frameGeometry()),
             qPrintable(QString("frame %1,%2 %3x%4")
                            .arg(Frame().x()).arg(Frame().y()).arg(Frame().width()).arg(Frame().height())));
    for (QToolButton* b : {Frame().SpeedButton1, Frame().OpenBtn, Frame().SaveBtn,
                           Frame().SBPrintBtn, Frame().CopyBtn, Frame().PasteBtn,
                           Frame().SBFlatBtn, Frame().SBTileBtn, Frame().SBComSetup})
      QVERIFY2(Frame().rect().contains(RectIn(*b, Frame())), qPrintable(Name(b)));
    // A frame of the design's size and place, grown with it, where it fits.
    const QSize design(scale.Of(600), scale.Of(411));
    if (available.contains(QRect(QPoint(scale.Of(100), scale.Of(100)), design)))
      QCOMPARE(Frame().frameGeometry(), QRect(QPoint(scale.Of(100), scale.Of(100)), design));
    SaveScreen(Frame(), "first-frame");
  }

  // The response panel along the frame's bottom: its picture's texts all
  // inside it, none over another, grown with the screen; the readout whole.
  void CheckResponsePanel(const QString& snapshot) {
    ResponsePanel& panel = *Frame().Response;
    QTest::qWait(50);  // the panel draws the changes once the event loop runs
    QVERIFY(panel.HasCurve());
    QVERIFY(panel.isVisible());
    QVERIFY2(Frame().rect().contains(RectIn(*Frame().ResponseDock, Frame())),
             qPrintable(QString("dock at %1,%2").arg(Frame().ResponseDock->y()).arg(Frame().ResponseDock->height())));
    QVERIFY(Frame().ResponseDock->y() >= RectIn(*Frame().MdiArea, Frame()).bottom());
    const ResponseLayout layout = panel.ChartLayout();
    QCOMPARE(layout.font.pixelSize(), std::max(1, int(std::lround(11 * scale.Factor()))));
    const QRectF chart(panel.Chart->rect());
    QVERIFY(chart.contains(layout.plot));
    QVERIFY(layout.plot.height() >= scale.Of(20));
    for (size_t i = 0; i < layout.labels.size(); ++i) {
      const PictureLabel& a = layout.labels[i];
      QVERIFY2(chart.contains(a.box), qPrintable(a.text + " leaves the picture"));
      // Each label as wide as its text.
      QVERIFY2(a.box.width() + 0.5 >= QFontMetricsF(layout.font).horizontalAdvance(a.text),
               qPrintable(a.text + " is cut"));
      for (size_t j = i + 1; j < layout.labels.size(); ++j)
        QVERIFY2(!a.box.intersects(layout.labels[j].box),
                 qPrintable(a.text + " overlaps " + layout.labels[j].text));
    }
    // Both ends of the level axis carry their labels, and 0 dB between
    // them where it has room.
    QStringList texts;
    for (const PictureLabel& l : layout.labels) texts << l.text;
    for (double end : {layout.axes.topDb, layout.axes.bottomDb})
      QVERIFY2(texts.contains(QString::fromStdString(DbGridLabel(end))), qPrintable(texts.join(" ")));
    auto* readout = static_cast<StatusPanel*>(panel.Readout);
    QVERIFY(panel.rect().contains(RectIn(*readout, panel)));
    const int natural = readout->fontMetrics().horizontalAdvance(readout->text());
    QVERIFY2(TextSqueeze(natural, readout->TextRect().width()) > kMinTextSqueeze,
             qPrintable(readout->text()));
    SaveScreen(Frame(), snapshot);
  }

  void responsePanelShowsItsWholePicture() {
    StartStretched();
    TMDIChild* w = NewWindow();
    w->SliderOfSlot(17)->SetPosition(24);
    w->SliderOfSlot(18)->SetPosition(24);
    w->CBHighPass->setCurrentIndex(21);
    w->CBLowPass->setCurrentIndex(0);
    QCOMPARE(Frame().ResponseDock->height(), scale.Of(ResponsePanel::kDesignHeight));
    CheckResponsePanel("frame-response");
    // Every band labelled where the screen gives the room.
    int bandLabels = 0;
    for (const PictureLabel& l : Frame().Response->ChartLayout().labels)
      bandLabels += l.text == "1k" || l.text == "1.25k" || l.text == "16k" || l.text == "25";
    QVERIFY(bandLabels >= 3);
  }

  void responsePanelInASmallFrame() {
    Start("");
    TMDIChild* w = NewWindow();
    w->SliderOfSlot(5)->SetPosition(-24);
    Frame().resize(scale.Of(400), scale.Of(260));
    QTest::qWait(50);
    CheckResponsePanel("small-frame-response");
  }

  void responsePanelLowAndTall() {
    StartStretched();
    TMDIChild* w = NewWindow();
    w->SliderOfSlot(17)->SetPosition(12);
    w->CBHighPass->setCurrentIndex(15);
    w->CBHighPassChange();
    for (int height : {80, 2 * ResponsePanel::kDesignHeight}) {
      Frame().resizeDocks({Frame().ResponseDock}, {scale.Of(height)}, Qt::Vertical);
      // The frame lays its workspace out when it is resized itself.
      QResizeEvent resized(Frame().size(), Frame().size());
      QApplication::sendEvent(&Frame(), &resized);
      QTest::qWait(50);
      CheckResponsePanel(QString("response-%1").arg(height));
    }
    // Tall, the level labels between the ends stand evenly apart.
    std::vector<double> levels;
    const ResponseLayout layout = Frame().Response->ChartLayout();
    for (const PictureLabel& l : layout.labels)
      if (l.box.right() < layout.plot.left() && l.text != "dB" && l.text != "Hz") levels.push_back(l.text.toDouble());
    QVERIFY(levels.size() >= 5);
    for (size_t i = 2; i + 2 < levels.size(); ++i) QCOMPARE(levels[i] - levels[i + 1], levels[1] - levels[2]);
  }

  // A measurement in the window: the legend's lines and names inside the
  // picture and clear of every other text, the readout at the pointer whole.
  void CheckMeasurementDrawn(TMDIChild& w, const QString& snapshot) {
    Measurement room;
    for (double hz = 20; hz <= 20000; hz *= 1.02) {
      room.hz.push_back(hz);
      room.db.push_back(80 + 8 * std::sin(std::log2(hz)));
    }
    w.Measured.Load(room, "a-rather-long-measurement-file-name.txt");
    w.SetTarget(TargetCurve::XCurve());
    CheckResponsePanel(snapshot);
    ResponsePanel& panel = *Frame().Response;
    const ResponseLayout layout = panel.ChartLayout();
    QCOMPARE(layout.legend.size(), size_t(4));
    for (const ResponseLayout::LegendMark& mark : layout.legend) {
      QVERIFY(layout.area.contains(mark.line.p1()) && layout.area.contains(mark.line.p2()));
      for (const PictureLabel& l : layout.labels) QVERIFY2(!l.box.contains(mark.line.center()), qPrintable(l.text));
    }
    QTest::mouseMove(panel.Chart, layout.plot.center().toPoint());
    auto* readout = static_cast<StatusPanel*>(panel.Readout);
    QVERIFY2(readout->text().contains("predicted"), qPrintable(readout->text()));
    const int natural = readout->fontMetrics().horizontalAdvance(readout->text());
    QVERIFY2(TextSqueeze(natural, readout->TextRect().width()) > kMinTextSqueeze, qPrintable(readout->text()));
    SaveScreen(Frame(), snapshot + "-pointer");
  }

  void responsePanelWithAMeasurement() {
    StartStretched();
    CheckMeasurementDrawn(*NewWindow(), "frame-measurement");
  }

  void responsePanelWithAMeasurementInASmallFrame() {
    Start("");
    TMDIChild* w = NewWindow();
    Frame().resize(scale.Of(400), scale.Of(260));
    QTest::qWait(50);
    CheckMeasurementDrawn(*w, "small-frame-measurement");
  }

  void busWindowShowsItsControlsWhole() {
    StartStretched();
    Frame().WindowBusItem->trigger();
    BusWindow* bus = Frame().Bus();
    QVERIFY(bus);
    QTest::qWait(20);
    QCOMPARE(ScaleOf(*bus), scale);
    const QList<QPushButton*> buttons = {bus->ScanBtn,   bus->BackUpBtn,          bus->RestoreBtn,
                                         bus->CompareBtn, bus->StopBtn,           bus->CaptureBtn,
                                         bus->SnapshotCompareBtn, bus->RecallBtn, bus->DifferencesBtn};
    for (QWidget* c : QList<QWidget*>{bus->Progress, bus->Table, bus->StatusLabel} + QList<QWidget*>(buttons.begin(), buttons.end())) {
      QVERIFY2(bus->rect().contains(RectIn(*c, *bus)), qPrintable(c->accessibleName()));
      QVERIFY(!c->accessibleName().isEmpty());
    }
    for (QPushButton* b : buttons) {
      QVERIFY2(!RectIn(*b, *bus).intersects(RectIn(*bus->Table, *bus)), qPrintable(b->text()));
      for (QPushButton* other : buttons)
        QVERIFY2(b == other || !RectIn(*b, *bus).intersects(RectIn(*other, *bus)), qPrintable(b->text()));
      QVERIFY2(b->width() > b->fontMetrics().horizontalAdvance(b->text().remove('&')), qPrintable(b->text()));
    }
    // Every column's title whole.
    for (int c = 0; c < BusWindow::ColumnCount - 1; ++c) {
      const QString title = bus->Table->horizontalHeaderItem(c)->text();
      QVERIFY2(bus->Table->columnWidth(c) >= bus->Table->horizontalHeader()->fontMetrics().horizontalAdvance(title),
               qPrintable(title));
    }
    SaveScreen(Frame(), "bus");
  }

  void tiledWindowsKeepTheirScaleLabels() {
    StartStretched(0);
    NewWindow();
    NewWindow();
    Frame().WindowTileItemClick();
    QTest::qWait(50);
    SaveScreen(Frame(), "two-tiled");
  }

  void dialogsKeepTheirButtonsOnScreen() {
    StartStretched();
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QList<QDialog*> dialogs = {program->Objects.OptionsDlg, program->Objects.AboutBox,
                               program->Objects.ComPortDlg};
    TComSelectForm select({1, 2, 3});
    dialogs.append(&select);
    TScanBusDlg scanBus;
    dialogs.append(&scanBus);
    TSnapshotOptionsDlg recall(TSnapshotOptionsDlg::Recall, true);
    dialogs.append(&recall);
    TTargetDlg target(*messages);
    target.RadioGroup1->SetItemIndex(TTargetDlg::HouseItem);
    dialogs.append(&target);
    TLinkWindowsDlg link;
    link.AddWindow("FRONT OF HOUSE LEFT STACK.V95", 240, true);
    link.AddWindow("Untitled2", 3, false);
    dialogs.append(&link);
    for (QDialog* d : dialogs) {
      d->show();
      QVERIFY(QTest::qWaitForWindowExposed(d));
      QVERIFY2(available.contains(d->frameGeometry()), qPrintable(d->windowTitle()));
      const QList<QPushButton*> buttons = d->findChildren<QPushButton*>();
      QVERIFY(!buttons.isEmpty());
      for (QPushButton* b : buttons)
        QVERIFY2(d->rect().contains(RectIn(*b, *d)),
                 qPrintable(d->windowTitle() + ": " + b->text()));
      // Every control inside the dialog.
      for (QWidget* c : d->findChildren<QWidget*>())
        if (c->isVisibleTo(d) && c->parentWidget() == d)
          QVERIFY2(d->rect().contains(RectIn(*c, *d)),
                   qPrintable(d->windowTitle() + ": " + c->metaObject()->className()));
      SaveScreen(*d, d->windowTitle().replace(' ', '-'));
      d->hide();
    }
  }

  // The Link Windows question with four windows (a long caption among
  // them): every choice a row of its own and whole, nothing overlapping.
  void linkQuestionShowsEveryChoiceWhole() {
    StartStretched();
    QStringList answers{"Keep Differences"};
    for (const char* w : {"NONAME1 (address 1)", "NONAME2 (address 2)", "NONAME3 (address 3)",
                             "FRONT OF HOUSE LEFT STACK.V95 (address 240)"})
      answers << QString("Copy from ") + w;
    TLinkJoinDlg d("The windows' curves differ. Keep the differences as each window's offsets, or "
                   "copy one window's curve to the others?",
                   QString("NONAME2 (address 2) differs from NONAME1 (address 1):\n").repeated(3),
                   answers, &Frame());
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(d.frameGeometry()));
    const QList<QWidget*> controls = {d.QuestionLabel, d.ChoicesLabel, d.ChoiceList, d.DetailsLabel,
                                      d.DetailsBox,    d.OKBtn,        d.CancelBtn};
    for (QWidget* c : controls) {
      QVERIFY2(d.rect().contains(RectIn(*c, d)), qPrintable(c->accessibleName()));
      for (QWidget* other : controls)
        QVERIFY2(c == other || !RectIn(*c, d).intersects(RectIn(*other, d)),
                 qPrintable(c->accessibleName() + " over " + other->accessibleName()));
    }
    for (QPushButton* b : {d.OKBtn, d.CancelBtn})
      QVERIFY2(b->width() > b->fontMetrics().horizontalAdvance(b->text()), qPrintable(b->text()));
    QVERIFY(d.QuestionLabel->heightForWidth(d.QuestionLabel->width()) <= d.QuestionLabel->height());
    for (int row = 0; row < d.ChoiceList->count(); ++row) {
      const QRect shown = d.ChoiceList->visualItemRect(d.ChoiceList->item(row));
      const QString text = d.ChoiceList->item(row)->text();
      QVERIFY2(d.ChoiceList->viewport()->rect().contains(shown), qPrintable(text));
      QVERIFY2(shown.width() > d.ChoiceList->fontMetrics().horizontalAdvance(text), qPrintable(text));
    }
    SaveScreen(d, "Link-Windows-question");
  }

  void menusShowEveryItemWhole() {
    StartStretched();
    NewWindow();  // its File, Edit, Window and Help menus merged in
    const QList<QAction*> titles = Frame().menuBar()->actions();
    QVERIFY(titles.size() >= 4);
    for (QAction* title : titles) {
      QMenu* menu = title->menu();
      if (!menu) continue;
      menu->popup(Frame().mapToGlobal(QPoint(0, 0)));
      QVERIFY(QTest::qWaitForWindowExposed(menu));
      DrawnTexts drawn(*menu);
      menu->render(&drawn);
      const QString where = ItemText(*title) + ": " + drawn.text;
      // No item cut short (an ellipsis of an item's own text aside).
      QString cut = drawn.text;
      for (QAction* a : menu->actions()) cut.remove(ItemText(*a));
      QVERIFY2(!cut.contains(QChar(0x2026)), qPrintable(where));
      for (QAction* a : menu->actions())
        if (a->isVisible() && !a->isSeparator())
          QVERIFY2(drawn.text.contains(ItemText(*a)), qPrintable(where));
      SaveScreen(*menu, "menu-" + ItemText(*title));
      menu->hide();
    }
  }

  // Qt's own file, print and page dialogs as the program opens them: on
  // the screen, their buttons, labels and list boxes inside them and as
  // wide as their texts need.
  void CheckToolkitDialog(QWidget& d, const QString& name) {
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(available.contains(d.frameGeometry()),
             qPrintable(QString("%1 at %2,%3 %4x%5").arg(name).arg(d.x()).arg(d.y())
                            .arg(d.width()).arg(d.height())));
    for (QWidget* c : d.findChildren<QWidget*>()) {
      auto* button = qobject_cast<QAbstractButton*>(c);
      auto* label = qobject_cast<QLabel*>(c);
      auto* box = qobject_cast<QComboBox*>(c);
      const QString text = button ? button->text() : label ? label->text()
                           : box ? box->currentText() : QString();
      if (text.isEmpty() || !c->isVisibleTo(&d)) continue;
      const QString what = QString("%1: %2 \"%3\" %4 wide")
                               .arg(name, c->metaObject()->className(), text)
                               .arg(c->width());
      QVERIFY2(d.rect().contains(RectIn(*c, d)), qPrintable(what + ", leaves the dialog"));
      QVERIFY2(c->width() >= c->sizeHint().width(),
               qPrintable(what + QString(" of %1").arg(c->sizeHint().width())));
      if (box && !box->isEditable()) {
        // The text beside the list box's button and icon, whole.
        QStyleOptionComboBox option;
        option.initFrom(box);
        option.currentText = text;
        const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                         QStyle::SC_ComboBoxEditField, box);
        const bool hasIcon = !box->itemIcon(box->currentIndex()).isNull();
        const int icon = hasIcon ? box->iconSize().width() + 4 : 0;
        QVERIFY2(field.width() - icon >= box->fontMetrics().horizontalAdvance(text),
                 qPrintable(what + QString(", text in %1").arg(field.width() - icon)));
      }
    }
  }

  void toolkitDialogsShowTheirTextsWhole() {
    StartStretched();
    TMDIChild* w = NewWindow();
    // Started in a folder of a short name, the dialogs' folder list shows
    // it whole.
    struct BackAtTheEnd {
      QString folder = QDir::currentPath();
      ~BackAtTheEnd() { QDir::setCurrent(folder); }
    } started;
    QDir::setCurrent(QString::fromStdString(dir->Path()));
    const QList<std::pair<QString, std::function<void()>>> openers = {
        {"open", [this] { Frame().FileOpenItemClick(); }},
        {"save", [w] { w->Save1Click(); }},
        {"save-response", [this] { Frame().Response->SaveAs(); }},
        {"print", [w] { w->PrintEqualizerWindow(); }},
        {"page-setup", [w] { w->PrintSetup1Click(); }}};
    for (const auto& [name, open] : openers) {
      bool seen = false;
      OnNextModal([&, name = name](QWidget* d) {
        seen = true;
        QTest::qWait(20);
        SaveScreen(*d, "dialog-" + name);
        CheckToolkitDialog(*d, name);
        d->close();
      });
      open();
      QVERIFY2(seen, qPrintable(name));
      if (QTest::currentTestFailed()) return;
    }
  }
};

int main(int argc, char** argv) {
  InstallTrackBarAccessibility();
  TApplication app(argc, argv);
  ApplicationHint::Install(app);
  ScreensTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "screens_test.moc"
