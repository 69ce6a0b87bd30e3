#pragma once
// TBoardSession: the board link and the poll cycle, without a window. It owns the serial port
// Comm32, the link state and the request primitives every window uses, identification, the
// watchdog and the reply-driven poll cycle. The main window opens and closes it and shows what
// its signals tell; tool windows see it only as TBoardAccess.
#include <QObject>
#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include "BoardAccess.h"
#include "BoardFaces.h"
#include "CommandGate.h"
#include "LineStep.h"
#include "PollRouter.h"

class TComm32;
class QTimer;

enum class TLinkState { Detecting, Active, Silent };

class TBoardSession : public QObject, public TBoardAccess {
  Q_OBJECT
public:
  explicit TBoardSession(QObject *parent = nullptr);
  ~TBoardSession() override;

  static constexpr int PollMessage = 1025;  // QEvent type of the poll cycle's message

  // --- Connection ------------------------------------------------------------------------
  // Opens the port named by the entry's first field; throws EEvalError saying why it failed.
  void Open(const QString &PortEntry);
  void StartDetection();  // asks for the version text and waits for it (at most one timeout)
  void StartPolling();    // the cycle's first request
  void Close();
  bool IsOpen() const;

  // --- TBoardAccess ----------------------------------------------------------------------
  bool SendCommand(uint8_t Address, uint8_t Command, uint8_t Type, uint8_t Motor, int32_t Value, bool Wait,
                   bool RaiseOnTimeout) override;
  bool SendCommandBytes(uint8_t Address, uint8_t Command, uint8_t Type, uint8_t Motor,
                        const std::array<uint8_t, 4> &Bytes, bool Wait, bool RaiseOnTimeout) override;
  void SendDatagram(uint8_t B0, uint8_t B1, uint8_t B2, uint8_t B3) override;
  void TransferDatagram(uint8_t B0, uint8_t B1, uint8_t B2, uint8_t B3) override;
  void PausePolling() override;
  void ResumePolling() override;
  TCommandGate &Commands() override { return Gate; }
  const std::array<uint8_t, 9> &ReplyFrame() const override { return Cycle.ReplyFrame; }
  const TBoardIdentity &Identity() const override { return Board; }
  PollEntry &Entry(int Index) override { return Router.Table.at(size_t(Index)); }
  TPollViews &Views() override { return Router.Views; }
  void AddLogHooks(TLogHooks *Hooks) override { Router.AddLogHooks(Hooks); }
  void RemoveLogHooks(TLogHooks *Hooks) override { Router.RemoveLogHooks(Hooks); }
  void OnValuesStale(QObject *Context, std::function<void()> Stale) override {
    connect(this, &TBoardSession::ValuesStale, Context, std::move(Stale));
  }

  // What the link and the cycle are doing, for tests and benchmarks.
  struct TCycleState {
    bool PollingEnabled = true;
    bool ReplyReceived = true;     // the last request's reply was taken, or given up
    bool CommandAnswered = false;  // the last request was answered
    bool ReplyRejected = false;    // the reply to the last request did not fit it
    bool BoardIdentified = false;
    bool DetectionRunning = false;  // StartDetection's wait: the cycle must not start inside it
    bool RestartPending = false;    // the cycle starts again at its first row
    bool TimerBusy = false;
    uint32_t LastRequestTick = 0;
    int DiscardedReplies = 0;  // since the port was opened
    int OpenError = 0;         // system error code of the last Open
    std::array<uint8_t, 9> ReplyFrame{};
  };
  const TCycleState &State() const { return Cycle; }
  TComm32 *const Comm32;

  // Handlers named after the events they serve.
  void TimerActionsTimer();
  void Comm32RxChar(int Count);
  void PollMessageHandler();
  void ShowControllerVersion(uint8_t B5, uint8_t B6, uint8_t B7);

signals:
  void LinkStateChanged(TLinkState State);
  // The board identified on this Open (null: none, or it stopped answering).
  void BoardFaceChanged(const TBoardFace *Face);
  // The live values no longer stand for the board: greyed until fresh replies come.
  void ValuesStale();
  void StatusByte(uint8_t Status);  // the controller's status bits of the last reply
  // Replies not used since the port was opened: out of step with the requests, or corrupted.
  void RepliesDiscarded(int Count);
  // A failure outside any command: a window's poll handler, the log, the cycle itself. The
  // front end decides how to show it (the window throttles repeats, a tool prints it).
  void ErrorReported(const QString &Text);

protected:
  void customEvent(QEvent *e) override;

private:
  void Identify();
  [[noreturn]] void FailNoAnswer();
  void TakeVersion(const BoardFrame &Frame);
  void TakeReply(const BoardFrame &Frame);

  TCycleState Cycle;
  TBoardIdentity Board;
  TPollRouter Router;
  QTimer *TimerActions;
  TLineStep Step;
  TCommandGate Gate;
};
