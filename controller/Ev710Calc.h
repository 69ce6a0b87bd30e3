#pragma once
// Microstep waveform shaping: one quarter period of the coil current as 64 table values 0..63,
// shaped by sigma in -1..+1. Sigma 0 is a sine, -1 a straight ramp (a triangle wave), +1 a ramp
// cut off flat at 1/sqrt(2) of full scale; values in between blend linearly between the sine and
// the nearer of the two. Pure functions, no state.
#include <array>

namespace Ev710Calc {

constexpr int TableLength = 64;
constexpr int TableScale = 63;
using ShapeTableValues = std::array<int, TableLength>;

// 1/sqrt(2) from x = 0.7853981633974 on, below it the slope 0.9003163161571 times x.
double ClippedRamp(double x);
double SineWave(double x);
// 0.6366197723676 times x (about 2/pi, so the ramp reaches 1 at a quarter period).
double TriangleRamp(double x);
// The blend at angle x; sigma beyond -1..+1 counts as -1 or +1.
double ShapeValue(double x, double sigma);
// Entry i at angle i * quarter period / 64, scaled to 63, rounded half up and kept in 0..63.
void ShapeTable(double sigma, ShapeTableValues &table);

}  // namespace Ev710Calc
