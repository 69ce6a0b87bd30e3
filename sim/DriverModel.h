#pragma once
// Model of the driver chips behind the board's numbered driver parameters: every configuration
// parameter stored per driver and read back as written, and status parameters that follow the
// motor each driver turns. Plain C++, deterministic, no threads.
//
// The QVR550 board carries one driver: every motor index addresses it, and it turns the
// controller's first motor.
#include <array>
#include <cstdint>
#include <map>
#include <utility>

namespace sim {

// What the status of a driver depends on: its motor's state.
struct MotorMotion {
  bool Standing = true;
  double SpeedFraction = 0;  // |velocity| / its largest value, 0..1
  int32_t Position = 0;      // microsteps
  bool Enabled = true;       // a disabled driver drives no current: its motor stands
};

class DriverModel {
public:
  // Status word (parameter 208) bits a test may raise.
  static constexpr uint8_t Standstill = 0x80, OvertemperatureWarning = 0x04;
  // Older drivers: open load on both coils, what a disabled driver reports.
  static constexpr uint8_t OpenLoadAB = 0x0C;

  explicit DriverModel(int kind);

  // The driver behind a motor index of the requests; it turns the controller motor of that index.
  int DriverOf(int motor) const { return kind_ == 3 ? 0 : motor; }

  void Set(int number, int motor, int32_t value) { parameters_[{number, DriverOf(motor)}] = value; }
  int32_t Stored(int number, int motor) const;             // configuration parameters
  int32_t Get(int number, int motor, const MotorMotion &m) const;  // what GetParameter answers
  static bool IsStatus(int number);

  // Flags ORed into the motor's status word whatever the model computes (0: none).
  void SetForcedFlags(int motor, uint8_t bits) { forced_[DriverOf(motor) % 3] = bits; }

  // Load value LD (0..1023) and thrift level TL (0..31) of a driver whose motor moves as given.
  int32_t LoadValue(int motor, const MotorMotion &m) const;
  int32_t ThriftLevel(int motor, const MotorMotion &m) const;

private:
  int32_t NewerStatus(int number, int motor, const MotorMotion &m) const;
  int32_t OlderStatus(int number, int motor, const MotorMotion &m) const;
  int kind_;
  std::map<std::pair<int, int>, int32_t> parameters_;
  std::array<uint8_t, 3> forced_{};
};

}  // namespace sim
