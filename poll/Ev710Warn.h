#pragma once
// TFormWarning: the modal dialog that asks before a motor starts with a maximum acceleration
// below the smallest value that keeps the controller's ramp stable. Created once; the state of
// its "do not notify me again" box lasts for the whole program run.
#include <QDialog>
#include "ui_Ev710Warn.h"

class TFormWarning : public QDialog, private Ui::TFormWarning {
  Q_OBJECT
public:
  explicit TFormWarning(QWidget *parent = nullptr);
  // The motor (1..3) the question is about, shown in the title: All Go may ask for each motor.
  void SetMotor(int motor);
  // The smallest allowed acceleration as the caller wants it shown (the number and ",").
  void SetNumber(const QString &text);
  QString Number() const;
  // The user asked not to be warned again: callers go on as if "Continue" had been chosen.
  bool NotifyChecked() const;

protected:
  void showEvent(QShowEvent *e) override;
};
