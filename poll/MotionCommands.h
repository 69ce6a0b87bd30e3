#pragma once
// The requests of the main window's Go and Stop for one motor, without widgets, so that every
// front end moves the motors alike. Motors count 0..2. Each runs inside the caller's command
// (TPollingPause).
#include <functional>
#include "BoardAccess.h"

// What Go sends: the ramp mode and the values that mode uses.
struct TMotion {
  int Mode = 0, AMax = 0, VMax = 0, VMin = 0, XTarget = 0, VTarget = 0, VActual = 0;
};

// Asked when a positioning Go has a maximum acceleration below the smallest stable one (Limit):
// true goes on, false writes the ramp mode alone.
using TAccelerationCheck = std::function<bool(int Motor, int AMax, int Limit)>;

void GoMotor(TBoardAccess &Board, int Motor, const TMotion &Motion, const TAccelerationCheck &Accepted);
// Velocity mode with target and actual velocity 0.
void StopMotor(TBoardAccess &Board, int Motor);
