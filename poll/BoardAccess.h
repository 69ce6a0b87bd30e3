#pragma once
// What a tool window may use of the board session: the request primitives, the last reply, the
// board's identity, the poll table's entries and the flags the poll cycle consults. Each tool
// window receives one TBoardAccess in its constructor and reaches the board only through it.
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include "PollHooks.h"
#include "PollTable.h"

class QObject;

class TBoardAccess {
public:
  virtual ~TBoardAccess() = default;

  // Request primitives. A waited request without an answer within one reply timeout throws
  // EEvalError("The board does not respond!") (TransferDatagram always; SendCommand and
  // SendCommandBytes when RaiseOnTimeout) after sending nothing further and resuming the poll
  // cycle. After a successful return, ReplyFrame/ReplyValue hold that request's own answer.
  virtual bool SendCommand(uint8_t Address, uint8_t Command, uint8_t Type, uint8_t Motor, int32_t Value,
                           bool Wait, bool RaiseOnTimeout) = 0;
  virtual bool SendCommandBytes(uint8_t Address, uint8_t Command, uint8_t Type, uint8_t Motor,
                                const std::array<uint8_t, 4> &Bytes, bool Wait, bool RaiseOnTimeout) = 0;
  virtual void SendDatagram(uint8_t B0, uint8_t B1, uint8_t B2, uint8_t B3) = 0;
  virtual void TransferDatagram(uint8_t B0, uint8_t B1, uint8_t B2, uint8_t B3) = 0;
  virtual void PausePolling() = 0;
  virtual void ResumePolling() = 0;

  // The last reply read from the port, and its bytes 4..7.
  virtual const std::array<uint8_t, 9> &ReplyFrame() const = 0;
  virtual const std::array<uint8_t, 4> &ReplyValue() const = 0;

  // The board: 0 none identified yet, 1 newer drivers, 2 older drivers, 3 QVR550.
  virtual uint8_t BoardKind() const = 0;
  virtual QByteArray BoardVersionText() const = 0;
  virtual QString ControllerVersionText() const = 0;

  // One row of the poll table by its index (PollTable.h names the indices): windows register
  // their display controls and handlers at creation and switch page filters when shown or closed.
  virtual PollEntry &Entry(int Index) = 0;

  // Flags of the tool windows that the cycle consults.
  virtual bool EditorShown() const = 0;
  virtual void SetEditorShown(bool Shown) = 0;
  virtual int EditorPage() const = 0;
  virtual void SetEditorPage(int Page) = 0;
  virtual int SelectedMotor() const = 0;
  virtual void SetSelectedMotor(int Motor) = 0;

  // What the cycle feeds besides the main window (null: nothing). Setting the log hooks, also
  // again at each start of logging, empties the log line under assembly.
  virtual void SetGraphHooks(TGraphHooks *Hooks) = 0;
  virtual void SetLogHooks(TLogHooks *Hooks) = 0;

  // Calls Stale, for as long as Context lives, each time the live values stop standing for the
  // board (the port closed, the board silent, a new Open): the windows grey theirs then
  // (LiveValues.h) until fresh replies come.
  virtual void OnValuesStale(QObject *Context, std::function<void()> Stale) = 0;
};

// Pauses the poll cycle for its lifetime (PausePolling) and resumes it on every way out,
// an exception included (ResumePolling), so a failed operation never leaves the cycle paused.
class TPollingPause {
public:
  explicit TPollingPause(TBoardAccess &Board) : Board(Board) { Board.PausePolling(); }
  ~TPollingPause() { Board.ResumePolling(); }
  TPollingPause(const TPollingPause &) = delete;
  TPollingPause &operator=(const TPollingPause &) = delete;
private:
  TBoardAccess &Board;
};
