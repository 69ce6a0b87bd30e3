#include "ControllerRam.h"

#include <cmath>
#include <numbers>

namespace sim {

namespace {

constexpr int MicrostepStart = 0x40;
constexpr int WordCount = 2 * RamPairCount;

uint8_t PowerOnWord(int word) {
  if (word < MicrostepStart) return static_cast<uint8_t>(word);
  const int i = word - MicrostepStart;
  return static_cast<uint8_t>(std::lround(63.0 * std::sin(std::numbers::pi / 2 * (i + 0.5) / 64)));
}

}  // namespace

RamContents PowerOnRam() {
  RamContents ram{};
  for (int word = 0; word < WordCount; ++word)
    ram[word / 2] |= static_cast<uint16_t>(word % 2 ? PowerOnWord(word) << 8 : PowerOnWord(word));
  return ram;
}

}  // namespace sim
