#pragma once
#include <cstdint>

// The evaluation board's kind, told by its drivers. Identification sets it from the board's
// version answer; None until a board is identified. The values index per-kind tables.
enum class TBoardKind : uint8_t { None = 0, NewerDrivers = 1, OlderDrivers = 2, Qvr550 = 3 };
