#include "ControllerModel.h"
#include "ControllerRam.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {

namespace {

constexpr double Span24 = 16777216.0;   // 2^24
constexpr double Half24 = 8388608.0;    // 2^23
constexpr double MaxStepSeconds = 1e-3; // ramp generator resolution

// Bits a write stores, per register index; 0 marks a read-only register.
constexpr std::array<uint32_t, 16> MotorWriteMask = {
    0xFFFFFF, 0xFFFFFF, 0xFFF, 0xFFF, 0xFFF, 0xFFF, 0xFFF, 0,
    0xFFF7FF, 0xFF0F,   0x0F03, 0xFFFF, 0xFF07, 0xFFF, 0, 0};
constexpr std::array<uint32_t, 16> GlobalWriteMask = {
    0xFFFFFF, 0xFFFFFF, 0x3F1F, 0xFFFFFF, 0x1FF, 0xFFFFFF, 0x101, 0xFFFFFF,
    0xFFFFFF, 0,        0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0, 0x31FFFF};

double WrapPosition(double pos) {
  if (pos >= Half24 || pos < -Half24)
    pos -= Span24 * std::floor((pos + Half24) / Span24);
  return pos;
}

}  // namespace

int32_t SignExtend(uint32_t value, int bits) {
  const uint32_t mask = (bits >= 32) ? 0xFFFFFFFFu : ((1u << bits) - 1);
  value &= mask;
  const uint32_t sign = 1u << (bits - 1);
  return static_cast<int32_t>((value ^ sign) - sign);
}

uint32_t Wrap24(int64_t value) { return static_cast<uint32_t>(value) & 0xFFFFFF; }

ControllerModel::ControllerModel() : ram_(PowerOnRam()) {
  for (Motor &m : motors_)
    m.reg[Dividers] = (PowerOnPulseDiv << 12) | (PowerOnRampDiv << 8);
}

std::array<uint8_t, 4> ControllerModel::Transfer(const std::array<uint8_t, 4> &datagram) {
  const uint8_t address = datagram[0];
  const bool read = address & 1;
  const uint32_t data = (uint32_t(datagram[1]) << 16) | (uint32_t(datagram[2]) << 8) | datagram[3];
  uint32_t answer = 0;
  if (address & 0x80) {
    const int pair = (address >> 1) & 0x3F;
    if (!read)
      ram_[pair] = static_cast<uint16_t>(data & 0xFFFF);
    answer = ReadRamPair(pair);
  } else {
    const int set = (address >> 5) & 3;
    const int index = (address >> 1) & 0xF;
    if (!read)
      WriteRegister(set, index, data);
    answer = ReadRegister(set, index);
  }
  return {Status(), uint8_t(answer >> 16), uint8_t(answer >> 8), uint8_t(answer)};
}

uint8_t ControllerModel::Status() const {
  uint8_t status = 0;
  for (int i = 0; i < MotorCount; ++i) {
    const Motor &m = motors_[i];
    if (ReadMotorRegister(m, XActual) == m.reg[XTarget])
      status |= uint8_t(1u << (2 * i));
    if (ReferenceSwitchOf(i))
      status |= uint8_t(2u << (2 * i));
    if (m.flags & (m.reg[Interrupts] >> 8))
      status |= Interrupt;
  }
  if (coverWaiting_)
    status |= CoverWaiting;
  return status;
}

uint32_t ControllerModel::ReadRegister(int set, int index) const {
  index &= 0xF;
  if (set >= 0 && set < MotorCount)
    return ReadMotorRegister(motors_[set], index);
  switch (index) {
  case ChipType: return ChipTypeAndRevision;
  case RefSwitches: return refSwitches_;
  default: return global_[index];
  }
}

void ControllerModel::WriteRegister(int set, int index, uint32_t data) {
  index &= 0xF;
  data &= 0xFFFFFF;
  if (set >= 0 && set < MotorCount) {
    WriteMotorRegister(motors_[set], index, data);
    return;
  }
  global_[index] = data & GlobalWriteMask[index];
  if (index == CoverTelegram)
    coverWaiting_ = true;  // sent on the chip's next driver update
}

uint32_t ControllerModel::ReadRamPair(int pair) const { return ram_[pair & 0x3F]; }

uint32_t ControllerModel::ReadMotorRegister(const Motor &m, int index) const {
  switch (index) {
  case XActual: return Wrap24(static_cast<int64_t>(std::floor(m.pos)));
  case VActual: return static_cast<uint32_t>(std::clamp<long>(std::lround(m.v), -2048, 2047)) & 0xFFF;
  case AActual: return static_cast<uint32_t>(std::clamp(m.aActual, -2048, 2047)) & 0xFFF;
  case RefConfRampMode: return m.reg[index] | (m.lp ? LpBit : 0);
  case Interrupts: return (m.reg[index] & 0xFF00) | m.flags;
  case MicrostepCount: return ReadMotorRegister(m, XActual) & 0xFF;
  default: return m.reg[index];
  }
}

void ControllerModel::WriteMotorRegister(Motor &m, int index, uint32_t data) {
  switch (index) {
  case XActual: m.pos = SignExtend(data, 24); break;
  case VActual: m.v = SignExtend(data, 12); break;
  case RefConfRampMode:
    if (!(data & LpBit))
      m.lp = false;  // LP can only be cleared
    break;
  case Interrupts:
    m.flags &= uint8_t(~data);  // a flag written as 1 is acknowledged
    break;
  default: break;
  }
  m.reg[index] = data & MotorWriteMask[index];
}

void ControllerModel::SetReferenceSwitches(uint8_t bits) {
  std::array<bool, MotorCount> before{};
  for (int i = 0; i < MotorCount; ++i)
    before[i] = ReferenceSwitchOf(i);
  refSwitches_ = bits & 0x3F;
  for (int i = 0; i < MotorCount; ++i) {
    Motor &m = motors_[i];
    if (ReferenceSwitchOf(i) && !before[i]) {
      m.reg[XLatched] = ReadMotorRegister(m, XActual);
      m.lp = true;
    }
  }
}

// REF_RnL (REF_CONF bit 3) chooses the right switch as the motor's reference switch.
bool ControllerModel::ReferenceSwitchOf(int motor) const {
  const bool right = motors_[motor].reg[RefConfRampMode] & 0x800;
  return refSwitches_ & (1u << (2 * motor + (right ? 0 : 1)));
}

double ControllerModel::StepRate(int motor) const {
  return motors_[motor].v * StepsPerVelocityUnit(motors_[motor]);
}

double ControllerModel::SpeedFraction(int motor) const {
  const Motor &m = motors_[motor];
  const double vmax = std::max<double>(m.reg[VMax], 1.0);
  return std::min(std::fabs(m.v) / vmax, 1.0);
}

int ControllerModel::RampModeOf(const Motor &m) { return m.reg[RefConfRampMode] & 3; }

double ControllerModel::StepsPerVelocityUnit(const Motor &m) {
  const int pulsDiv = (m.reg[Dividers] >> 12) & 0xF;
  return ClockHz / std::ldexp(1.0, pulsDiv + 16);
}

double ControllerModel::VelocityUnitsPerSecondPerA(const Motor &m) {
  const int rampDiv = (m.reg[Dividers] >> 8) & 0xF;
  return ClockHz / std::ldexp(1.0, rampDiv + 13);
}

double ControllerModel::DistanceToTarget(const Motor &m) {
  const double whole = std::floor(m.pos);
  const int32_t steps = SignExtend(Wrap24(int64_t(m.reg[XTarget]) - static_cast<int64_t>(whole)), 24);
  return steps - (m.pos - whole);
}

void ControllerModel::AdvanceTime(double seconds) {
  if (seconds > 0)
    coverWaiting_ = false;
  for (Motor &m : motors_)
    AdvanceMotor(m, seconds);
}

void ControllerModel::AdvanceMotor(Motor &m, double seconds) {
  while (seconds > 0) {
    if (Steady(m)) {
      Drift(m, seconds);
      return;
    }
    const double dt = std::min(seconds, MaxStepSeconds);
    if (!StepMotor(m, dt))
      return;
    seconds -= dt;
  }
}

// A motor whose motion is plain constant speed (or standing) can skip ahead in one go.
bool ControllerModel::Steady(const Motor &m) const {
  switch (RampModeOf(m)) {
  case Velocity:  // at its target speed, or with A_MAX 0 unable to change it
    return m.v == SignExtend(m.reg[VTarget], 12) || m.reg[AMax] == 0;
  case Hold: return true;
  default: return m.v == 0 && DistanceToTarget(m) == 0;
  }
}

void ControllerModel::Drift(Motor &m, double seconds) {
  m.aActual = 0;
  m.pos = WrapPosition(m.pos + m.v * StepsPerVelocityUnit(m) * seconds);
}

bool ControllerModel::StepMotor(Motor &m, double dt) {
  const int mode = RampModeOf(m);
  if (mode == Ramp || mode == SoftMode)
    return StepPositioning(m, dt, mode == SoftMode);
  // VELOCITY: V_ACTUAL moves towards V_TARGET at A_MAX.
  const double target = SignExtend(m.reg[VTarget], 12);
  const double dv = m.reg[AMax] * VelocityUnitsPerSecondPerA(m) * dt;
  const double v = m.v < target ? std::min(m.v + dv, target) : std::max(m.v - dv, target);
  m.aActual = v == m.v ? 0 : (v > m.v ? int(m.reg[AMax]) : -int(m.reg[AMax]));
  m.pos = WrapPosition(m.pos + (m.v + v) / 2 * StepsPerVelocityUnit(m) * dt);
  m.v = v;
  return true;
}

// RAMP: accelerate at A_MAX up to V_MAX, brake at A_MAX so as to arrive at X_TARGET;
// V_MIN is the start and final speed. SOFTMODE: the same, but near the target the speed
// follows the remaining distance, so the approach slows down exponentially.
bool ControllerModel::StepPositioning(Motor &m, double dt, bool soft) {
  const double d = DistanceToTarget(m);
  if (d == 0) {
    const bool wasMoving = m.v != 0;
    m.v = 0;
    m.aActual = 0;
    m.reg[VTarget] = 0;
    if (wasMoving)
      m.flags |= PosEndFlag;
    return wasMoving;
  }
  const double dir = d > 0 ? 1 : -1;
  const double distance = std::fabs(d);
  const double kv = StepsPerVelocityUnit(m);
  const double accel = m.reg[AMax] * VelocityUnitsPerSecondPerA(m);  // units per second
  const double vmax = m.reg[VMax];
  const double slowest = std::min(std::max<double>(m.reg[VMin], 1.0), vmax);
  const double dv = accel * dt;
  const double speed = m.v * dir;  // along the way to the target; negative: wrong way

  double next;
  if (speed < 0) {
    next = std::min(speed + dv, vmax);  // brake, then turn round
  } else {
    const double stopDistance = accel > 0 ? speed * speed * kv / (2 * accel) : distance;
    const bool braking = !soft && stopDistance + speed * kv * dt >= distance;
    if (braking)
      next = speed - dv;
    else if (speed > vmax)
      next = std::max(speed - dv, vmax);
    else
      next = std::min(speed + dv, vmax);
    if (soft && accel > 0 && vmax > 0) {
      // v = distance / tau, with tau the time A_MAX takes from V_MAX to a stop; the decay
      // ends at an eighth of V_MAX (or V_MIN) so that the final approach does not crawl.
      next = std::min(next, std::max(distance * accel / (kv * vmax), std::max(slowest, vmax / 8)));
    }
    next = std::max(next, slowest);
  }
  const double travel = (speed + next) / 2 * kv * dt;
  if (travel >= distance) {
    m.pos = SignExtend(m.reg[XTarget], 24);
    m.v = 0;
    m.aActual = 0;
    m.reg[VTarget] = 0;
    m.flags |= PosEndFlag;
    return true;
  }
  // V_TARGET shows where the ramp generator is heading: V_MAX, or while braking the speed
  // that still stops at the target.
  const double reachable = accel > 0 ? std::sqrt(2 * accel * (distance - travel) / kv) : vmax;
  m.reg[VTarget] = static_cast<uint32_t>(std::lround(std::min(vmax, std::max(reachable, slowest)) * dir)) & 0xFFF;
  if (next == 0 && speed == 0)
    return false;  // V_MAX 0: cannot move
  // The jump to V_MIN at a start is a start speed, not acceleration: A_ACTUAL stays within A_MAX.
  const long rate = std::lround((next - speed) * dir / (VelocityUnitsPerSecondPerA(m) * dt));
  m.aActual = static_cast<int>(std::clamp<long>(rate, -long(m.reg[AMax]), long(m.reg[AMax])));
  m.pos = WrapPosition(m.pos + travel * dir);
  m.v = next * dir;
  return true;
}

}  // namespace sim
