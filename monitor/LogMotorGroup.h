#pragma once
// One motor's group of the logging window: the master box "Log" and the seven value boxes.
// One class for the three motors; the controls are named with the motor's digit.
#include <QGroupBox>
#include <array>
#include "LogColumns.h"
#include "ui_LogMotorGroup.h"

class TLogMotorGroup : public QGroupBox, private Ui::TLogMotorGroup {
  Q_OBJECT
public:
  explicit TLogMotorGroup(int Motor, QWidget *parent = nullptr);  // Motor 0..2
  QCheckBox *Master() const { return CheckLogMotor; }
  QCheckBox *ThriftLevelBox() const { return CheckLogTLMotor; }
  const std::array<QCheckBox *, LogValueCount> &ValueBoxes() const { return Values; }
  TLogChecks Checked() const;

private:
  std::array<QCheckBox *, LogValueCount> Values{};  // by TLogValue
};
