// The main window's motion commands: Go and Stop per motor and for all motors, and the
// buttons that show the other windows.
#include <QDialog>
#include "Ev710Main.h"
#include "Ev710Warn.h"
#include "Ev710Registers.h"
#include "SpinEdit.h"

using namespace ctl;

int TFormMain::MotorOf(QObject *Sender, QObject *button2, QObject *button3) {
  return Sender == button2 ? 1 : Sender == button3 ? 2 : 0;
}

void TFormMain::BtnGo1Click(QObject *Sender) {
  const int motor = MotorOf(Sender, BtnGo2, BtnGo3);
  const TMotion motion = ReadMotion(motor);
  TPollingPause pause(Board(), TCommandKind::Ordinary, GoTrigger(Sender));
  Go(motor, motion);
}

void TFormMain::BtnStop1Click(QObject *Sender) {
  TPollingPause pause(Board(), TCommandKind::Stop);
  StopMotor(Board(), MotorOf(Sender, BtnStop2, BtnStop3));
}

// Every motor's edits are checked before the first motor starts.
void TFormMain::BtnGoAllClick() {
  const std::array<TMotion, 3> motions = {ReadMotion(0), ReadMotion(1), ReadMotion(2)};
  TPollingPause pause(Board(), TCommandKind::Ordinary, GoTrigger(BtnGoAll));
  for (int motor = 0; motor < 3; ++motor) {
    TPollingPause single(Board());
    Go(motor, motions[size_t(motor)]);
  }
}

void TFormMain::BtnStopAllClick() {
  TPollingPause pause(Board(), TCommandKind::Stop);
  for (QObject *button : {BtnStop1, BtnStop2, BtnStop3}) BtnStop1Click(button);
}

// Asks through the warning dialog whether to start with an acceleration below the limit.
bool TFormMain::AccelerationAccepted(int motor, int limit) {
  TFormWarning *warning = Windows.FormWarning;
  if (!warning) return true;
  warning->SetMotor(motor + 1);
  warning->SetNumber(QString::number(limit) + u',');
  return warning->NotifyChecked() || warning->exec() == QDialog::Accepted;
}

// The values the motor's ramp mode uses, as its edits show them (see TSpinEdit::CheckedValue).
TMotion TFormMain::ReadMotion(int motor) {
  const TMotorEdits e = MotorEdits(motor);
  TMotion m;
  m.Mode = e.RampMode->currentIndex();
  if (m.Mode != RampModeHold) m.AMax = e.AMax->CheckedValue();
  if (m.Mode == RampModeRamp || m.Mode == RampModeSoft) {
    m.VMax = e.VMax->CheckedValue();
    m.VMin = e.VMin->CheckedValue();
    m.XTarget = e.XTarget->CheckedValue();
  }
  if (m.Mode == RampModeVelocity) m.VTarget = e.VTarget->CheckedValue();
  if (m.Mode == RampModeHold) m.VActual = e.VActual->CheckedValue();
  return m;
}

void TFormMain::Go(int motor, const TMotion &m) {
  GoMotor(Board(), motor, m, [this](int motor, int, int limit) { return AccelerationAccepted(motor, limit); });
}

TFormMain::TMotorEdits TFormMain::MotorEdits(int motor) const {
  switch (motor) {
    case 1: return {EditXTarget2, EditVTarget2, EditVMin2, EditVMax2, EditAMax2, EditVActual2, CbRampMode2};
    case 2: return {EditXTarget3, EditVTarget3, EditVMin3, EditVMax3, EditAMax3, EditVActual3, CbRampMode3};
    default: return {EditXTarget1, EditVTarget1, EditVMin1, EditVMax1, EditAMax1, EditVActual1, CbRampMode1};
  }
}

// --- Buttons that show the other windows ------------------------------------------------------

namespace {
void ShowToolWindow(QWidget *w) {
  if (!w) return;
  w->show();
  w->raise();
  w->activateWindow();
}
}  // namespace

void TFormMain::BtnCmd705Click() { ShowToolWindow(Windows.FormAdvanced); }
void TFormMain::BtnGraphicsClick() { ShowToolWindow(Windows.FormGraphics); }
void TFormMain::BtnLoggingClick() { ShowToolWindow(Windows.FormLogging); }
void TFormMain::BtnQVR533Click() { ShowToolWindow(Windows.FormQVR533); }
void TFormMain::BtnQVR515Click() { ShowToolWindow(Windows.FormQVR51x); }
void TFormMain::BtnQVR550Click() { ShowToolWindow(Windows.FormQVR550); }
void TFormMain::BtnQVR730Click() { ShowToolWindow(Windows.FormQVR730); }
void TFormMain::BtnBoardClick() {
  if (Session->Identity().Kind == TBoardKind::NewerDrivers) ShowToolWindow(Windows.FormBoard);
  else if (Session->Identity().Kind == TBoardKind::OlderDrivers) ShowToolWindow(Windows.FormBoard51x);
}
