#pragma once
// What a tool window may use of the board session: the request primitives, the last reply, the
// board's identity, the poll table's entries and the flags the poll cycle consults. Each tool
// window receives one TBoardAccess in its constructor and reaches the board only through it.
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include "BoardKind.h"
#include "CommandGate.h"
#include "PollHooks.h"
#include "PollTable.h"

class QObject;

// What the tool windows tell the poll cycle: the register editor's shown page (its rows are
// polled only then), the motor the driver rows are asked for, and the graph's sample hooks
// (null: no graph).
struct TPollViews {
  bool EditorShown = false;
  int EditorPage = 0;
  int SelectedMotor = 0;
  TGraphHooks *GraphHooks = nullptr;
};

// The board: its kind (None until identified) and version texts.
struct TBoardIdentity {
  TBoardKind Kind = TBoardKind::None;
  QByteArray VersionText;
  QString ControllerVersionText;
};

// How long a waited request waits for its answer, in milliseconds.
constexpr uint32_t ReplyTimeout = 1200;

class TBoardAccess {
public:
  virtual ~TBoardAccess() = default;

  // Request primitives. A waited request without an answer within one reply timeout throws
  // EEvalError("The board does not respond!") (TransferDatagram always; SendCommand and
  // SendCommandBytes when RaiseOnTimeout) after sending nothing further and resuming the poll
  // cycle. After a successful return, ReplyFrame/ReplyValue hold that request's own answer.
  virtual bool SendCommand(uint8_t Address, uint8_t Command, uint8_t Type, uint8_t Motor, int32_t Value, bool Wait,
                           bool RaiseOnTimeout) = 0;
  virtual bool SendCommandBytes(uint8_t Address, uint8_t Command, uint8_t Type, uint8_t Motor,
                                const std::array<uint8_t, 4> &Bytes, bool Wait, bool RaiseOnTimeout) = 0;
  virtual void SendDatagram(uint8_t B0, uint8_t B1, uint8_t B2, uint8_t B3) = 0;
  virtual void TransferDatagram(uint8_t B0, uint8_t B1, uint8_t B2, uint8_t B3) = 0;
  virtual void PausePolling() = 0;
  virtual void ResumePolling() = 0;

  // One command at a time (TPollingPause below opens and ends one). A command started by
  // another handler while one holds the board is run again, whole, after it ends, in the order
  // given; a stop ends the running command after the exchange in flight and runs next. A
  // command triggered before a stop (the gate's stop count when its button went down) is not
  // run. Primitives used by a running command after a stop was asked for end it (EAbort).
  virtual TCommandGate &Commands() = 0;

  // The last reply read from the port, and its value bytes 4..7.
  virtual const std::array<uint8_t, 9> &ReplyFrame() const = 0;
  std::array<uint8_t, 4> ReplyValue() const {
    const auto &frame = ReplyFrame();
    return {frame[4], frame[5], frame[6], frame[7]};
  }

  // Transfers a read datagram (the address with its read bit) and returns the three data bytes
  // of the answer.
  std::array<uint8_t, 3> ReadDatagram(uint8_t Address) {
    TransferDatagram(Address, 0, 0, 0);
    const auto &frame = ReplyFrame();
    return {frame[5], frame[6], frame[7]};
  }

  virtual const TBoardIdentity &Identity() const = 0;

  // One row of the poll table by its index (PollTable.h names the indices): windows register
  // their display controls and handlers at creation and switch page filters when shown or closed.
  virtual PollEntry &Entry(int Index) = 0;

  virtual TPollViews &Views() = 0;

  // The data logs the cycle feeds: the window's, a script's watch. Adding hooks already added,
  // as at each start of logging, starts their line under assembly afresh.
  virtual void AddLogHooks(TLogHooks *Hooks) = 0;
  virtual void RemoveLogHooks(TLogHooks *Hooks) = 0;

  // Calls Stale, for as long as Context lives, each time the live values stop standing for the
  // board (the port closed, the board silent, a new Open): the windows grey theirs then
  // (LiveValues.h) until fresh replies come.
  virtual void OnValuesStale(QObject *Context, std::function<void()> Stale) = 0;
};

// One command: holds the board with the poll cycle paused for its lifetime and lets it go on
// every way out, an exception included, so a failed operation never leaves the cycle paused.
// Nested pauses of the same handler belong to its command.
class TPollingPause {
public:
  explicit TPollingPause(TBoardAccess &Board, TCommandKind Kind = TCommandKind::Ordinary)
      : TPollingPause(Board, Kind, Board.Commands().StopCount()) {}
  TPollingPause(TBoardAccess &Board, TCommandKind Kind, uint32_t TriggeredAt)
      : Board(Board), Exceptions(std::uncaught_exceptions()) {
    Board.Commands().Begin(Kind, TriggeredAt);
  }
  ~TPollingPause() { Board.Commands().End(std::uncaught_exceptions() > Exceptions); }
  TPollingPause(const TPollingPause &) = delete;
  TPollingPause &operator=(const TPollingPause &) = delete;

private:
  TBoardAccess &Board;
  int Exceptions;
};
