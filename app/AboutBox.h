#pragma once
// The about box: product name, version, copyright, company and comment from
// the version record of the program's own executable file.
#include <QDialog>
#include <QString>

class QFrame;
class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  // exePath: the file whose version record is shown; empty for this
  // program's own executable.
  explicit TAboutBox(QWidget* parent = nullptr, const QString& exePath = QString());

  // Fills the labels from the version record; without a record they keep
  // their design captions. Runs whenever the box is shown.
  void FormActivate();
  void OKButtonClick();

  // "Version   major.minor.release.build  " followed by the build kind.
  static QString VersionLine(uint32_t versionMS, uint32_t versionLS, uint32_t flags,
                             uint32_t flagsMask);

  QFrame* Panel1;
  QLabel* ProgramIcon;
  QLabel* ProductName;
  QLabel* Version;
  QLabel* Company;
  QLabel* Copyright;
  QLabel* Comments;
  QPushButton* OKButton;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Sets a label's text and widens it to fit, within the panel.
  void SetCaption(QLabel* label, const QString& text);

  QString exePath_;
};
