#pragma once
// The poll table's rows by name, for the cycle and for whatever reads its rows by number (the
// data log's columns). No dependencies, so core libraries may use it.
// The table's rows by name. Motor registers: MotorRegister(motor 0..2, register 0..15).
namespace PollRow {
constexpr int ControllerVersion = 0;
constexpr int FirstMotorRegister = 1;
constexpr int MotorRegister(int Motor, int Register) { return FirstMotorRegister + 16 * Motor + Register; }
constexpr int FirstGlobal = 49;             // global and special-feature registers, 49..57
constexpr int LastController = 57;
constexpr int NewerDriverPairs = 58;        // newer drivers: TL and LD of motors 0, 1, 2 (58..63)
constexpr int NewerDriverSelected = 64;     // newer drivers: the selected motor's rows (64..70)
constexpr int NewerDriverLast = 70;
constexpr int Encoder = 71;                 // encoder chip: three positions and the null inputs (71..74)
constexpr int EncoderLast = 74;
constexpr int OlderDriver = 75;             // older drivers: load and flags of motors 0, 1, 2 (75..80)
constexpr int OlderDriverLast = 80;
constexpr int Qvr550Driver = 81;            // QVR550 driver (81..88)
constexpr int Last = 88;
}  // namespace PollRow
