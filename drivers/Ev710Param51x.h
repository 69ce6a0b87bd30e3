#pragma once
// TFormQVR51x: on the older-driver board, each driver's stall detection threshold, its load
// detection value and its eight error flags, one TGroupQVR51x per motor.
//
// The groups' object names carry one chip number and their captions another (GrpQVR517 is
// Motor 1's QVR513, GrpQVR513 Motor 3's QVR517); the motor index decides what each group
// sends and shows. The poll callbacks ShowLoad517/ShowFlags517 (rows 75, 76), ...515 (77, 78)
// and ...513 (79, 80) are the ShowLoad and ShowFlags of the groups of motor index 0, 1 and 2.
#include <QGroupBox>
#include <QWidget>
#include <array>
#include <vector>
#include "BoardAccess.h"
#include "ui_Ev710Param51x.h"
#include "ui_Ev710Param51xGroup.h"

class TGroupQVR51x : public QGroupBox, private Ui::TGroupQVR51x {
  Q_OBJECT
public:
  // NameChip is the chip number in the controls' names, HintChip the chip the hints name.
  TGroupQVR51x(TBoardAccess &Board, int MotorIndex, const QString &NameChip, const QString &HintChip, QWidget *parent);
  const int MotorIndex;

  void LoadSliderChange();   // the threshold of the slider's position, in one paused request
  void SendThreshold();      // the same request, inside a pause the caller holds
  void ShowLoad(uint8_t b2, uint8_t b1, uint8_t b0);
  void ShowFlags(uint8_t b2, uint8_t b1, uint8_t b0);

private:
  TBoardAccess &Board;
  std::vector<std::pair<int, TLedLittle *>> FlagLeds;  // status bit and its indicator
};

class TFormQVR51x : public QWidget, private Ui::TFormQVR51x {
  Q_OBJECT
public:
  explicit TFormQVR51x(TBoardAccess &Board, QWidget *parent = nullptr);
  TGroupQVR51x *Group(int MotorIndex) const { return Groups[size_t(MotorIndex)]; }

protected:
  void showEvent(QShowEvent *e) override;
  void closeEvent(QCloseEvent *e) override;

private:
  void FormShow();
  void SetDriverRowsFilter(int Filter);
  TBoardAccess &Board;
  std::array<TGroupQVR51x *, 3> Groups{};
};
