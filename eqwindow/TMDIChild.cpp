// The equalizer window's creation: its controls at their design places,
// its menus, the wiring of every handler, the layout that fits the sliders
// to the window's height, the status bar's hint readout and the drawing of
// the sliders' tick marks and scale labels.
#include "eqwindow/TMDIChild.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "controls/ApplicationHint.h"
#include "controls/CaptionFit.h"
#include "controls/FittedText.h"
#include "controls/TzkTrackBar.h"
#include "controls/zkScale.h"
#include "eq/ScaleLabels.h"
#include "eqwindow/TiledPlaces.h"
#include "link/LineQueue.h"
#include "link/TzkPA422Form.h"
#include "settings/ProgramOptions.h"

namespace {
// Design places in the client area (800 by 600 screen at 96 pixels per inch).
constexpr int kSliderTop = 25;
constexpr int kSliderHeight = 241;
constexpr int kStatusBarHeight = 19;
constexpr int kPanelWidth = 50;
// Below the status bar's height, the sliders keep these margins. Like every
// design length they grow with the form: unscaled, the sliders would cover
// the header row on any screen wider than the design's.
constexpr int kTopMargin = 25;
constexpr int kNoStatusBarMargin = 28;
// The scale labels: 7 points at 96 pixels per inch.
constexpr double kScaleLabelPixels = 7 * 96 / 72.0;

// The address list: a drop-down list whose opening the window must know
// about, since only a choice made in the opened list counts.
class AddressComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> OnDropDown;
  void showPopup() override {
    if (OnDropDown) OnDropDown();
    QComboBox::showPopup();
  }
};

// The preset number box: its key releases reach the window's shortcuts,
// and its key presses never travel on to the window (the release does).
class PresetSpinBox : public QSpinBox {
 public:
  using QSpinBox::QSpinBox;
  std::function<void(int key)> OnKeyUp;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    QSpinBox::keyPressEvent(event);
    event->accept();
  }
  void keyReleaseEvent(QKeyEvent* event) override {
    QSpinBox::keyReleaseEvent(event);
    event->accept();
    if (!event->isAutoRepeat() && OnKeyUp) OnKeyUp(event->key());
  }
};

// The two small pictures before the filter boxes: a high-pass and a
// low-pass response curve, drawn in the picture's design grid of 33 by 25
// stretched to its size, so they stay sharp at any scale.
class FilterPicture : public QLabel {
 public:
  FilterPicture(bool highPass, QWidget* parent) : QLabel(parent), highPass_(highPass) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(width() / 33.0, height() / 25.0);
    p.setPen(QPen(palette().color(QPalette::WindowText), 1.5));
    QPainterPath path;
    if (highPass_) {
      path.moveTo(4, 21);
      path.cubicTo(10, 20, 12, 7, 18, 7);
      path.lineTo(29, 7);
    } else {
      path.moveTo(4, 7);
      path.lineTo(15, 7);
      path.cubicTo(21, 7, 23, 20, 29, 21);
    }
    p.drawPath(path);
  }

 private:
  bool highPass_;
};

QLabel* MakePanel(QWidget* bar, int index, const QString& text, bool centred) {
  auto* panel = new StatusPanel(text, bar);
  panel->setObjectName(QString("Panel%1").arg(index));
  panel->setGeometry(index * kPanelWidth, 0, kPanelWidth, kStatusBarHeight);
  panel->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
  if (!text.isEmpty()) panel->setAccessibleName(text);
  return panel;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

TMDIChild::TMDIChild(EqualizerHost& host) : host_(host) {
  setObjectName("TMDIChild");
  QFont design = font();
  design.setPixelSize(11);
  setFont(design);
  resize(kDesignClientWidth, kDesignClientHeight);
  setFocusPolicy(Qt::ClickFocus);
  CreateControls();
  CreateMenus();
  ConnectHandlers();
  ConnectCurveNotifications();
  WatchLine();
  FormCreate();
}

TMDIChild::~TMDIChild() {
  // A hint arriving after the window is gone must not reach it.
  ApplicationHint::Instance().RemoveListener(this);
  // Nothing of the window goes out once it is gone; what runs finishes.
  Line().Withdraw(lineOwner_);
  Line().Unsubscribe(lineEvents_);
}

void TMDIChild::WatchLine() {
  // Kept: the window may go after its frame (as the frame's child), when
  // the frame can no longer be asked; the queue outlives them both.
  line_ = &host_.Line();
  lineOwner_ = Line().NewOwner();
  // A fit waiting for the line runs once a transaction has ended (a
  // moment later: the next may start at once).
  LineEvents events;
  const auto fitLater = [this] {
    if (fitWaiting_) QTimer::singleShot(0, this, [this] { FitWhenLineFree(); });
  };
  events.ended = [this, fitLater](const LineRequest& request, const LineOutcome& outcome) {
    FollowWritesElsewhere(request, outcome);
    fitLater();
  };
  events.idle = [this, fitLater] {
    FollowWritesElsewhere({}, {});
    fitLater();
  };
  lineEvents_ = Line().Subscribe(std::move(events));
}

LineQueue& TMDIChild::Line() const { return *line_; }

TzkPA422Form& TMDIChild::Engine() const { return host_.Engine(); }
OperatorMessages& TMDIChild::Messages() const { return host_.Messages(); }
TProgramOptions& TMDIChild::Options() const { return host_.Options(); }

void TMDIChild::CreateControls() {
  ClientArea = new QWidget(this);
  ClientArea->setObjectName("ClientArea");
  ClientArea->setGeometry(0, 0, kDesignClientWidth, kDesignClientHeight);
  HorzScrollBar = new QScrollBar(Qt::Horizontal, this);
  HorzScrollBar->setObjectName("HorzScrollBar");
  HorzScrollBar->setAccessibleName("Horizontal scroll bar");
  HorzScrollBar->hide();
  connect(HorzScrollBar, &QScrollBar::valueChanged, this, [this] { PlaceClientArea(); });
  CreateHeaderRow(*ClientArea);
  CreateSliders(*ClientArea);
  // The boxes of the header row reach a pixel or two into the sliders'
  // empty top margin: they stand in front, so none of them is hidden.
  for (QWidget* header : std::initializer_list<QWidget*>{
           AddressLabel, CBAddress, EBORBName, SEPresetNumber, CBPresetName, HighPassPicture,
           CBHighPass, LowPassPicture, CBLowPass, Mute, Lock, Bypass})
    header->raise();
  CreateStatusBar(*ClientArea);
}

void TMDIChild::CreateHeaderRow(QWidget& area) {
  AddressLabel = new QLabel("Addr", &area);
  AddressLabel->setObjectName("AddressLabel");
  AddressLabel->setGeometry(8, 8, 24, 14);

  auto* address = new AddressComboBox(&area);
  CBAddress = address;
  CBAddress->setObjectName("CBAddress");
  CBAddress->setGeometry(40, 4, 49, 22);
  for (int a = 0; a <= kMaxAddress; ++a) CBAddress->addItem(Q(AddressText(a)));
  CBAddress->setMaxVisibleItems(10);
  SetHint(*CBAddress, "ORB Address");
  AddressLabel->setBuddy(CBAddress);

  EBORBName = new QLineEdit("ORB Name", &area);
  EBORBName->setObjectName("EBORBName");
  EBORBName->setGeometry(96, 4, 121, 22);
  EBORBName->setAccessibleName("ORB Name");

  auto* preset = new PresetSpinBox(&area);
  SEPresetNumber = preset;
  SEPresetNumber->setObjectName("SEPresetNumber");
  SEPresetNumber->setGeometry(232, 4, 37, 23);
  SEPresetNumber->setRange(1, kPresetCount);
  SEPresetNumber->setValue(1);
  SetHint(*SEPresetNumber, "Preset No.");

  CBPresetName = new QComboBox(&area);
  CBPresetName->setObjectName("CBPresetName");
  CBPresetName->setGeometry(280, 4, 145, 22);
  CBPresetName->setEditable(true);
  CBPresetName->setInsertPolicy(QComboBox::NoInsert);
  CBPresetName->setCompleter(nullptr);
  CBPresetName->setProperty("Tag", kPresetNameSlot);
  SetHint(*CBPresetName, Q(SlotLabel(kPresetNameSlot)));
  CBPresetName->setAccessibleName(Q(SlotLabel(kPresetNameSlot)));

  HighPassPicture = new FilterPicture(true, &area);
  HighPassPicture->setObjectName("HighPassPicture");
  HighPassPicture->setGeometry(428, 4, 33, 25);
  HighPassPicture->setAccessibleName("High pass filter");

  CBHighPass = new QComboBox(&area);
  CBHighPass->setObjectName("CBHighPass");
  CBHighPass->setGeometry(460, 4, 61, 22);
  for (int i = 0; i < kFilterCount; ++i) CBHighPass->addItem(Q(HighPassLabel(i)));
  CBHighPass->setMaxVisibleItems(kFilterCount);
  CBHighPass->setProperty("Tag", kHighPassSlot);
  SetHint(*CBHighPass, Q(HighPassBoxLabel()));

  LowPassPicture = new FilterPicture(false, &area);
  LowPassPicture->setObjectName("LowPassPicture");
  LowPassPicture->setGeometry(528, 4, 33, 25);
  LowPassPicture->setAccessibleName("Low pass filter");

  CBLowPass = new QComboBox(&area);
  CBLowPass->setObjectName("CBLowPass");
  CBLowPass->setGeometry(560, 4, 61, 22);
  for (int i = 0; i < kFilterCount; ++i) CBLowPass->addItem(Q(LowPassLabel(i)));
  CBLowPass->setMaxVisibleItems(kFilterCount);
  CBLowPass->setProperty("Tag", kLowPassSlot);
  SetHint(*CBLowPass, Q(SlotLabel(kLowPassSlot)));

  Mute = new QCheckBox("Mute", &area);
  Mute->setObjectName("Mute");
  Mute->setGeometry(632, 8, 41, 17);
  Lock = new QCheckBox("Lock", &area);
  Lock->setObjectName("Lock");
  Lock->setGeometry(680, 8, 41, 17);
  Bypass = new QCheckBox("Bypass", &area);
  Bypass->setObjectName("Bypass");
  Bypass->setGeometry(728, 8, 57, 17);
}

void TMDIChild::CreateSliders(QWidget& area) {
  for (int slot = 1; slot <= kSliderCount; ++slot) {
    auto* bar = new TzkTrackBar(&area);
    TrackBars[slot - 1] = bar;
    bar->Tag = slot;
    bar->setObjectName(QString("TrackBar%1").arg(slot));
    int left = 0, width = 30;
    if (slot == 1) {
      left = 8;
      width = 49;
    } else if (slot == kGainSlot) {
      left = 728;
    } else {
      left = 40 + 24 * (slot - 2);
    }
    bar->setGeometry(left, kSliderTop, width, kSliderHeight);
    bar->SetOrientation(TzkTrackBar::toVertical);
    bar->SetThumbStyle(TzkTrackBar::tsBox);
    bar->SetThumbSize(TzkTrackBar::tsSmall);
    bar->SetTickStyle(TzkTrackBar::tkOwnerDraw);
    bar->SetMax(kDefaultSliderRange);
    bar->SetMin(-kDefaultSliderRange);
    // Screen readers say the level: "3" for +3 dB, six half-decibel steps.
    bar->SetAccessibleValueScale(2, "dB");
    SetHint(*bar, Q(SlotLabel(slot)));
  }
  // The first slider reaches over the second and carries the scale; the
  // second must stay clickable where they overlap.
  TrackBars[0]->lower();
}

void TMDIChild::CreateStatusBar(QWidget& area) {
  StatusBar1 = new QWidget(&area);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setAccessibleName("Status bar");
  StatusBar1->setGeometry(0, kDesignClientHeight - kStatusBarHeight, kDesignClientWidth,
                          kStatusBarHeight);
  const char* captions[kStatusPanels] = {"Freq", "", "Level", "", "LP",    "", "HP",
                                         "",     "", "",      "", "",      ""};
  captions[8] = "Address";
  captions[10] = "Range";
  for (int i = 0; i < kStatusPanels; ++i) {
    const bool centred = i == 0 || i == 2 || i == 4 || i == 6;
    Panels[i] = MakePanel(StatusBar1, i, captions[i], centred);
  }
  Panels[1]->setAccessibleName("Frequency");
  Panels[3]->setAccessibleName("Level value");
  Panels[5]->setAccessibleName("Low pass value");
  Panels[7]->setAccessibleName("High pass value");
  Panels[9]->setAccessibleName("Address value");
  Panels[11]->setAccessibleName("Range value");
  Panels[12]->setAccessibleName("Empty panel");
  const int linkLeft = kStatusPanels * kPanelWidth;
  LinkPanel = new StatusPanel("", StatusBar1);
  LinkPanel->setObjectName("LinkPanel");
  LinkPanel->setGeometry(linkLeft, 0, kDesignClientWidth - linkLeft, kStatusBarHeight);
  LinkPanel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  LinkPanel->setAccessibleName("Link group");
  LinkPanel->setAutoFillBackground(true);
  LinkPanel->hide();
}

void TMDIChild::CreateMenus() {
  auto item = [this](QMenu* menu, const QString& text, std::function<void()> command) {
    QAction* a = menu->addAction(text);
    if (command) connect(a, &QAction::triggered, this, [command] { command(); });
    return a;
  };
  EqualizerHost& f = host_;
  FileMenu = new QMenu("&File", this);
  item(FileMenu, "&New", [&f] { f.NewEqualizerWindow(); });
  item(FileMenu, "&Open", [&f] { f.OpenPresetFile(); });
  item(FileMenu, "&Close", [this] {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
      sub->close();
    else
      close();
  });
  FileMenu->addSeparator();
  Save1 = item(FileMenu, "&Save", [this] { Save1Click(); });
  item(FileMenu, "Save &As", nullptr)->setEnabled(false);
  item(FileMenu, "Save A&ll", nullptr)->setEnabled(false);
  FileMenu->addSeparator();
  PrintSetup1 = item(FileMenu, "P&rint Setup", [this] { PrintSetup1Click(); });
  Print1 = item(FileMenu, "&Print", [this] { PrintEqualizerWindow(); });
  FileMenu->addSeparator();
  item(FileMenu, "Pr&operties", [&f] { f.ShowOptions(); });
  FileMenu->addSeparator();
  item(FileMenu, "&Exit", [&f] { f.ExitProgram(); });

  EditMenu = new QMenu("&Edit", this);
  Copy1 = item(EditMenu, "&Copy", [this] { Copy1Click(); });
  Copy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  Paste1 = item(EditMenu, "&Paste", [this] { Paste1Click(); });
  Paste1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  Paste1->setEnabled(false);
  Clear1 = item(EditMenu, "C&lear", [this] { FlatClick(); });
  Clear1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
  // Clear, like Paste, is offered only while the preset takes a curve.
  for (QCheckBox* box : {Lock, Bypass})
    connect(box, &QCheckBox::toggled, this, [this] { Clear1->setEnabled(ClearEnabled()); });
  item(EditMenu, "&Normalize", nullptr)->setEnabled(false);
  CreateUndoItems();
  EditMenu->addSeparator();
  Unlink1 = item(EditMenu, "Un&link", [this] {
    if (OnUnlink) OnUnlink();
  });
  Unlink1->setEnabled(false);
  Resync1 = item(EditMenu, "Res&ync\u2026", [this] {
    if (OnResync) OnResync();
  });
  Resync1->setEnabled(false);

  HelpMenu = new QMenu("&Help", this);
  item(HelpMenu, "&Help", nullptr);
  HelpMenu->addSeparator();
  item(HelpMenu, "&About", [&f] { f.ShowAbout(); });
}

QList<MenuGroup> TMDIChild::Menus() { return {{0, FileMenu}, {1, EditMenu}, {10, HelpMenu}}; }

void TMDIChild::ConnectHandlers() {
  for (TzkTrackBar* bar : TrackBars) {
    bar->OnChanging = [this](TzkTrackBar& s, int p, bool& allow) { TrackBar1Changing(s, p, allow); };
    bar->OnChange = [this](TzkTrackBar& s) { TrackBarChange(s); };
    bar->OnEnter = [this](TzkTrackBar& s) { zkTrackBar1Enter(s); };
    bar->OnExit = [this](TzkTrackBar& s) { zkTrackBar1Exit(s); };
    bar->OnKeyDown = [this](TzkTrackBar& s, int& key) { zkTrackBar1KeyDown(s, key); };
    if (bar->Tag == 1)
      bar->OnDrawTick = [this](TzkTrackBar& b, QPainter& c, QPoint p, int i) {
        zkTrackBarDrawTickWithText(b, c, p, i);
      };
    else if (bar->Tag == kGainSlot)
      bar->OnDrawTick = [this](TzkTrackBar& b, QPainter& c, QPoint p, int i) {
        zkTrackBar31DrawTick(b, c, p, i);
      };
    else
      bar->OnDrawTick = [this](TzkTrackBar& b, QPainter& c, QPoint p, int i) {
        zkTrackBarDrawTick(b, c, p, i);
      };
  }

  // List boxes: only the operator's choices run handlers; the program's
  // setCurrentIndex does not emit `activated`.
  static_cast<AddressComboBox*>(CBAddress)->OnDropDown = [this] { CBAddressDropDown(); };
  connect(CBAddress, &QComboBox::activated, this, [this](int) { CBAddressChange(); });
  connect(CBHighPass, &QComboBox::activated, this, [this](int index) {
    CBHighPassChange();
    if (OnFilterChosen) OnFilterChosen(true, index);
  });
  connect(CBLowPass, &QComboBox::activated, this, [this](int index) {
    CBLowPassChange();
    if (OnFilterChosen) OnFilterChosen(false, index);
  });
  connect(CBPresetName, &QComboBox::activated, this, [this](int) { CBPresetNameClick(); });
  connect(CBPresetName, &QComboBox::editTextChanged, this,
          [this](const QString& text) { Doc.PresetName = text.toStdString(); });
  // Only the operator's changes of the text (typing, deleting, pasting)
  // mark the name edited; a name shown by the program or chosen from the
  // list does not.
  connect(CBPresetName->lineEdit(), &QLineEdit::textEdited, this,
          [this](const QString&) { CBPresetNameEdited(); });
  CBPresetName->installEventFilter(this);
  // The live controls of the header row take the wheel only once the
  // operator has put the focus there: a wheel passing over them on its way
  // elsewhere must not change the device.
  for (QWidget* control : {static_cast<QWidget*>(CBHighPass), static_cast<QWidget*>(CBLowPass),
                           static_cast<QWidget*>(CBPresetName),
                           static_cast<QWidget*>(SEPresetNumber)}) {
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(this);
  }

  // The preset number: every change of its value, from anywhere.
  connect(SEPresetNumber, &QSpinBox::valueChanged, this, [this](int) { SEPresetNumberChange(); });
  static_cast<PresetSpinBox*>(SEPresetNumber)->OnKeyUp = [this](int key) { FormKeyDown(key); };

  connect(EBORBName, &QLineEdit::textChanged, this,
          [this](const QString& text) { Doc.DeviceName = text.toStdString(); });
  EBORBName->installEventFilter(this);

  // Check boxes: a state change from the program runs the handler too.
  connect(Mute, &QCheckBox::toggled, this, [this](bool) { MuteClick(); });
  connect(Lock, &QCheckBox::toggled, this, [this](bool on) {
    LockClick();
    if (OnLockSwitched) OnLockSwitched(on);
  });
  connect(Bypass, &QCheckBox::toggled, this, [this](bool) { BypassClick(); });
  // The operator's own clicks (not the device's data) reach the link.
  connect(Mute, &QCheckBox::clicked, this, [this](bool on) {
    if (OnSwitchClicked && !applyingLink_) OnSwitchClicked(false, on);
  });
  connect(Bypass, &QCheckBox::clicked, this, [this](bool on) {
    if (OnSwitchClicked && !applyingLink_) OnSwitchClicked(true, on);
  });
}

bool TMDIChild::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::Wheel &&
      (watched == CBHighPass || watched == CBLowPass || watched == CBPresetName ||
       watched == SEPresetNumber) &&
      !static_cast<QWidget*>(watched)->hasFocus()) {
    // Not taken: the wheel goes on to what lies behind the control.
    event->ignore();
    return true;
  }
  if (watched == CBPresetName) {
    if (type == QEvent::ShortcutOverride && !PresetNameEdited) {
      // The box claims Ctrl+Z and Ctrl+Y for its own typing. With nothing
      // typed since the name was confirmed, they undo and redo the
      // window's steps, as the Edit menu's items do.
      auto* key = static_cast<QKeyEvent*>(event);
      const QKeySequence pressed(key->keyCombination());
      for (QAction* item : {Undo1, Redo1})
        if (item->shortcuts().contains(pressed)) {
          event->ignore();
          return true;
        }
    }
    if (type == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      CBPresetNameKeyPress(key);
      // Enter only sends the name; the box must not treat it as a choice.
      if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    } else if (type == QEvent::FocusOut) {
      if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason &&
          isAncestorOf(QApplication::focusWidget()))
        CBPresetNameExit();
    }
  } else if (watched == EBORBName) {
    if (type == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      EBORBNameKeyDown(key);
      if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    } else if (type == QEvent::FocusOut) {
      if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason &&
          isAncestorOf(QApplication::focusWidget()))
        EBORBNameExit();
    }
  }
  return QWidget::eventFilter(watched, event);
}

bool TMDIChild::event(QEvent* event) { return QWidget::event(event); }

void TMDIChild::keyPressEvent(QKeyEvent* event) {
  FormKeyDown(event->key());
  event->accept();
}

void TMDIChild::closeEvent(QCloseEvent* event) {
  FormCloseQuery();
  event->accept();
}

void TMDIChild::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TMDIChild::PlaceClientArea() {
  // The controls' extent: the design client width, scaled with the form.
  const int controlsWidth = ScaleOf(*this).Of(kDesignClientWidth);
  const bool scrolls = width() < controlsWidth;
  const int barHeight =
      scrolls ? std::max(HorzScrollBar->sizeHint().height(), ScaleOf(*this).Of(16)) : 0;
  HorzScrollBar->setRange(0, scrolls ? controlsWidth - width() : 0);
  HorzScrollBar->setPageStep(std::max(1, width()));
  HorzScrollBar->setSingleStep(std::max(1, ScaleOf(*this).Of(24)));
  HorzScrollBar->setGeometry(0, height() - barHeight, width(), barHeight);
  HorzScrollBar->setVisible(scrolls);
  const int areaHeight = std::max(0, height() - barHeight);
  const int areaWidth = std::max(width(), controlsWidth);
  ClientArea->setGeometry(-HorzScrollBar->value(), 0, areaWidth, areaHeight);
  PlaceStatusBar(areaHeight);
}

void TMDIChild::PlaceStatusBar(int areaHeight) {
  // The status bar stays in view along the window's bottom edge, as wide
  // as the window, whatever the scrolling: its panels in as many rows as
  // the width needs, the link panel taking the rest of its row (a row of
  // its own when its text would not fit there).
  const int room = width(), row = Panels[0]->height();
  int x = 0, y = 0;
  const auto place = [&](QWidget& panel, int least) {
    if (x > 0 && x + least > room) {
      x = 0;
      y += row;
    }
    panel.move(x, y);
    x += panel.width();
  };
  for (QLabel* panel : Panels) place(*panel, panel->width());
  if (!LinkPanel->isHidden()) {
    auto* link = static_cast<StatusPanel*>(LinkPanel);
    const int needed =
        link->fontMetrics().horizontalAdvance(link->text()) + link->width() - link->TextRect().width();
    place(*LinkPanel, needed);
    LinkPanel->resize(std::max(needed, room - LinkPanel->x()), row);
  }
  StatusBar1->setGeometry(HorzScrollBar->value(), areaHeight - (y + row), room, y + row);
}

void TMDIChild::ScrollIntoView(QWidget& control) {
  if (!HorzScrollBar->isVisible() || !ClientArea->isAncestorOf(&control)) return;
  const QRect r(control.mapTo(ClientArea, QPoint(0, 0)), control.size());
  int value = HorzScrollBar->value();
  if (r.right() >= value + width()) value = r.right() + 1 - width();
  if (r.left() < value) value = r.left();
  HorzScrollBar->setValue(value);
}

void TMDIChild::QueueWidthSnap() {
  if (snapQueued_) return;
  snapQueued_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        snapQueued_ = false;
        auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
        if (!sub || Options().TileOptions == 0 || sub->isMinimized() || sub->isMaximized()) return;
        const int tiled = TiledWidth();
        if (sub->width() != tiled) sub->resize(tiled, sub->height());
      },
      Qt::QueuedConnection);
}

void TMDIChild::FormCreate() {
  ApplicationHint::Instance().SetListener(this, [this](const QString& h) { ShowSliderHint(h); });
  CBHighPass->setCurrentIndex(kHighPassOut);
  Doc.HighPassIndex = kHighPassOut;
  CBLowPass->setCurrentIndex(kLowPassOut);
  Doc.LowPassIndex = kLowPassOut;
  RequestedPreset = 1;
  RecallPending = false;
  AddressDroppedDown = false;
  Doc.Address = 0;
  Doc.FileName.clear();
  ShowDocument();
  Panels[11]->setText(Q(RangeText(Options().SliderRange)));
  const FormScale scale = ScaleFormToScreen(*this);
  for (TzkTrackBar* bar : TrackBars) bar->SetScale(scale.Factor());
  // The design widths fit the captions in the design's font; another face,
  // or a font scaled out of proportion to the widths, would cut them
  // ("Mut"), so the label and the check boxes may grow into the gap before
  // the next control, once they have their final size.
  GrowToCaption(*AddressLabel, CBAddress->x() - 1);
  GrowToCaption(*Mute, Lock->x() - 1);
  GrowToCaption(*Lock, Bypass->x() - 1);
  GrowToCaption(*Bypass, scale.Of(kDesignClientWidth) - 1);
  createdSize_ = size();
  // A control that takes the focus comes into view in a narrow window.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now) ScrollIntoView(*now);
  });
  // A new window starts at its address list, so that the keyboard alone
  // can choose the device (Alt+Down drops the list down).
  CBAddress->setFocus(Qt::OtherFocusReason);
}

void TMDIChild::FormResize() {
  TProgramOptions& o = Options();
  const FormScale scale = ScaleOf(*this);
  PlaceClientArea();
  const int clientHeight = ClientArea->height();
  int sliderHeight;
  if (o.TaskBarEnabled) {
    sliderHeight = clientHeight - StatusBar1->height() - scale.Of(kTopMargin);
    Panels[11]->setText(Q(RangeText(o.SliderRange)));
    StatusBar1->show();
  } else {
    sliderHeight = clientHeight - scale.Of(kNoStatusBarMargin);
    StatusBar1->hide();
  }
  TzkTrackBar* first = TrackBars[0];
  first->setGeometry(first->x(), scale.Of(kSliderTop), first->width(), std::max(0, sliderHeight));
  for (TzkTrackBar* bar : TrackBars) {
    bar->SetMax(o.SliderRange);
    bar->SetMin(-o.SliderRange);
  }
  for (TzkTrackBar* bar : TrackBars)
    bar->setGeometry(bar->x(), first->y(), bar->width(), first->height());

  auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
  const QSize outer = sub ? sub->size() : frameGeometry().size();
  o.SliderHeight = first->height();
  o.SliderWidth = first->width();
  o.ChildWindowHeight = outer.height();
  o.ChildWindowWidth = outer.width();

  // Tiled two or three to a column, a window keeps its column's width. The
  // resize runs this layout again, which ends here since the width holds.
  // A minimized or maximized window keeps the size its state gives it.
  if (o.TileOptions != 0 && sub && !sub->isMinimized() && !sub->isMaximized() &&
      sub->width() != TiledWidth())
    QueueWidthSnap();
}

int TMDIChild::TiledWidth() const {
  auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
  QMdiArea* area = sub ? sub->mdiArea() : nullptr;
  if (!area) return width();
  int count = 0;
  for (QMdiSubWindow* s : area->subWindowList())
    count += dynamic_cast<EqualizerWindow*>(s->widget()) != nullptr;
  // The workspace without its scroll bars, which tiling makes go away.
  return TiledPlace(0, count, Options().TileOptions + 1, area->contentsRect().size()).width();
}

void TMDIChild::ScanBandExcursion(int32_t& max) {
  for (TzkTrackBar* bar : TrackBars)
    if (std::abs(bar->Position()) > max) max = std::abs(bar->Position());
}

void TMDIChild::ShowSliderHint(const QString& longHint) {
  if (host_.EqualizerWindowCount() == 0) return;
  Panels[1]->setText(longHint);
  if (longHint.isEmpty()) {
    Panels[3]->setText(" ");
    return;
  }
  for (TzkTrackBar* bar : TrackBars)
    if (bar->toolTip() == longHint) {
      Panels[3]->setText(
          Q(LevelText(bar->Position(), QLocale().decimalPoint().toStdString())));
      return;
    }
}

namespace {
// A design length of the slider's drawing at the slider's scale.
int Scaled(const TzkTrackBar& bar, double design) {
  return std::max(1, int(design * bar.Scale() + 0.5));
}

// One tick: a line in its colour, and the highlight line just below it,
// each as thick as the scale makes a design pixel.
void DrawTickLine(TzkTrackBar& bar, QPainter& canvas, int y, int length, const QColor& colour) {
  const int w = bar.width() / 3;
  const int thick = Scaled(bar, 1);
  const int left = w - Scaled(bar, length);
  canvas.fillRect(QRect(left, y - thick, w - left + 1, thick), colour);
  canvas.fillRect(QRect(left, y, w - left + 1, thick), bar.palette().color(QPalette::Light));
}

void DrawTickMark(TzkTrackBar& bar, QPainter& canvas, int y, int index) {
  const QColor shadow = bar.palette().color(QPalette::Dark);
  if (index == 0)
    DrawTickLine(bar, canvas, y, 12, Qt::red);
  else if (index % 6 == 0)
    DrawTickLine(bar, canvas, y, 12, Qt::blue);
  else if (index % 2 == 0)
    DrawTickLine(bar, canvas, y, 8, shadow);
  else
    DrawTickLine(bar, canvas, y, 4, shadow);
}

// "Small Fonts" at 7 points where it is installed, a plain sans-serif face
// otherwise, in pixels grown with the slider.
QFont ScaleLabelFont(const TzkTrackBar& bar) {
  QFont font("Small Fonts");
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(Scaled(bar, kScaleLabelPixels));
  return font;
}

// The first character row of a scale label: `offset` design pixels above
// the tick line plus half the (negative) font height.
int ScaleLabelTop(const TzkTrackBar& bar, const QFontMetrics& metrics, int y, int offset) {
  return y - metrics.height() / 2 + int(offset * bar.Scale());
}

// Whether the tick of value index carries a label on this slider: the
// range's ends and 0 always, and the multiples of 6 steps (3 dB), 12, 24
// ... steps, the finest spacing at which the labels keep clear of each
// other on the slider's height; a multiple whose label would touch an
// end's is left out.
bool HasScaleLabel(const TzkTrackBar& bar, const QFontMetrics& metrics, int index, int offset) {
  const auto span = [&](double value) {
    const int top = ScaleLabelTop(bar, metrics, bar.TickLine(int64_t(std::lround(value))), offset);
    return LabelSpan{double(top), double(top + metrics.height())};
  };
  const std::vector<double> labelled = ThinnedScaleLabels(bar.Min(), bar.Max(), 6, span, 0);
  return std::find(labelled.begin(), labelled.end(), double(index)) != labelled.end();
}

// A scale label ending at x = right, at ScaleLabelTop, on the slider's own
// background. A face wider than the room left of `right` is squeezed to
// fit inside the slider rather than lose its first stroke at the edge.
void DrawScaleLabel(TzkTrackBar& bar, QPainter& canvas, int right, int y, int index, int offset) {
  canvas.save();
  canvas.setFont(ScaleLabelFont(bar));
  const QFontMetrics metrics = canvas.fontMetrics();
  if (!HasScaleLabel(bar, metrics, index, offset)) {
    canvas.restore();
    return;
  }
  const QString text = QString::fromStdString(TickLabel(index));
  const int top = ScaleLabelTop(bar, metrics, y, offset);
  const int width = std::min(metrics.horizontalAdvance(text), right);
  const QRect box(right - width, top, width, metrics.height());
  canvas.fillRect(box, bar.palette().color(QPalette::Window));
  canvas.setPen(bar.palette().color(QPalette::WindowText));
  DrawFittedText(canvas, box, Qt::AlignRight | Qt::AlignTop, text);
  canvas.restore();
}
}  // namespace

void TMDIChild::zkTrackBarDrawTick(TzkTrackBar& bar, QPainter& canvas, QPoint location, int index) {
  DrawTickMark(bar, canvas, location.y(), index);
}

void TMDIChild::zkTrackBarDrawTickWithText(TzkTrackBar& bar, QPainter& canvas, QPoint location,
                                           int index) {
  DrawScaleLabel(bar, canvas, bar.width() / 3, location.y(), index, -3);
}

void TMDIChild::zkTrackBar31DrawTick(TzkTrackBar& bar, QPainter& canvas, QPoint location,
                                     int index) {
  DrawTickMark(bar, canvas, location.y(), index);
  DrawScaleLabel(bar, canvas, 3 * (bar.width() / 3), location.y(), index, -2);
}

void TMDIChild::FormActivate() {
  Panels[11]->setText(Q(RangeText(Options().SliderRange)));
  ApplicationHint::Instance().SetListener(this, [this](const QString& h) { ShowSliderHint(h); });
  if (!Lock->isChecked() && !Bypass->isChecked())
    for (TzkTrackBar* bar : TrackBars) bar->setEnabled(true);
  for (TzkTrackBar* bar : TrackBars) SetShowHint(*bar, Options().HintsOnPage);
  // Looking at a window changes no device: only a device that another
  // window made run another preset is made to run this window's again.
  // A device that other work (a restore, a snapshot recall) wrote to is
  // read instead: the window's curve is older than what it runs.
  if (changedElsewhere_)
    ReloadFromDevice();
  else
    RunShownPresetOnDevice();
}

void TMDIChild::FormDeactivate() {
  ApplicationHint::Instance().RemoveListener(this);
  Panels[3]->setText(" ");
  Panels[5]->setText(" ");
  for (TzkTrackBar* bar : TrackBars) bar->setEnabled(false);
}

bool TMDIChild::FormCloseQuery() {
  if (Engine().Connected && host_.EqualizerWindowCount() <= 1) {
    // The group byte goes out between transactions, never into one. Its
    // request is not the window's: it outlives the window.
    LineRequest request;
    request.owner = Line().NewOwner();
    request.ownOutcome = true;
    request.start = [](TzkPA422Form& engine) { engine.EnableManualControls(); };
    Line().Submit(std::move(request));
  }
  return true;
}
