#pragma once
// TFormBoard51x: the older-driver board's settings: the motor drivers' enable and the QVR515's
// PWM value, which dragging the track bar streams to the board while the poll cycle is paused.
#include <QImage>
#include <QWidget>
#include <optional>
#include "BoardAccess.h"
#include "ui_Ev51xBoard.h"

class TFormBoard51x : public QWidget, private Ui::TFormBoard51x {
  Q_OBJECT
public:
  explicit TFormBoard51x(TBoardAccess &Board, QWidget *parent = nullptr);
  bool IsShown = false;

  void BtnEnableMotor1Click();
  void BtnDisableMotor1Click();
  void TrackBarPWMMouseDown() { PauseForDrag(); }
  void TrackBarPWMKeyDown() { PauseForDrag(); }
  void TrackBarPWMMouseUp() { EndDrag(); }
  void TrackBarPWMKeyUp() { EndDrag(); }
  void TrackBarPWMChange();
  bool Dragging() const { return DragPause.has_value(); }

protected:
  void showEvent(QShowEvent *e) override;
  void closeEvent(QCloseEvent *e) override;

private:
  void PauseForDrag();
  void EndDrag();
  void SendPwm();
  void SetDriversEnabled(bool Enable);
  void ShowPositionTip();
  void PBSliderPaint();
  TBoardAccess &Board;
  std::optional<TPollingPause> DragPause;  // held from a button or key going down to its going up
  bool PwmSending = false;   // a value is on its way: a newer one waits for its answer
  bool PwmChanged = false;   // the track bar moved while a value was on its way
  bool DragStalled = false;  // the board stopped answering during this drag: nothing more is sent
  QImage SliderPicture;
};
