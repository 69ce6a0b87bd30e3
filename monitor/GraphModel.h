#pragma once
// The graphics window's data: per motor four traces of 481 samples (value and the pixel row
// it is drawn at), the scales that follow the data, and the smoothed sample interval. Fixed
// arrays inside the object: nothing is allocated per sample. Plain C++, no widgets.
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

enum class TGraphTrace { Position, Velocity, Acceleration, TargetVelocity };

struct TGraphSample {
  int32_t Value = 0;
  int32_t Row = 0;
};

struct TMotorScale {
  int VelocityRange = 100, AccelerationRange = 100, TargetVelocityRange = 100;
  int PositionMax = 5000, PositionMin = 0;
  std::array<double, 4> Factor{};  // pixels per unit, by TGraphTrace
};

class TGraphModel {
public:
  static constexpr int Columns = 481;     // sample columns 0..480, oldest first
  static constexpr int LastColumn = Columns - 1;
  static constexpr int PlotBottom = 431;  // pixel row of the range's minimum
  static constexpr int PlotHeight = 420;  // pixel height of the full range
  using TTraceSamples = std::array<TGraphSample, Columns>;

  TGraphModel();  // the state after the window's creation

  // Stores a value in the column being filled (velocities and accelerations as magnitudes).
  void SetSample(TGraphTrace Trace, int Value, int Motor);

  struct TStep {
    bool Stopped = false;                  // the time axis stands still (nothing advanced)
    std::array<bool, 3> Rescaled{};        // motors whose scales were recomputed
  };
  // Closes the column being filled and opens the next, scrolling once all are used; then fits
  // the scales to the data. With StopWhenStill, a column where all three motors stand (and
  // stood in the previous one) is kept open instead. Now: the millisecond tick count.
  TStep NextSample(bool StopWhenStill, uint32_t Now);

  void Clear();
  void RescaleMotor(int Motor);

  int SampleCount() const { return Count; }
  const TTraceSamples &Samples(int Motor, TGraphTrace Trace) const { return Traces[Motor][int(Trace)]; }
  const TMotorScale &Scale(int Motor) const { return Scales[Motor]; }
  // The smoothed interval between samples as the label shows it after the last sample that
  // advanced: "---" when it had no previous sample (after Clear or a stop).
  QString IntervalText() const;

private:
  int RowOf(TGraphTrace Trace, int Value, const TMotorScale &s) const;
  bool StandsStill() const;
  bool FitScales(int Motor);

  std::array<std::array<TTraceSamples, 4>, 3> Traces{};
  std::array<TMotorScale, 3> Scales{};
  int Count = 0;
  int64_t LastSampleTick = -1;  // -1: no previous sample
  int AverageInterval = -1;
  bool IntervalKnown = false;   // the last sample had a previous one to measure from
};

// The values a scale labels from Minimum upwards, one per twentieth of the range, the top
// end excluded.
std::vector<int> ScaleLabelValues(int Minimum, int Maximum);
