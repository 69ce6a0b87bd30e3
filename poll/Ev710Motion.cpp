// The main window's motion commands: Go and Stop per motor and for all motors, and the
// buttons that show the other windows.
#include <QDialog>
#include <cstdlib>
#include "Ev710Main.h"
#include "Ev710Warn.h"
#include "Ev710Registers.h"
#include "MotionMath.h"
#include "SpinEdit.h"

using namespace ctl;

int TFormMain::MotorOf(QObject *Sender, QObject *button2, QObject *button3) {
  return Sender == button2 ? 1 : Sender == button3 ? 2 : 0;
}

// Motors count 0..2 here and 1..3 in the register map.
void TFormMain::WriteMotorRegister(int motor, int index, const DataBytes &data) {
  Session->TransferDatagram(MotorRegisterAddress(motor + 1, index, false), data[0], data[1], data[2]);
}

DataBytes TFormMain::ReadMotorRegister(int motor, int index) {
  Session->TransferDatagram(MotorRegisterAddress(motor + 1, index, true), 0, 0, 0);
  const auto &reply = Session->ReplyValue();
  return {reply[1], reply[2], reply[3]};
}

// Reads the ramp mode register and writes it back with only the ramp mode replaced.
void TFormMain::WriteRampMode(int motor, int mode) {
  const DataBytes old = ReadMotorRegister(motor, REF_CONF_RAMP_MODE);
  WriteMotorRegister(motor, REF_CONF_RAMP_MODE, {old[0], old[1], uint8_t(mode)});
}

void TFormMain::BtnGo1Click(QObject *Sender) {
  const int motor = MotorOf(Sender, BtnGo2, BtnGo3);
  const TMotion motion = ReadMotion(motor);
  TPollingPause pause(Board(), TCommandKind::Ordinary, GoTrigger(Sender));
  GoMotor(motor, motion);
}

void TFormMain::BtnStop1Click(QObject *Sender) {
  TPollingPause pause(Board(), TCommandKind::Stop);
  StopMotor(MotorOf(Sender, BtnStop2, BtnStop3));
}

// Every motor's edits are checked before the first motor starts.
void TFormMain::BtnGoAllClick() {
  const std::array<TMotion, 3> motions = {ReadMotion(0), ReadMotion(1), ReadMotion(2)};
  TPollingPause pause(Board(), TCommandKind::Ordinary, GoTrigger(BtnGoAll));
  for (int motor = 0; motor < 3; ++motor) {
    TPollingPause single(Board());
    GoMotor(motor, motions[size_t(motor)]);
  }
}

void TFormMain::BtnStopAllClick() {
  TPollingPause pause(Board(), TCommandKind::Stop);
  for (QObject *button : {BtnStop1, BtnStop2, BtnStop3}) BtnStop1Click(button);
}

// Asks through the warning dialog whether to start with an acceleration below the limit.
bool TFormMain::AccelerationAccepted(int motor, int aMax, int rampDiv, int pulseDiv) {
  const int limit = AccelerationLimit(rampDiv, pulseDiv);
  if (aMax >= limit) return true;
  TFormWarning *warning = Windows.FormWarning;
  if (!warning) return true;
  warning->SetMotor(motor + 1);
  warning->SetNumber(QString::number(limit) + u',');
  return warning->NotifyChecked() || warning->exec() == QDialog::Accepted;
}

// The values the motor's ramp mode uses, as its edits show them (see TSpinEdit::CheckedValue).
TFormMain::TMotion TFormMain::ReadMotion(int motor) {
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

void TFormMain::GoMotor(int motor, const TMotion &m) {
  const bool positioning = m.Mode == RampModeRamp || m.Mode == RampModeSoft;
  bool proceed = false;
  if (positioning) {
    const DataBytes d = ReadMotorRegister(motor, DIVIDERS);
    const RegDividers dividers = DecodeDividers(d[0], d[1], d[2]);
    proceed = AccelerationAccepted(motor, m.AMax, dividers.RAMPDIV, dividers.PULSDIV);
    if (proceed) {
      WriteMotorRegister(motor, P_MUL_P_DIV, ComposePMulPDiv(ComputePMulPDiv(m.AMax, dividers.RAMPDIV, dividers.PULSDIV)));
    }
  }
  WriteRampMode(motor, m.Mode);
  if (positioning && proceed) {
    WriteMotorRegister(motor, A_MAX, ComposeMotorValue(A_MAX, m.AMax));
    WriteMotorRegister(motor, V_MAX, ComposeMotorValue(V_MAX, m.VMax));
    WriteMotorRegister(motor, V_MIN, ComposeMotorValue(V_MIN, m.VMin));
    WriteMotorRegister(motor, X_TARGET, ComposeMotorValue(X_TARGET, m.XTarget));
  } else if (m.Mode == RampModeVelocity) {
    WriteMotorRegister(motor, A_MAX, ComposeMotorValue(A_MAX, m.AMax));
    // V_MAX holds 0..2047: a target of -2048 runs at the highest speed V_MAX allows.
    WriteMotorRegister(motor, V_MAX, ComposeMotorValue(V_MAX, std::min(std::abs(m.VTarget), 2047)));
    WriteMotorRegister(motor, V_TARGET, ComposeMotorValue(V_TARGET, m.VTarget));
  } else if (m.Mode == RampModeHold) {
    WriteMotorRegister(motor, V_ACTUAL, ComposeMotorValue(V_ACTUAL, m.VActual));
  }
}

void TFormMain::StopMotor(int motor) {
  WriteRampMode(motor, RampModeVelocity);
  WriteMotorRegister(motor, V_TARGET, {0, 0, 0});
  WriteMotorRegister(motor, V_ACTUAL, {0, 0, 0});
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
  if (Session->BoardKind() == 1) ShowToolWindow(Windows.FormBoard);
  else if (Session->BoardKind() == 2) ShowToolWindow(Windows.FormBoard51x);
}
