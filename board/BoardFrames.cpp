#include "BoardFrames.h"

uint8_t FrameChecksum(const uint8_t *bytes, int count) {
  unsigned sum = 0;
  for (int i = 0; i < count; ++i) sum += bytes[i];
  return uint8_t(sum);
}

BoardCommand BoardCommand::WithBytes(uint8_t address, uint8_t command, uint8_t type, uint8_t motor,
                                     const std::array<uint8_t, 4> &bytes) {
  BoardCommand c;
  c.Address = address;
  c.Command = command;
  c.Type = type;
  c.Motor = motor;
  c.Value = bytes;
  return c;
}

BoardCommand BoardCommand::WithValue(uint8_t address, uint8_t command, uint8_t type, uint8_t motor,
                                     int32_t value) {
  const auto u = uint32_t(value);  // two's complement
  return WithBytes(address, command, type, motor,
                   {uint8_t(u >> 24), uint8_t(u >> 16), uint8_t(u >> 8), uint8_t(u)});
}

BoardFrame BoardCommand::Frame() const {
  BoardFrame f{Address, Command, Type, Motor, Value[0], Value[1], Value[2], Value[3], 0};
  f[8] = FrameChecksum(f.data(), 8);
  return f;
}

int32_t BoardReply::Value() const {
  return int32_t(uint32_t(Bytes[4]) << 24 | uint32_t(Bytes[5]) << 16 | uint32_t(Bytes[6]) << 8 | Bytes[7]);
}

std::array<char, 8> BoardReply::VersionText() const {
  std::array<char, 8> t{};
  for (int i = 0; i < 8; ++i) t[i] = char(Bytes[1 + i]);
  return t;
}
