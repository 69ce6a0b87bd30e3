#pragma once
// The board kinds: the version texts that name each, its family's name, and the windows of
// its own that the main window offers.
#include <QByteArray>
#include <array>
#include <cstdint>

struct TBoardFace {
  uint8_t Kind;  // 1 newer drivers, 2 older drivers, 3 QVR550
  std::array<const char *, 2> Prefixes;
  const char *Family;
  bool Qvr533, Qvr730, Qvr515, Qvr550, Board;
};

// The board a version text names, or null for a text that names none.
const TBoardFace *FaceOf(const QByteArray &VersionText);
