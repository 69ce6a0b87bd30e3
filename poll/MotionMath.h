#pragma once
// The arithmetic behind the main window's motion commands.
#include "Ev710Registers.h"

// The controller's acceleration pre-divider pair for a maximum acceleration under the given
// ramp and pulse dividers. Without a solution in 128..255 the result is P_MUL 128, P_DIV 0.
ctl::RegPMulPDiv ComputePMulPDiv(int AMax, int RampDiv, int PulseDiv);

// The smallest maximum acceleration that keeps the ramp stable: Ceil(2^(RampDiv - PulseDiv - 1)).
int AccelerationLimit(int RampDiv, int PulseDiv);
