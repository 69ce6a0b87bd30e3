#pragma once
// The board kinds: the version texts that name each, its family's name, and the windows of
// its own that the main window offers.
#include <QByteArray>
#include <array>
#include <cstdint>
#include "BoardKind.h"

struct TBoardFace {
  TBoardKind Kind;
  std::array<const char *, 2> Prefixes;
  const char *Family;
  bool Qvr533, Qvr730, Qvr515, Qvr550, Board;
};

// The board a version text names, or null for a text that names none.
const TBoardFace *FaceOf(const QByteArray &VersionText);
