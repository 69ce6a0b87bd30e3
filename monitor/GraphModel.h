#pragma once
// The graphics window's data: per motor four traces of 481 samples (value and the pixel row
// it is drawn at), the scales that follow the data, and the smoothed sample interval. Fixed
// arrays inside the object: nothing is allocated per sample. Plain C++, no widgets.
#include <QString>
#include <QByteArray>
#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

enum class TGraphTrace { Position, Velocity, Acceleration, TargetVelocity };

struct TGraphSample {
  int32_t Value = 0;
  int32_t Row = 0;
};

// One closed sample column of the three motors, as stored (velocities and acceleration as
// magnitudes), with the tick count of the cycle that took it.
struct TGraphColumn {
  uint32_t Tick = 0;
  std::array<std::array<int32_t, 4>, 3> Values{};  // by motor, by TGraphTrace
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
  TGraphColumn Column(int Index) const;
  // The closed columns a sample cycle took, oldest first; columns the window starts or clears
  // with are no samples.
  std::vector<TGraphColumn> TakenColumns() const;
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
  std::array<int64_t, Columns> Ticks{};  // by column: when its cycle began; -1: no cycle's
  int Count = 0;
  int64_t LastSampleTick = -1;  // -1: no previous sample
  int AverageInterval = -1;
  bool IntervalKnown = false;   // the last sample had a previous one to measure from
};

// What the window shows and holds. Live, the graph itself; paused, a copy of the graph as it
// was, while the graph goes on collecting and every column it closes meanwhile is kept too, so
// that nothing taken during the pause is lost even when it scrolls out of the graph.
class TGraphView {
public:
  static constexpr size_t MaxHeldColumns = 200000;  // about 10 MB; the oldest go first beyond

  void Pause(const TGraphModel &Live);
  void Resume();
  bool Paused() const { return Frozen.has_value(); }
  // After a sample step that closed a column of Live.
  void Collect(const TGraphModel &Live);

  const TGraphModel &Shown(const TGraphModel &Live) const { return Frozen ? *Frozen : Live; }
  // Live: the graph's taken columns; paused: those shown followed by all collected since.
  std::vector<TGraphColumn> HeldColumns(const TGraphModel &Live) const;

private:
  std::optional<TGraphModel> Frozen;
  std::deque<TGraphColumn> Held;
};

// The columns as CSV in the C locale: a header, then per motor one line per column with the
// milliseconds since the first column, position, velocity, target velocity and acceleration.
QByteArray GraphCsv(const std::vector<TGraphColumn> &Columns);

// The values a scale labels from Minimum upwards, one per twentieth of the range, the top
// end excluded.
std::vector<int> ScaleLabelValues(int Minimum, int Maximum);
