#include "EncoderTelegram.h"

namespace Encoder {

// Integer part in bits 16..22, numerator in 12..15, bit 23 for "/5", function bits from bit 7.
uint32_t PrescalerValue(const Prescaler &p) {
  uint32_t v = uint32_t(p.Int & 0x7F) << 16 | uint32_t(p.Fract & 0xF) << 12;
  if (p.OverFive) v |= 0x800000;
  return v | (p.FunctionBits & 0x1F) << 7;
}

}  // namespace Encoder
