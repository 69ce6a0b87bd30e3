#pragma once
// The poll table: what the poll cycle reads, how each value is decoded and where it goes.
// Display and handler slots are filled in by the windows at creation; page filters are switched
// by the windows when they are shown or closed.
#include <array>
#include <cstdint>
#include <functional>
#include "PollRows.h"

class QString;

using PollHandler = std::function<void(uint8_t B5, uint8_t B6, uint8_t B7)>;
// Shows a controller row's decoded value where a window registered it.
using PollShow = std::function<void(const QString &Text)>;

struct PollEntry {
  uint8_t Datagram = 0;   // first datagram byte, driver parameter number or encoder register
  int Format = 0;         // >0 sign bit position, 0 unsigned decimal, <0 hexadecimal digits
  PollShow ShowMain;       // a value of the main window or another always-shown place
  PollShow ShowEditor;     // a value of the register editor, shown while the editor is

  int PageFilter = -1;    // -1 every cycle, 0..5 editor page, 255 never by the advance
  PollHandler Handler;
};

constexpr int PollTableSize = 89;

using TPollTable = std::array<PollEntry, PollTableSize>;

// The table with its datagrams, formats and initial page filters; no controls or handlers.
TPollTable InitialPollTable();
