#include "MotionCommands.h"
#include <algorithm>
#include <cstdlib>
#include "Ev710Registers.h"
#include "MotionMath.h"

using namespace ctl;

namespace {

// Motors count 0..2 here and 1..3 in the register map.
void WriteMotorRegister(TBoardAccess &board, int motor, int index, const DataBytes &data) {
  board.TransferDatagram(MotorRegisterAddress(motor + 1, index, false), data[0], data[1], data[2]);
}

DataBytes ReadMotorRegister(TBoardAccess &board, int motor, int index) {
  return board.ReadDatagram(MotorRegisterAddress(motor + 1, index, true));
}

// Reads the ramp mode register and writes it back with only the ramp mode replaced.
void WriteRampMode(TBoardAccess &board, int motor, int mode) {
  const DataBytes old = ReadMotorRegister(board, motor, REF_CONF_RAMP_MODE);
  WriteMotorRegister(board, motor, REF_CONF_RAMP_MODE, {old[0], old[1], uint8_t(mode)});
}

}  // namespace

void GoMotor(TBoardAccess &Board, int Motor, const TMotion &m, const TAccelerationCheck &Accepted) {
  const bool positioning = m.Mode == RampModeRamp || m.Mode == RampModeSoft;
  bool proceed = false;
  if (positioning) {
    const DataBytes d = ReadMotorRegister(Board, Motor, DIVIDERS);
    const RegDividers dividers = DecodeDividers(d[0], d[1], d[2]);
    const int limit = AccelerationLimit(dividers.RAMPDIV, dividers.PULSDIV);
    proceed = m.AMax >= limit || Accepted(Motor, m.AMax, limit);
    if (proceed) {
      WriteMotorRegister(Board, Motor, P_MUL_P_DIV, ComposePMulPDiv(ComputePMulPDiv(m.AMax, dividers.RAMPDIV, dividers.PULSDIV)));
    }
  }
  WriteRampMode(Board, Motor, m.Mode);
  if (positioning && proceed) {
    WriteMotorRegister(Board, Motor, A_MAX, ComposeMotorValue(A_MAX, m.AMax));
    WriteMotorRegister(Board, Motor, V_MAX, ComposeMotorValue(V_MAX, m.VMax));
    WriteMotorRegister(Board, Motor, V_MIN, ComposeMotorValue(V_MIN, m.VMin));
    WriteMotorRegister(Board, Motor, X_TARGET, ComposeMotorValue(X_TARGET, m.XTarget));
  } else if (m.Mode == RampModeVelocity) {
    WriteMotorRegister(Board, Motor, A_MAX, ComposeMotorValue(A_MAX, m.AMax));
    // V_MAX holds 0..2047: a target of -2048 runs at the highest speed V_MAX allows.
    WriteMotorRegister(Board, Motor, V_MAX, ComposeMotorValue(V_MAX, std::min(std::abs(m.VTarget), 2047)));
    WriteMotorRegister(Board, Motor, V_TARGET, ComposeMotorValue(V_TARGET, m.VTarget));
  } else if (m.Mode == RampModeHold) {
    WriteMotorRegister(Board, Motor, V_ACTUAL, ComposeMotorValue(V_ACTUAL, m.VActual));
  }
}

void StopMotor(TBoardAccess &Board, int Motor) {
  WriteRampMode(Board, Motor, RampModeVelocity);
  WriteMotorRegister(Board, Motor, V_TARGET, {0, 0, 0});
  WriteMotorRegister(Board, Motor, V_ACTUAL, {0, 0, 0});
}
