#include "Ev710Calc.h"

#include <algorithm>
#include <cmath>

namespace Ev710Calc {

namespace {

// The constants as the table has always been computed with: rounded decimal values, some held
// in extended precision. Changing them changes table entries that lie close to a rounding step.
constexpr long double QuarterPeriod = 1.570796326795L;
constexpr double ClipAngle = 0.7853981633974;
constexpr double ClippedRampSlope = 0.9003163161571;
constexpr long double TriangleSlope = 0.6366197723676L;
constexpr long double RoundingOffset = 0.5L;

}  // namespace

double ClippedRamp(double x) {
  static const double FlatLevel = 1.0 / std::sqrt(2.0);
  return x >= ClipAngle ? FlatLevel : ClippedRampSlope * x;
}

double SineWave(double x) { return std::sin(x); }

double TriangleRamp(double x) { return static_cast<double>(TriangleSlope * x); }

double ShapeValue(double x, double sigma) {
  const long double s = std::clamp(sigma, -1.0, 1.0);
  const long double sine = SineWave(x);
  if (sigma > 0) return static_cast<double>(sine + s * (ClippedRamp(x) - sine));
  return static_cast<double>(sine + s * (sine - TriangleRamp(x)));
}

void ShapeTable(double sigma, ShapeTableValues &table) {
  for (int i = 0; i < TableLength; ++i) {
    const double x = static_cast<double>(i * QuarterPeriod / TableLength);
    const long double scaled = TableScale * static_cast<long double>(ShapeValue(x, sigma)) + RoundingOffset;
    table[i] = std::clamp(static_cast<int>(scaled), 0, TableScale);
  }
}

}  // namespace Ev710Calc
