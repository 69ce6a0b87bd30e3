#include "LogMotorGroup.h"

TLogMotorGroup::TLogMotorGroup(int Motor, QWidget *parent) : QGroupBox(parent) {
  setupUi(this);
  Values = {CheckLogTargPosMotor, CheckLogActPosMotor, CheckLogTargVelMotor, CheckLogActVelMotor,
            CheckLogActAccMotor,  CheckLogTLMotor,     CheckLogLDMotor};
  const QString digit = QString::number(Motor + 1);
  setObjectName(QStringLiteral("GrpMotor") + digit);
  setTitle(QStringLiteral("  Motor %1 ").arg(digit));
  CheckLogMotor->setObjectName(CheckLogMotor->objectName() + digit);
  for (QCheckBox *box : Values) box->setObjectName(box->objectName() + digit);
  QSizePolicy keepPlace = CheckLogTLMotor->sizePolicy();  // nothing moves when it is hidden
  keepPlace.setRetainSizeWhenHidden(true);
  CheckLogTLMotor->setSizePolicy(keepPlace);
}

TLogChecks TLogMotorGroup::Checked() const {
  TLogChecks checked{};
  for (int i = 0; i < LogValueCount; ++i) checked[i] = Values[i]->isChecked();
  return checked;
}
