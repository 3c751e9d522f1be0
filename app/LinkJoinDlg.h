#pragma once
// The Link Windows question when the members' curves differ: the
// question, a list of the answers ("Keep Differences", "Copy from <caption>
// (address n)" per window), each whole on one row however many windows
// there are, and every difference below it.
#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

class TLinkJoinDlg : public QDialog {
  Q_OBJECT
 public:
  TLinkJoinDlg(const QString& text, const QString& details, const QStringList& answers,
               QWidget* parent = nullptr);

  // The answer's index, or -1 when none is chosen.
  int Choice() const;

  QLabel* QuestionLabel;
  QLabel* ChoicesLabel;
  QListWidget* ChoiceList;
  QLabel* DetailsLabel;
  QPlainTextEdit* DetailsBox;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  void showEvent(QShowEvent* event) override;
};
