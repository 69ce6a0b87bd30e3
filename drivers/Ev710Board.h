#pragma once
// TFormBoard: the newer-driver board's own settings: driver enable per motor, the drivers' and
// the motion controller's clocks, and motor 1's interface mode. It sends fixed board commands
// and reads nothing back.
#include <QWidget>
#include "BoardAccess.h"
#include "ui_Ev710Board.h"

class TFormBoard : public QWidget, private Ui::TFormBoard {
  Q_OBJECT
public:
  explicit TFormBoard(TBoardAccess &Board, QWidget *parent = nullptr);
  bool IsShown = false;

  // Event handlers; the Enable and Disable buttons carry their motor index as Tag.
  void BtnEnableMotor1Click(QObject *Sender);
  void BtnDisableMotor1Click(QObject *Sender);
  void BtnSetFreqClick();
  void BtnModeStepDirClick();
  void BtnModeSPIClick();

protected:
  void showEvent(QShowEvent *e) override;
  void closeEvent(QCloseEvent *e) override;

private:
  void SetDriverEnable(QObject *Sender, bool Enable);
  void SetInterfaceMode(int Mode);
  TBoardAccess &Board;
};
