#pragma once
// The encoder chip's write telegram: byte 1 the register's address byte, bytes 2..4 its 24-bit
// value, most significant first. Plain C++, no widgets.
#include <array>
#include <cstdint>

namespace Encoder {

// The registers as the window offers them, in its order: ENC1..3_PS, ENC1..3_POS, INT.
enum Register { Enc1PS, Enc2PS, Enc3PS, Enc1Pos, Enc2Pos, Enc3Pos, Interrupt, RegisterCount };
constexpr std::array<uint8_t, RegisterCount> AddressByte = {1, 3, 5, 9, 11, 13, 17};

// A prescaler: integer part 0..127, fractional numerator 0..15 over 16 or over 5, and the
// function bits ("Direction", "N Trigger", "N Clear", "N Hold", "H Polarity": bit 0 first).
struct Prescaler {
  int Int = 0;
  int Fract = 0;
  bool OverFive = false;
  unsigned FunctionBits = 0;
};
uint32_t PrescalerValue(const Prescaler &p);

// A position: its low 24 bits, two's complement for a negative one.
inline uint32_t PositionValue(int32_t position) { return uint32_t(position) & 0xFFFFFF; }

// INT: "Clear Flags", "Interrupt Enable", "Register Hold" (bit 0 first) go to bits 5..7 of byte 2.
inline uint8_t InterruptByte(unsigned bits) { return uint8_t((bits & 7) << 5); }

using Telegram = std::array<uint8_t, 4>;
// Bytes 2..4 of the telegram set to a 24-bit value.
inline void SetValueBytes(Telegram &t, uint32_t value) {
  t[1] = uint8_t(value >> 16);
  t[2] = uint8_t(value >> 8);
  t[3] = uint8_t(value);
}

}  // namespace Encoder
