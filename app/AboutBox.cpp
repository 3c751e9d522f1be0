#include "app/AboutBox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <algorithm>

#include "app/FormSupport.h"
#include "app/VersionRecord.h"
#include "controls/CaptionFit.h"

namespace {
// The program icon: a row of equalizer band sliders.
QPixmap ProgramPicture() {
  QPixmap picture(32, 32);
  picture.fill(QColor(0, 0, 128));
  QPainter p(&picture);
  const int knobs[] = {20, 14, 9, 12, 18, 24};
  for (int i = 0; i < 6; ++i) {
    const int x = 3 + i * 5;
    p.fillRect(x + 1, 4, 1, 24, QColor(160, 160, 160));
    p.fillRect(x, knobs[i] - 2, 3, 4, QColor(255, 255, 0));
  }
  return picture;
}

// The link names the running program's file even after it was replaced or
// deleted on disk, so the box shows the version that is running.
QString OwnExecutable() {
  const QString self = QStringLiteral("/proc/self/exe");
  if (QFileInfo(self).isReadable()) return self;
  return QCoreApplication::applicationFilePath();
}
}  // namespace

TAboutBox::TAboutBox(QWidget* parent, const QString& exePath)
    : QDialog(parent), exePath_(exePath) {
  BeginForm(*this, "About", 313, 213);

  Panel1 = Place(new QFrame(this), 7, 8, 299, 161, "About Varlo 95");
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setLineWidth(2);

  ProgramIcon = Place(new QLabel(Panel1), 24, 16, 49, 57, "Program icon");
  ProgramIcon->setPixmap(ProgramPicture());
  ProgramIcon->setScaledContents(true);

  auto label = [this](const QString& caption, int left, int top, int width) {
    auto* l = Place(new QLabel(caption, Panel1), left, top, width, 16, caption);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
  };
  ProductName = label("Product Name", 88, 16, 193);
  Version = label("Version", 88, 40, 35);
  Company = label("Company", 88, 64, 201);
  Copyright = label("Copyright", 8, 88, 273);
  Comments = label("Comments", 8, 112, 265);

  OKButton = Place(new QPushButton("OK", this), 121, 180, 75, 25, "OK");
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);

  EndForm(*this);
}

void TAboutBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) {
    CentreOnScreen(*this);
    FormActivate();
  }
}

QString TAboutBox::VersionLine(uint32_t versionMS, uint32_t versionLS, uint32_t flags,
                               uint32_t flagsMask) {
  const uint32_t f = flags & flagsMask;
  // Later matches replace earlier ones.
  QString kind;
  if (f & kVersionFlagDebug) kind = "Debug";
  if (f & kVersionFlagPreRelease) kind = "Beta";
  if (f & kVersionFlagPrivateBuild) kind = "Private Build";
  if (f & kVersionFlagSpecialBuild) kind = "Special Build";
  return QString("Version   %1.%2.%3.%4  %5")
      .arg(versionMS >> 16)
      .arg(versionMS & 0xFFFF)
      .arg(versionLS >> 16)
      .arg(versionLS & 0xFFFF)
      .arg(kind);
}

void TAboutBox::FormActivate() {
  const std::string path = (exePath_.isEmpty() ? OwnExecutable() : exePath_).toStdString();
  const std::optional<VersionRecord> record = ReadVersionRecord(path);
  if (!record || record->Size() == 0) return;  // the design captions stay

  const VersionFixedPart& fixed = record->FixedPart();
  auto entry = [&](const char* name) {
    // A missing entry shows as an empty label.
    // The text table is in Windows code page 1252, of which Latin-1 is the
    // printable part.
    return QString::fromLatin1(
        record->Query(std::string("\\StringFileInfo\\040904E4\\") + name).value_or(""));
  };
  const QString productName = entry("ProductName");
  const QString copyright = entry("LegalCopyright");
  const QString company = entry("CompanyName");
  const QString comments = entry("Comments");

  SetCaption(ProductName, productName);
  SetCaption(Version, VersionLine(fixed.FileVersionMS, fixed.FileVersionLS, fixed.FileFlags,
                                  fixed.FileFlagsMask));
  SetCaption(Copyright, copyright);
  SetCaption(Company, company);
  SetCaption(Comments, comments);
}

void TAboutBox::SetCaption(QLabel* label, const QString& text) {
  label->setText(text);
  // An empty label keeps its design caption as its accessible name.
  if (!text.trimmed().isEmpty()) label->setAccessibleName(text.trimmed());
  // Labels grow with their text, as far as the panel's inner edge.
  GrowToCaption(*label, Panel1->width() - Panel1->frameWidth());
}

void TAboutBox::OKButtonClick() { accept(); }
