#pragma once
// Model of the three-axis motion controller QVR710 as the board's microcontroller sees it:
// 32-bit datagrams in, 32-bit answers (status byte + 24 data bits) out, registers, the
// 128-word RAM and one ramp generator per motor. Plain C++, deterministic, no threads: time
// passes only through AdvanceTime().
//
// Speed units follow a step-rate generator with two power-of-two dividers and a 16 MHz clock:
//   step rate   [steps/s]   = f * |V| / 2^(PULSDIV + 16)
//   acceleration[steps/s^2] = f^2 * A / 2^(PULSDIV + RAMPDIV + 29)
// Power-on dividers are PULSDIV 6 and RAMPDIV 7: V_MAX 1000 then runs at about 3815 steps/s
// and A_MAX 100 reaches that speed in about 0.66 s, so a move to 10000 takes about 3.3 s.
// P_MUL/P_DIV are stored but do not change the motion.
#include <array>
#include <cstdint>

namespace sim {

class ControllerModel {
public:
  static constexpr double ClockHz = 16e6;
  static constexpr int PowerOnPulseDiv = 6;
  static constexpr int PowerOnRampDiv = 7;
  static constexpr int MotorCount = 3;
  static constexpr int GlobalSet = 3;
  static constexpr int RamPairs = 64;
  // Chip type 0x710, revision 2.05: the program shows it as "QVR710 V2.05".
  static constexpr int32_t ChipTypeAndRevision = 0x710205;

  enum MotorRegister {
    XTarget = 0, XActual = 1, VMin = 2, VMax = 3, VTarget = 4, VActual = 5, AMax = 6,
    AActual = 7, Currents = 8, PMulPDiv = 9, RefConfRampMode = 10, Interrupts = 11,
    Dividers = 12, DxRefTolerance = 13, XLatched = 14, MicrostepCount = 15
  };
  enum GlobalRegister { CoverTelegram = 3, ChipType = 9, RefSwitches = 14 };
  enum RampMode { Ramp = 0, SoftMode = 1, Velocity = 2, Hold = 3 };
  enum StatusBit : uint8_t { CoverWaiting = 0x40, Interrupt = 0x80 };
  static constexpr uint8_t PosEndFlag = 0x01;  // INTERRUPT_FLAGS bit 0
  static constexpr uint32_t LpBit = 1u << 16;   // register 10

  ControllerModel();

  // One datagram, bytes most significant first (address byte, data 23..16, 15..8, 7..0).
  // Answers the status byte and the 24 data bits: the addressed register after a read,
  // the register's new contents after a write.
  std::array<uint8_t, 4> Transfer(const std::array<uint8_t, 4> &datagram);

  // Runs the ramp generators for `seconds` of chip time.
  void AdvanceTime(double seconds);

  uint8_t Status() const;
  // The 24 data bits a read of register `index` of `set` (0..2 motors, 3 global) answers.
  uint32_t ReadRegister(int set, int index) const;
  // A write datagram's effect; read-only registers ignore it.
  void WriteRegister(int set, int index, uint32_t data);
  uint32_t ReadRamPair(int pair) const;

  // Reference switch inputs in the layout of global register 14: bit 0 "Right 1",
  // bit 1 "Left 1", bit 2 "Right 2", ... A switch turning active latches X_ACTUAL.
  void SetReferenceSwitches(uint8_t bits);
  uint8_t ReferenceSwitches() const { return refSwitches_; }

  // Physical view for the board model and tests: position in steps (with fraction),
  // signed step rate in steps per second, whether the motor stands still.
  double Position(int motor) const { return motors_[motor].pos; }
  double StepRate(int motor) const;
  bool Standing(int motor) const { return motors_[motor].v == 0.0; }
  // Velocity as a fraction of V_MAX (0..1), for load-dependent driver values.
  double SpeedFraction(int motor) const;

private:
  struct Motor {
    double pos = 0;       // X_ACTUAL with fraction, kept within the 24-bit range
    double v = 0;         // V_ACTUAL in register units, with fraction
    int aActual = 0;      // A_ACTUAL, signed
    std::array<uint32_t, 16> reg{};  // stored data of the plain registers
    bool lp = false;      // LP flag of register 10: X_LATCHED holds a latched position
    uint8_t flags = 0;    // INTERRUPT_FLAGS
  };

  void WriteMotorRegister(Motor &m, int index, uint32_t data);
  uint32_t ReadMotorRegister(const Motor &m, int index) const;
  void AdvanceMotor(Motor &m, double seconds);
  bool StepMotor(Motor &m, double dt);  // false when nothing changed
  bool StepPositioning(Motor &m, double dt, bool soft);
  bool Steady(const Motor &m) const;
  void Drift(Motor &m, double seconds);
  static double DistanceToTarget(const Motor &m);
  static int RampModeOf(const Motor &m);
  static double StepsPerVelocityUnit(const Motor &m);
  static double VelocityUnitsPerSecondPerA(const Motor &m);
  bool ReferenceSwitchOf(int motor) const;

  std::array<Motor, MotorCount> motors_{};
  std::array<uint32_t, 16> global_{};
  std::array<uint16_t, RamPairs> ram_{};
  uint8_t refSwitches_ = 0;
  bool coverWaiting_ = false;
};

// Two's complement helpers on the chip's field widths.
int32_t SignExtend(uint32_t value, int bits);
uint32_t Wrap24(int64_t value);

}  // namespace sim
