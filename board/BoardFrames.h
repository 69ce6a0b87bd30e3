#pragma once
// The nine-byte request and reply frames of the board link.
#include <array>
#include <cstdint>

// Command numbers the program sends.
enum BoardCommandNumber : uint8_t {
  SetParameter = 5,
  GetParameter = 6,
  DriverEnable = 64,
  ClockSelect = 65,
  MotorInterfaceMode = 66,
  SpiTransfer = 71,
  GetVersion = 136,
};

constexpr int BoardFrameSize = 9;
using BoardFrame = std::array<uint8_t, BoardFrameSize>;

// Request: address, command, type, motor, four value bytes (most significant first), checksum.
struct BoardCommand {
  uint8_t Address = 1, Command = 0, Type = 0, Motor = 0;
  std::array<uint8_t, 4> Value{};

  static BoardCommand WithValue(uint8_t address, uint8_t command, uint8_t type, uint8_t motor, int32_t value);
  static BoardCommand WithBytes(uint8_t address, uint8_t command, uint8_t type, uint8_t motor,
                                const std::array<uint8_t, 4> &bytes);
  BoardFrame Frame() const;  // the nine bytes with the 8-bit sum checksum in byte 8
};

uint8_t FrameChecksum(const uint8_t *bytes, int count);

// Reply: byte 3 says which command was answered; bytes 4..7 carry the value.
struct BoardReply {
  BoardFrame Bytes{};

  uint8_t AnsweredCommand() const { return Bytes[3]; }
  bool IsSpiTransfer() const { return Bytes[3] == SpiTransfer; }
  bool IsGetParameter() const { return Bytes[3] == GetParameter; }
  bool IsVersion() const { return !IsSpiTransfer() && !IsGetParameter(); }
  bool ChecksumHolds() const { return Bytes[8] == FrameChecksum(Bytes.data(), 8); }
  // Whether this can be the answer to a request of command `asked`: it names that command and
  // its checksum holds. The version text fills all nine bytes, so its answer cannot be checked.
  bool Answers(uint8_t asked) const { return asked == GetVersion || (AnsweredCommand() == asked && ChecksumHolds()); }
  std::array<uint8_t, 4> ValueBytes() const { return {Bytes[4], Bytes[5], Bytes[6], Bytes[7]}; }
  int32_t Value() const;  // bytes 4..7, big-endian, two's complement
  std::array<char, 8> VersionText() const;  // bytes 1..8
};
