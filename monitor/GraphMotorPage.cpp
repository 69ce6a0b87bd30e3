#include "GraphMotorPage.h"

TGraphMotorPage::TGraphMotorPage(int Motor, QWidget *parent) : QWidget(parent) {
  setupUi(this);
  const QString digit = QString::number(Motor + 1);
  setObjectName(QStringLiteral("TabMotor") + digit);
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  for (TPaintBox *box : {PaintBoxLeft, PaintBox, PaintBoxRight}) {
    box->setObjectName(box->objectName() + digit);
    box->Tag = Motor;
  }
}
