#include "GraphModel.h"
#include <algorithm>
#include <cstdlib>

namespace {
constexpr int PositionStep = 5000;  // position scales are multiples of this
constexpr int RangeStep = 100;      // velocity and acceleration scales are multiples of this

// Up to the next multiple of 100, at least 100.
int RoundedRange(int largest) {
  const int range = largest / RangeStep * RangeStep + (largest % RangeStep ? RangeStep : 0);
  return range < RangeStep ? RangeStep : range;
}
}  // namespace

TGraphModel::TGraphModel() {
  Clear();
  for (TMotorScale &s : Scales) {
    s.PositionMax = PositionStep;
    s.PositionMin = 0;
    s.VelocityRange = s.AccelerationRange = s.TargetVelocityRange = RangeStep;
  }
}

int TGraphModel::RowOf(TGraphTrace Trace, int Value, const TMotorScale &s) const {
  const double offset = Trace == TGraphTrace::Position ? std::abs(s.PositionMin) : 0;
  return PlotBottom - int((Value + offset) * s.Factor[int(Trace)]);
}

void TGraphModel::SetSample(TGraphTrace Trace, int Value, int Motor) {
  const int stored = Trace == TGraphTrace::Position ? Value : std::abs(Value);
  Traces[Motor][int(Trace)][Count] = {stored, RowOf(Trace, stored, Scales[Motor])};
}

bool TGraphModel::StandsStill() const {
  for (const auto &motor : Traces) {
    const TTraceSamples &v = motor[int(TGraphTrace::Velocity)];
    if (v[Count - 1].Value != 0 || v[Count].Value != 0) return false;
  }
  return true;
}

TGraphModel::TStep TGraphModel::NextSample(bool StopWhenStill, uint32_t Now) {
  TStep step;
  if (StopWhenStill && Count > 0 && StandsStill()) {
    Ticks[Count] = Now;  // the open column is taken again by this cycle
    LastSampleTick = -1;
    step.Stopped = true;
    return step;
  }
  if (Count < LastColumn) {
    ++Count;
  } else {
    for (auto &motor : Traces)
      for (TTraceSamples &t : motor) std::copy(t.begin() + 1, t.end(), t.begin());
    std::copy(Ticks.begin() + 1, Ticks.end(), Ticks.begin());
  }
  Ticks[Count] = Now;
  for (int m = 0; m < 3; ++m) step.Rescaled[m] = FitScales(m);

  IntervalKnown = LastSampleTick >= 0;
  if (!IntervalKnown) {
    AverageInterval = 0;
  } else {
    const uint32_t elapsed = Now - uint32_t(LastSampleTick);  // right across the tick's wrap
    AverageInterval = int((int64_t(elapsed) + AverageInterval) / 2);
  }
  LastSampleTick = Now;
  return step;
}

// Recomputes the motor's ranges from its largest and smallest values when any differs from
// the range it is compared with, and rescales. Returns whether it did.
bool TGraphModel::FitScales(int Motor) {
  int velocity = -1, acceleration = -1, target = -1, largest = -1, smallest = 0;
  const auto &t = Traces[Motor];
  for (int i = 0; i < Columns; ++i) {
    velocity = std::max(velocity, t[int(TGraphTrace::Velocity)][i].Value);
    acceleration = std::max(acceleration, t[int(TGraphTrace::Acceleration)][i].Value);
    target = std::max(target, t[int(TGraphTrace::TargetVelocity)][i].Value);
    largest = std::max(largest, t[int(TGraphTrace::Position)][i].Value);
    smallest = std::min(smallest, t[int(TGraphTrace::Position)][i].Value);
  }
  TMotorScale &s = Scales[Motor];
  if (velocity == s.VelocityRange && acceleration == s.AccelerationRange && target == s.TargetVelocityRange &&
      largest == s.PositionMax && smallest == s.PositionMin)
    return false;
  s.VelocityRange = RoundedRange(velocity);
  s.AccelerationRange = RoundedRange(acceleration);
  s.TargetVelocityRange = RoundedRange(target);
  // The minimum rounds down (it is never positive); the maximum rounds up, to at least one
  // step above a minimum of 0.
  s.PositionMin = smallest / PositionStep * PositionStep - (smallest % PositionStep ? PositionStep : 0);
  int maximum = largest / PositionStep * PositionStep;
  if (s.PositionMin == 0 && maximum < PositionStep) maximum = PositionStep;
  s.PositionMax = maximum + (largest % PositionStep ? PositionStep : 0);
  RescaleMotor(Motor);
  return true;
}

void TGraphModel::RescaleMotor(int Motor) {
  TMotorScale &s = Scales[Motor];
  s.Factor[int(TGraphTrace::Velocity)] = double(PlotHeight) / s.VelocityRange;
  s.Factor[int(TGraphTrace::Position)] = double(PlotHeight) / (s.PositionMax - s.PositionMin);
  s.Factor[int(TGraphTrace::Acceleration)] = double(PlotHeight) / s.AccelerationRange;
  s.Factor[int(TGraphTrace::TargetVelocity)] = double(PlotHeight) / s.TargetVelocityRange;
  for (int trace = 0; trace < 4; ++trace)
    for (TGraphSample &sample : Traces[Motor][trace]) sample.Row = RowOf(TGraphTrace(trace), sample.Value, s);
}

void TGraphModel::Clear() {
  for (auto &motor : Traces)
    for (TTraceSamples &t : motor) t.fill({0, PlotBottom});
  for (TMotorScale &s : Scales) {
    s.Factor = {double(PlotHeight) / 16777215, double(PlotHeight) / 2047, double(PlotHeight) / 2047,
                double(PlotHeight) / 2047};
    s.PositionMax = 2 * PositionStep;
    s.PositionMin = 0;
    s.VelocityRange = s.AccelerationRange = RangeStep;  // the target velocity range stays
  }
  Ticks.fill(-1);
  Count = 0;
  LastSampleTick = -1;
  AverageInterval = -1;
  IntervalKnown = false;
}

TGraphColumn TGraphModel::Column(int Index) const {
  TGraphColumn column{uint32_t(Ticks[Index]), {}};
  for (int m = 0; m < 3; ++m)
    for (int trace = 0; trace < 4; ++trace) column.Values[m][trace] = Traces[m][trace][Index].Value;
  return column;
}

std::vector<TGraphColumn> TGraphModel::TakenColumns() const {
  std::vector<TGraphColumn> columns;
  for (int i = 0; i < Count; ++i)
    if (Ticks[i] >= 0) columns.push_back(Column(i));
  return columns;
}

void TGraphView::Pause(const TGraphModel &Live) {
  Frozen = Live;
  const std::vector<TGraphColumn> shown = Live.TakenColumns();
  Held.assign(shown.begin(), shown.end());
}

void TGraphView::Resume() {
  Frozen.reset();
  Held.clear();
}

void TGraphView::Collect(const TGraphModel &Live) {
  if (!Frozen) return;
  Held.push_back(Live.Column(Live.SampleCount() - 1));
  if (Held.size() > MaxHeldColumns) Held.pop_front();
}

std::vector<TGraphColumn> TGraphView::HeldColumns(const TGraphModel &Live) const {
  if (!Frozen) return Live.TakenColumns();
  return {Held.begin(), Held.end()};
}

QByteArray GraphCsv(const std::vector<TGraphColumn> &Columns) {
  QByteArray csv = "motor,time_ms,position,velocity,target_velocity,acceleration\n";
  const auto field = [&csv](int64_t value, char end) { csv += QByteArray::number(value) + end; };
  for (int m = 0; m < 3; ++m)
    for (const TGraphColumn &c : Columns) {
      field(m + 1, ',');
      field(uint32_t(c.Tick - Columns.front().Tick), ',');  // right across the tick's wrap
      const auto &v = c.Values[m];
      field(v[int(TGraphTrace::Position)], ',');
      field(v[int(TGraphTrace::Velocity)], ',');
      field(v[int(TGraphTrace::TargetVelocity)], ',');
      field(v[int(TGraphTrace::Acceleration)], '\n');
    }
  return csv;
}

QString TGraphModel::IntervalText() const {
  if (!IntervalKnown) return QStringLiteral("---");
  return QString::number(AverageInterval / 10 * 10);
}

std::vector<int> ScaleLabelValues(int Minimum, int Maximum) {
  std::vector<int> values;
  const int step = (Maximum - Minimum) / 20;
  if (step <= 0) return {Minimum};
  for (int v = Minimum; v < Maximum; v += step) values.push_back(v);
  return values;
}
