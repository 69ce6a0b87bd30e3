#pragma once
// The motion controller's 128 RAM words after power-on, as 64 pairs: word 2p in bits 7..0 of
// pair p, word 2p + 1 in bits 15..8.
#include <array>
#include <cstdint>

namespace sim {

constexpr int RamPairCount = 64;
using RamContents = std::array<uint16_t, RamPairCount>;

// Words 0x00..0x3F, the driver configuration table, hold their own address (so every word's
// place shows on a read); words 0x40..0x7F, the microstep table, a quarter sine wave 0..63.
RamContents PowerOnRam();

}  // namespace sim
