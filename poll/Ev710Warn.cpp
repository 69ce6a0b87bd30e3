#include "Ev710Warn.h"
#include <QApplication>
#include <QLayout>

TFormWarning::TFormWarning(QWidget *parent) : QDialog(parent) {
  setupUi(this);
  // A title and nothing else: the user answers with one of the two buttons (or Escape).
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  connect(BtnCont, &QPushButton::clicked, this, &QDialog::accept);
  connect(BtnAbort, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormWarning::SetMotor(int motor) { setWindowTitle(QStringLiteral("Warning: Motor %1").arg(motor)); }

void TFormWarning::SetNumber(const QString &text) { LblNumber->setText(text); }

QString TFormWarning::Number() const { return LblNumber->text(); }

bool TFormWarning::NotifyChecked() const { return CheckNotify->isChecked(); }

void TFormWarning::showEvent(QShowEvent *e) {
  QDialog::showEvent(e);
  QApplication::beep();
}
