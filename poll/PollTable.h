#pragma once
// The poll table: what the poll cycle reads, how each value is decoded and where it goes.
// Display and handler slots are filled in by the windows at creation; page filters are switched
// by the windows when they are shown or closed.
#include <array>
#include <cstdint>
#include <functional>

class QLabel;

using PollHandler = std::function<void(uint8_t B5, uint8_t B6, uint8_t B7)>;

struct PollEntry {
  uint8_t Datagram = 0;   // first datagram byte, driver parameter number or encoder register
  int Format = 0;         // >0 sign bit position, 0 unsigned decimal, <0 hexadecimal digits
  QLabel *MainControl = nullptr;
  QLabel *EditorControl = nullptr;
  int PageFilter = -1;    // -1 every cycle, 0..5 editor page, 255 never by the advance
  PollHandler Handler;
};

constexpr int PollTableSize = 89;

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
using TPollTable = std::array<PollEntry, PollTableSize>;

// The table with its datagrams, formats and initial page filters; no controls or handlers.
TPollTable InitialPollTable();
