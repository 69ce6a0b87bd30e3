#include "MotionMath.h"
#include <cmath>

ctl::RegPMulPDiv ComputePMulPDiv(int AMax, int RampDiv, int PulseDiv) {
  const double m = AMax / (128.0 * std::ldexp(1.0, RampDiv - PulseDiv)) * 0.95;
  double best = -1.0;
  ctl::RegPMulPDiv result;
  for (int i = 0; i <= 13; ++i) {
    const double scale = std::ldexp(1.0, i + 3);
    const double product = std::trunc(scale * m);
    if (product < 128 || product > 255) continue;
    const int q = int(product);
    const double r = q / scale;
    if ((r <= m && std::fabs(r - best) < std::fabs(m - best)) || best < 0) {
      best = r;
      result = {q, i};
    }
  }
  return result;
}

int AccelerationLimit(int RampDiv, int PulseDiv) {
  return int(std::ceil(std::ldexp(1.0, RampDiv - PulseDiv - 1)));
}
