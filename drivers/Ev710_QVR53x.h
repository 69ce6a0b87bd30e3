#pragma once
// TFormQVR533: the newer drivers' registers, one motor's driver at a time, with the driver's
// live status, the coil current from the sense resistor and the load graph.
#include "DriverForm.h"
#include "ui_Ev710_QVR53x.h"

class TFormQVR533 : public TDriverForm<Ui::TFormQVR533> {
  Q_OBJECT
public:
  explicit TFormQVR533(TBoardAccess &Board, QWidget *parent = nullptr);
  int SelectedMotor() const { return Board.Views().SelectedMotor; }
  void ShowLDPin(uint8_t b2, uint8_t b1, uint8_t b0);

protected:
  int Motor() const override { return SelectedMotor(); }
  int ChopperMode() const override { return CbChopConfChm->currentIndex() == 1 ? 1 : 0; }
  void ReadPage(ReadReason Reason) override;
  void ReadChopConf() override;

private:
  void HookMotorPair();
  void CbMotorSelectClick();
  void CbChopConfChmChange();
};
