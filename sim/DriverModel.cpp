#include "DriverModel.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// Power-on settings of the newer drivers and the QVR550, the same for every driver: (parameter, code).
constexpr std::pair<int, int32_t> NewerDriverDefaults[] = {
    {140, 4}, {160, 1}, {161, 0}, {162, 2}, {163, 0}, {164, 0}, {165, 5}, {166, 3},
    {167, 4}, {184, 0}, {168, 0}, {169, 1}, {170, 15}, {171, 0}, {172, 2}, {173, 0},
    {174, 0}, {6, 16},  {175, 2}, {176, 2}, {177, 0}, {178, 0}, {179, 0}, {183, 0},
    {185, 0}, {186, 0}, {187, 0}, {188, 8}, {189, 0}, {181, 0}};
constexpr int32_t StallThresholdOff = 8;  // parameter 205
constexpr int OlderPwmMotor = 1;          // parameter 6 of motor 1: the QVR515's PWM value
constexpr int32_t OlderPwmDefault = 128;

}  // namespace

DriverModel::DriverModel(int kind) : kind_(kind) {
  for (int motor = 0; motor < 3; ++motor) {
    if (kind_ == 2) {
      parameters_[{205, motor}] = StallThresholdOff;
    } else {
      for (auto [number, code] : NewerDriverDefaults)
        parameters_[{number, motor}] = code;
    }
  }
  if (kind_ == 2)
    parameters_[{6, OlderPwmMotor}] = OlderPwmDefault;
}

int32_t DriverModel::Stored(int number, int motor) const {
  const auto it = parameters_.find({number, DriverOf(motor)});
  return it == parameters_.end() ? 0 : it->second;
}

bool DriverModel::IsStatus(int number) {
  return number == 180 || number == 182 || number == 206 || number == 207 || number == 208;
}

int32_t DriverModel::Get(int number, int motor, const MotorMotion &m) const {
  if (!IsStatus(number))
    return Stored(number, motor);
  return kind_ == 2 ? OlderStatus(number, motor, m) : NewerStatus(number, motor, m);
}

// The load value rises with speed and with the current reserve CS gives; a standing motor
// measures nothing. The low bits follow the position, so a trace of it looks alive.
int32_t DriverModel::LoadValue(int motor, const MotorMotion &m) const {
  if (m.Standing)
    return 0;
  const int32_t cs = Stored(6, motor) & 31;
  const double load = (150 + 700 * m.SpeedFraction) * (cs + 1) / 32.0;
  return std::clamp(int32_t(std::lround(load)) + (m.Position & 31), 0, 1023);
}

// The current scale in use: CS at standstill, falling toward the lower limit TLIMIN sets
// (CS/2 or CS/4) as the motor runs faster and its load gets lighter.
int32_t DriverModel::ThriftLevel(int motor, const MotorMotion &m) const {
  const int32_t cs = Stored(6, motor) & 31;
  if (m.Standing)
    return cs;
  const int32_t lowest = cs >> ((Stored(168, motor) & 1) + 1);
  return cs - int32_t(std::lround(m.SpeedFraction * (cs - lowest)));
}

int32_t DriverModel::NewerStatus(int number, int motor, const MotorMotion &m) const {
  switch (number) {
  case 180: return ThriftLevel(motor, m);
  case 206: return LoadValue(motor, m);
  case 182: return (m.Position * 4) & 0x3FF;
  case 208: return (m.Standing ? Standstill : 0) | forced_[DriverOf(motor) % 3];
  default: return 0;  // 207: LD_TST pin low
  }
}

int32_t DriverModel::OlderStatus(int number, int motor, const MotorMotion &m) const {
  switch (number) {
  case 206: return m.Standing ? 0 : std::clamp(int(std::lround(2 + 5 * m.SpeedFraction)), 0, 7);
  case 208: return forced_[motor % 3] | (m.Enabled ? 0 : OpenLoadAB);
  default: return 0;
  }
}

}  // namespace sim
