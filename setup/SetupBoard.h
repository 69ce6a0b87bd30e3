#pragma once
// A board setup on a board: read from it, planned, applied, through the board access's request
// primitives inside one command, composed and decoded by the register map and the driver
// parameter map exactly as the register editor and the driver windows do.
#include <QMap>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>
#include "BoardSetup.h"

class TBoardAccess;

namespace setup {

// One request of a write: a controller datagram (a register or a RAM pair) or a driver
// parameter's "set axis parameter".
struct SetupRequest {
  bool IsDatagram = true;
  std::array<uint8_t, 4> Datagram{};  // address byte, b1, b2, b3
  uint8_t Param = 0, Motor = 0;       // parameter number, motor index 0..2
  int32_t Code = 0;
  QString Text() const;  // "datagram 52 00 80 03", "set parameter 164 of motor index 0 to 3"
};

// One write and the items it carries. A write that carries fields the values do not hold reads
// its register (or its driver group) first, keeping those fields as the board holds them; its
// request is known only after that read.
struct PlannedWrite {
  QStringList Names;
  bool ReadFirst = false;
  std::optional<SetupRequest> Request;  // empty when ReadFirst
  QString Text() const;                 // "P_MUL.1, P_DIV.1: datagram 52 00 80 03"
};

// The writes of values (a whole setup, or a few items by their SetupItems names), in the order an
// apply sends them: the motors' controller registers, the RAM table, the global registers, the
// drivers. The motor registers concern the controller alone; the RAM table holds the driver
// datagrams' layout and the microstep table, which the global registers (driver interface,
// clock, continuous update) then put to use; the driver parameters travel through that
// interface, so they go last. Nothing is stopped: a motor that runs keeps running.
std::vector<PlannedWrite> PlanWrites(TBoardKind boardKind, const QMap<QString, int> &values);

// Every item of the board's kind, read in one command. Throws EEvalError when a reply is lost.
BoardSetup ReadSetup(TBoardAccess &board);

// A few items by name (any case), in one command, each register or driver group read once.
// Throws EEvalError for an unknown name or a lost reply. An item of the chopper mode the board
// does not run is left out of the result.
QMap<QString, int> ReadSetupValues(TBoardAccess &board, const QStringList &names);

struct ApplyReport {
  bool Complete = false;     // every write was answered
  QStringList Written;       // items whose writes were answered
  QStringList Unconfirmed;   // items whose write lost its reply: the board may hold them or not
  QStringList NotWritten;    // items never sent
  QString Error;             // why it stopped, or why the read back failed
  bool ReadBack = false;     // the board was read again after the writes (ApplySetup only)
  std::vector<SetupDifference> ReadBackDifferences;  // the setup (A) against the board (B)
  QString Summary() const;   // for people: what was written, what was not, what differs
};
using SetupProgress = std::function<void(int done, int total)>;  // after each answered write

// Writes a whole setup and reads the board back. A setup for another board kind writes nothing.
// A lost reply stops the apply at once.
ApplyReport ApplySetup(TBoardAccess &board, const BoardSetup &setup, const SetupProgress &progress = {});
// Writes a few items (names in any case); unknown names or values out of range write nothing.
ApplyReport WriteSetupValues(TBoardAccess &board, const QMap<QString, int> &values, const SetupProgress &progress = {});

}  // namespace setup
