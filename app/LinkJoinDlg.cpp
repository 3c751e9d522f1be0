#include "app/LinkJoinDlg.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>

#include "app/FormSupport.h"

TLinkJoinDlg::TLinkJoinDlg(const QString& text, const QString& details, const QStringList& answers,
                           QWidget* parent)
    : QDialog(parent) {
  BeginForm(*this, "Link Windows", 416, 343);
  QuestionLabel = Place(new QLabel(text, this), 8, 8, 400, 32, "Question");
  QuestionLabel->setWordWrap(true);
  QuestionLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ChoicesLabel = Place(new QLabel("&Choose:", this), 8, 44, 150, 15, "Choose");
  ChoiceList = Place(new QListWidget(this), 8, 60, 400, 100, "Choose");
  ChoicesLabel->setBuddy(ChoiceList);
  for (const QString& answer : answers) {
    auto* item = new QListWidgetItem(answer, ChoiceList);
    item->setToolTip(answer);
  }
  ChoiceList->setCurrentRow(0);
  DetailsLabel = Place(new QLabel("&Differences:", this), 8, 166, 150, 15, "Differences");
  DetailsBox = Place(new QPlainTextEdit(details, this), 8, 182, 400, 120, "Differences");
  DetailsBox->setReadOnly(true);
  DetailsLabel->setBuddy(DetailsBox);
  OKBtn = Place(new QPushButton("OK", this), 252, 310, 75, 25, "OK");
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  CancelBtn = Place(new QPushButton("Cancel", this), 333, 310, 75, 25, "Cancel");
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(ChoiceList, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  connect(ChoiceList, &QListWidget::currentRowChanged, this,
          [this](int row) { OKBtn->setEnabled(row >= 0); });
  EndForm(*this);
}

int TLinkJoinDlg::Choice() const { return ChoiceList->currentRow(); }

void TLinkJoinDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) CentreOnScreen(*this);
}
