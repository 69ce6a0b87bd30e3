#pragma once
// The arithmetic behind the main window's motion commands.

struct PMulPDiv {
  int PMul = 128;
  int PDiv = 0;
  bool operator==(const PMulPDiv &) const = default;
};

// The controller's acceleration pre-divider pair for a maximum acceleration under the given
// ramp and pulse dividers. Without a solution in 128..255 the result is PMul 128, PDiv 0.
PMulPDiv ComputePMulPDiv(int AMax, int RampDiv, int PulseDiv);

// The smallest maximum acceleration that keeps the ramp stable: Ceil(2^(RampDiv - PulseDiv - 1)).
int AccelerationLimit(int RampDiv, int PulseDiv);
