#pragma once
// TFormQVR550: the QVR550 driver's registers, status, coil current and load graph. Its own
// requests always address motor index 2.
#include "DriverForm.h"
#include "ui_Ev710_QVR550.h"

class TFormQVR550 : public TDriverForm<Ui::TFormQVR550> {
  Q_OBJECT
public:
  static constexpr int DriverMotor = 2;
  explicit TFormQVR550(TBoardAccess &Board, QWidget *parent = nullptr);

protected:
  int Motor() const override { return DriverMotor; }
  void ReadPage(ReadReason Reason) override;

private:
  void Button1Click();
};
