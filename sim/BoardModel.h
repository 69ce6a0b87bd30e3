#pragma once
// Model of an evaluation board's firmware: answers the nine-byte request frames the way the
// program relies on, passing controller datagrams to the motion controller model, encoder
// telegrams to the encoder chip model and driver parameters to a parameter store whose
// status parameters follow the motors. Plain C++, deterministic, no threads.
//
// Reply frame: byte 0 reply address 2, byte 1 module address, byte 2 status (100 ok),
// byte 3 command answered, bytes 4..7 value (most significant first), byte 8 checksum.
// GetVersion is the exception: bytes 1..8 carry the eight-character version text, so its
// byte 3 is the text's third character (never 71 or 6 in the texts used here).
#include "ControllerModel.h"
#include "DriverModel.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace sim {

using Frame = std::array<uint8_t, 9>;

// Builds a request frame with its checksum (address 1 unless given).
Frame MakeRequest(uint8_t command, uint8_t type, uint8_t motor, int32_t value, uint8_t address = 1);
Frame MakeRequestBytes(uint8_t command, uint8_t type, uint8_t motor,
                       const std::array<uint8_t, 4> &bytes, uint8_t address = 1);
uint8_t Checksum(const Frame &frame);  // sum of bytes 0..7, modulo 256
int32_t FrameValue(const Frame &frame); // bytes 4..7, signed

// Model of the encoder interface chip QVR730: telegram byte 0 is the register address with
// bit 0 set for a write; registers 0..2 prescalers ENC1..3_PS, 4..6 positions ENC1..3_POS,
// 8 INT, 9 the N inputs (read only). Positions follow the motors' steps times the prescaler.
class EncoderModel {
public:
  static constexpr int Prescaler = 0, Position = 4, InterruptReg = 8, NullInputs = 9;
  EncoderModel();
  std::array<uint8_t, 4> Transfer(const std::array<uint8_t, 4> &telegram);
  void AddMotorSteps(int encoder, double steps);
  void SetNullInputs(uint8_t bits) { nullInputs_ = bits & 7; }
  int32_t PositionOf(int encoder) const;  // signed 24-bit

private:
  double Scale(int encoder) const;
  std::array<uint32_t, 3> prescaler_{};
  std::array<double, 3> position_{};
  uint32_t interrupt_ = 0;
  uint8_t nullInputs_ = 0;
};

class BoardModel {
public:
  enum Command : uint8_t {
    SetParameter = 5, GetParameter = 6, DriverEnable = 64, ClockSelect = 65,
    MotorInterfaceMode = 66, SpiTransfer = 71, GetVersion = 136
  };
  enum ReplyStatus : uint8_t { Ok = 100, WrongChecksum = 1, InvalidCommand = 2, WrongType = 3 };
  static constexpr uint8_t ModuleAddress = 1;
  static constexpr uint8_t ReplyAddress = 2;

  // kind 1 newer-driver board, 2 older-driver board, 3 QVR550 board.
  explicit BoardModel(int kind);

  int Kind() const { return kind_; }
  std::string VersionText() const;  // eight characters
  static std::string VersionTextOf(int kind);
  // Answer GetVersion with another text (padded or cut to eight characters); empty: the kind's own.
  void SetVersionText(const std::string &text) { versionOverride_ = text; }

  // The reply to one request; nothing for a frame addressed to another module.
  std::optional<Frame> HandleFrame(const Frame &request);

  // Lets `seconds` of board time pass: the ramp generators move the motors.
  void AdvanceTime(double seconds);

  ControllerModel &Controller() { return controller_; }
  const ControllerModel &Controller() const { return controller_; }
  EncoderModel &Encoder() { return encoder_; }

  DriverModel &Drivers() { return drivers_; }
  // Stored value of driver parameter `number` of motor 0..2 (status parameters excluded).
  int32_t StoredParameter(int number, int motor) const { return drivers_.Stored(number, motor); }
  // What GetParameter answers, status parameters included.
  int32_t ParameterValue(int number, int motor) const;

  // A disabled driver's motor stands: the controller still counts its steps, the encoder and the
  // driver's status do not move.
  bool DriverEnabled(int driver) const { return driverEnabled_[driver & 3]; }
  int ClockIndex(int which) const { return clockIndex_[which & 1]; }
  int InterfaceMode() const { return interfaceMode_; }

private:
  int32_t HandleSpiTransfer(uint8_t type, const Frame &request);
  MotorMotion MotionOf(int motor) const;
  Frame Reply(const Frame &request, uint8_t status, int32_t value) const;

  int kind_;
  ControllerModel controller_;
  EncoderModel encoder_;
  DriverModel drivers_;
  std::array<bool, 4> driverEnabled_{true, true, true, true};
  std::array<int, 2> clockIndex_{};
  int interfaceMode_ = 1;
  std::string versionOverride_;
};

}  // namespace sim
