#include "BoardModel.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

std::array<uint8_t, 4> ValueBytes(int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

std::array<uint8_t, 4> PayloadOf(const Frame &frame) {
  return {frame[4], frame[5], frame[6], frame[7]};
}

int32_t ValueOf(const std::array<uint8_t, 4> &b) {
  return static_cast<int32_t>((uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) |
                              (uint32_t(b[2]) << 8) | b[3]);
}

}  // namespace

uint8_t Checksum(const Frame &frame) {
  unsigned sum = 0;
  for (int i = 0; i < 8; ++i)
    sum += frame[i];
  return uint8_t(sum);
}

int32_t FrameValue(const Frame &frame) { return ValueOf(PayloadOf(frame)); }

Frame MakeRequestBytes(uint8_t command, uint8_t type, uint8_t motor,
                       const std::array<uint8_t, 4> &bytes, uint8_t address) {
  Frame f{address, command, type, motor, bytes[0], bytes[1], bytes[2], bytes[3], 0};
  f[8] = Checksum(f);
  return f;
}

Frame MakeRequest(uint8_t command, uint8_t type, uint8_t motor, int32_t value, uint8_t address) {
  return MakeRequestBytes(command, type, motor, ValueBytes(value), address);
}

// ---------------------------------------------------------------------------------------
// Encoder chip

EncoderModel::EncoderModel() { prescaler_.fill(0x010000); }  // prescaler 1, "/16"

// Prescaler layout: integer part 22..16, numerator 15..12, bit 23 "/5" instead of "/16",
// bit 7 inverts the direction.
double EncoderModel::Scale(int encoder) const {
  const uint32_t ps = prescaler_[encoder];
  const double denominator = (ps & 0x800000) ? 5.0 : 16.0;
  const double scale = ((ps >> 16) & 0x7F) + ((ps >> 12) & 0xF) / denominator;
  return (ps & 0x80) ? -scale : scale;
}

void EncoderModel::AddMotorSteps(int encoder, double steps) {
  double &pos = position_[encoder];
  pos += steps * Scale(encoder);
  pos -= 16777216.0 * std::floor((pos + 8388608.0) / 16777216.0);
}

int32_t EncoderModel::PositionOf(int encoder) const {
  return SignExtend(Wrap24(static_cast<int64_t>(std::floor(position_[encoder]))), 24);
}

std::array<uint8_t, 4> EncoderModel::Transfer(const std::array<uint8_t, 4> &telegram) {
  const bool write = telegram[0] & 1;
  const int reg = (telegram[0] >> 1) & 0x7F;
  const uint32_t data = (uint32_t(telegram[1]) << 16) | (uint32_t(telegram[2]) << 8) | telegram[3];
  uint32_t answer = 0;
  if (reg >= Prescaler && reg < Prescaler + 3) {
    if (write)
      prescaler_[reg - Prescaler] = data;
    answer = prescaler_[reg - Prescaler];
  } else if (reg >= Position && reg < Position + 3) {
    if (write)
      position_[reg - Position] = SignExtend(data, 24);
    answer = Wrap24(PositionOf(reg - Position));
  } else if (reg == InterruptReg) {
    if (write)
      interrupt_ = data & ~0x200000u;  // "Clear Flags" acts once and is not kept
    answer = interrupt_;
  } else if (reg == NullInputs) {
    answer = nullInputs_;
  }
  return {0, uint8_t(answer >> 16), uint8_t(answer >> 8), uint8_t(answer)};
}

// ---------------------------------------------------------------------------------------
// Board

BoardModel::BoardModel(int kind) : kind_(kind), drivers_(kind) {}

std::string BoardModel::VersionTextOf(int kind) {
  switch (kind) {
  case 2: return "515V1.12";
  case 3: return "937V1.04";
  default: return "710V2.31";
  }
}

std::string BoardModel::VersionText() const {
  if (versionOverride_.empty()) return VersionTextOf(kind_);
  std::string text = versionOverride_;
  text.resize(8, ' ');
  return text;
}

Frame BoardModel::Reply(const Frame &request, uint8_t status, int32_t value) const {
  const auto v = ValueBytes(value);
  Frame f{ReplyAddress, request[0], status, request[1], v[0], v[1], v[2], v[3], 0};
  f[8] = Checksum(f);
  return f;
}

std::optional<Frame> BoardModel::HandleFrame(const Frame &request) {
  if (request[0] != ModuleAddress)
    return std::nullopt;
  if (Checksum(request) != request[8])
    return Reply(request, WrongChecksum, 0);
  const uint8_t type = request[2];
  const int motor = request[3];
  const int32_t value = FrameValue(request);
  switch (request[1]) {
  case GetVersion: {
    Frame f{ReplyAddress};
    const std::string text = VersionText();
    std::copy(text.begin(), text.end(), f.begin() + 1);
    return f;
  }
  case SpiTransfer:
    return Reply(request, Ok, HandleSpiTransfer(type, request));
  case SetParameter:
    if (motor >= ControllerModel::MotorCount)
      return Reply(request, WrongType, 0);
    drivers_.Set(type, motor, value);
    return Reply(request, Ok, value);
  case GetParameter:
    if (motor >= ControllerModel::MotorCount)
      return Reply(request, WrongType, 0);
    return Reply(request, Ok, ParameterValue(type, motor));
  case DriverEnable:
    // The older-driver board has one enable line for its three drivers.
    if (kind_ == 2) driverEnabled_.fill(value != 0);
    else driverEnabled_[motor & 3] = value != 0;
    return Reply(request, Ok, value);
  case ClockSelect:
    clockIndex_[type & 1] = value;
    return Reply(request, Ok, value);
  case MotorInterfaceMode:
    interfaceMode_ = value;
    return Reply(request, Ok, value);
  default:
    return Reply(request, InvalidCommand, 0);
  }
}

int32_t BoardModel::HandleSpiTransfer(uint8_t type, const Frame &request) {
  switch (type) {
  case 0: return ValueOf(controller_.Transfer(PayloadOf(request)));
  case 4: return ValueOf(encoder_.Transfer(PayloadOf(request)));
  default: return 0;
  }
}

void BoardModel::AdvanceTime(double seconds) {
  std::array<double, ControllerModel::MotorCount> before{};
  for (int m = 0; m < ControllerModel::MotorCount; ++m)
    before[m] = controller_.Position(m);
  controller_.AdvanceTime(seconds);
  for (int m = 0; m < ControllerModel::MotorCount; ++m) {
    double moved = controller_.Position(m) - before[m];
    moved -= 16777216.0 * std::floor((moved + 8388608.0) / 16777216.0);  // across the wrap
    if (moved != 0 && driverEnabled_[m])  // a disabled driver's motor does not turn
      encoder_.AddMotorSteps(m, moved);
  }
}

MotorMotion BoardModel::MotionOf(int motor) const {
  const int m = drivers_.DriverOf(motor);
  const bool enabled = driverEnabled_[m];
  return {!enabled || controller_.Standing(m), enabled ? controller_.SpeedFraction(m) : 0,
          SignExtend(controller_.ReadRegister(m, ControllerModel::XActual), 24), enabled};
}

int32_t BoardModel::ParameterValue(int number, int motor) const {
  return drivers_.Get(number, motor, MotionOf(motor));
}

}  // namespace sim
