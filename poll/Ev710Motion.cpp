// The main window's motion commands: Go and Stop per motor and for all motors, and the
// buttons that show the other windows.
#include <QDialog>
#include <cstdlib>
#include "Ev710Main.h"
#include "Ev710Warn.h"
#include "MotionMath.h"
#include "SpinEdit.h"

namespace {
// Write address bytes of motor 1's registers; motor m adds 0x20 * m, a read adds 1.
constexpr uint8_t RegXTarget = 0x00, RegVMin = 0x04, RegVMax = 0x06, RegVTarget = 0x08,
                  RegVActual = 0x0A, RegAMax = 0x0C, RegPMulPDiv = 0x12, RegRampMode = 0x14,
                  RegDividers = 0x18;
constexpr uint8_t ReadFlag = 1;
constexpr int RampModeVelocity = 2, RampModeHold = 3;

uint8_t Byte(int v, int shift) { return uint8_t((v >> shift) & 0xFF); }
}  // namespace

int TFormMain::MotorOf(QObject *Sender, QObject *button2, QObject *button3) {
  return Sender == button2 ? 1 : Sender == button3 ? 2 : 0;
}

// Writes a register with the low 24 bits of v (two's complement), most significant first.
void TFormMain::WriteRegister24(uint8_t address, int v) {
  TransferDatagram(address, Byte(v, 16), Byte(v, 8), Byte(v, 0));
}

// Writes a register with data bytes 0, bits 15..8, bits 7..0 of v.
void TFormMain::WriteRegister16(uint8_t address, int v) { TransferDatagram(address, 0, Byte(v, 8), Byte(v, 0)); }

// Reads the ramp mode register and writes it back with only its low byte replaced.
void TFormMain::WriteRampMode(uint8_t motorBits, int mode) {
  TransferDatagram(RegRampMode + motorBits + ReadFlag, 0, 0, 0);
  TransferDatagram(RegRampMode + motorBits, ReplyValue[1], ReplyValue[2], uint8_t(mode));
}

void TFormMain::BtnGo1Click(QObject *Sender) {
  PausePolling();
  GoMotor(MotorOf(Sender, BtnGo2, BtnGo3));
  ResumePolling();
}

void TFormMain::BtnStop1Click(QObject *Sender) {
  PausePolling();
  StopMotor(MotorOf(Sender, BtnStop2, BtnStop3));
  ResumePolling();
}

void TFormMain::BtnGoAllClick() {
  PausePolling();
  for (QObject *button : {BtnGo1, BtnGo2, BtnGo3}) BtnGo1Click(button);
  ResumePolling();
}

void TFormMain::BtnStopAllClick() {
  PausePolling();
  for (QObject *button : {BtnStop1, BtnStop2, BtnStop3}) BtnStop1Click(button);
  ResumePolling();
}

// Asks through the warning dialog whether to start with an acceleration below the limit.
bool TFormMain::AccelerationAccepted(int aMax, int rampDiv, int pulseDiv) {
  const int limit = AccelerationLimit(rampDiv, pulseDiv);
  if (aMax >= limit) return true;
  TFormWarning *warning = Windows.FormWarning;
  if (!warning) return true;
  warning->SetNumber(QString::number(limit) + u',');
  return warning->NotifyChecked() || warning->exec() == QDialog::Accepted;
}

void TFormMain::GoMotor(int motor) {
  const TMotorEdits e = MotorEdits(motor);
  const uint8_t motorBits = uint8_t(0x20 * motor);
  const int aMax = e.AMax->Value(), vMax = e.VMax->Value(), vMin = e.VMin->Value();
  const int vTarget = e.VTarget->Value(), xTarget = e.XTarget->Value(), vActual = e.VActual->Value();
  const int mode = e.RampMode->currentIndex();
  bool proceed = false;
  if (mode < RampModeVelocity) {
    TransferDatagram(RegDividers + motorBits + ReadFlag, 0, 0, 0);
    const int rampDiv = ReplyValue[2] & 0xF, pulseDiv = ReplyValue[2] >> 4;
    proceed = AccelerationAccepted(aMax, rampDiv, pulseDiv);
    if (proceed) {
      const PMulPDiv p = ComputePMulPDiv(aMax, rampDiv, pulseDiv);
      TransferDatagram(RegPMulPDiv + motorBits, 0, uint8_t(p.PMul), uint8_t(p.PDiv));
    }
  }
  WriteRampMode(motorBits, mode);
  if (mode < RampModeVelocity && proceed) {
    WriteRegister24(RegAMax + motorBits, aMax);
    WriteRegister16(RegVMax + motorBits, vMax);
    WriteRegister16(RegVMin + motorBits, vMin);
    WriteRegister24(RegXTarget + motorBits, xTarget);
  } else if (mode == RampModeVelocity) {
    WriteRegister24(RegAMax + motorBits, aMax);
    WriteRegister16(RegVMax + motorBits, std::abs(vTarget));
    WriteRegister16(RegVTarget + motorBits, vTarget);
  } else if (mode == RampModeHold) {
    WriteRegister16(RegVActual + motorBits, vActual);
  }
}

void TFormMain::StopMotor(int motor) {
  const uint8_t motorBits = uint8_t(0x20 * motor);
  WriteRampMode(motorBits, RampModeVelocity);
  TransferDatagram(RegVTarget + motorBits, 0, 0, 0);
  TransferDatagram(RegVActual + motorBits, 0, 0, 0);
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
  if (BoardKind == 1) ShowToolWindow(Windows.FormBoard);
  else if (BoardKind == 2) ShowToolWindow(Windows.FormBoard51x);
}
