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
#include "LineResync.h"
#include "LogLine.h"

class TComm32;
class QTimer;

enum class TLinkState { Detecting, Active, Silent };

class TBoardSession : public QObject, public TBoardAccess {
  Q_OBJECT
public:
  explicit TBoardSession(QObject *parent = nullptr);
  ~TBoardSession() override;

  static constexpr int PollMessage = 1025;  // QEvent type of the poll cycle's message
  static constexpr uint32_t ReplyTimeout = 1200, WatchdogTimeout = 2000;

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
  void BeginCommand(TCommandKind Kind, uint32_t TriggeredAt) override;
  void EndCommand(bool Failed) override;
  uint32_t StopCount() const override { return Commands.StopCount(); }
  const std::array<uint8_t, 9> &ReplyFrame() const override { return FReplyFrame; }
  const std::array<uint8_t, 4> &ReplyValue() const override { return FReplyValue; }
  TBoardKind BoardKind() const override { return FBoardKind; }
  QByteArray BoardVersionText() const override { return FBoardVersionText; }
  QString ControllerVersionText() const override { return FControllerVersionText; }
  PollEntry &Entry(int Index) override { return PollTable.at(size_t(Index)); }
  bool EditorShown() const override { return FEditorShown; }
  void SetEditorShown(bool Shown) override { FEditorShown = Shown; }
  int EditorPage() const override { return FEditorPage; }
  void SetEditorPage(int Page) override { FEditorPage = Page; }
  int SelectedMotor() const override { return FSelectedMotor; }
  void SetSelectedMotor(int Motor) override { FSelectedMotor = Motor; }
  void SetGraphHooks(TGraphHooks *Hooks) override { GraphHooks = Hooks; }
  void OnValuesStale(QObject *Context, std::function<void()> Stale) override {
    connect(this, &TBoardSession::ValuesStale, Context, std::move(Stale));
  }
  void SetLogHooks(TLogHooks *Hooks) override {
    LogHooks = Hooks;
    LogLine.Clear();
  }

  // --- Link and cycle state (read by tests and benchmarks) -------------------------------
  TComm32 *Comm32;
  bool CommandAnswered = false;
  bool ReplyReceived = true;
  bool PollingEnabled = true;
  uint32_t LastRequestTick = 0;
  bool BoardIdentified = false;
  int PollIndex = 0;

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
  void PostPollMessage();
  void Identify();
  void TimeoutActions();
  void StartResync();
  void ResyncDone();
  void WaitForQuietLine();
  [[noreturn]] void FailNoAnswer();
  bool AnswersVersionQuery(const struct BoardReply &reply) const;
  void TakeLateVersionReply();
  void LoseStep();
  void EnsureInStep();
  void RouteReply();
  void RouteControllerReply(const PollEntry &e, int &Value);
  void CallHandler(const PollEntry &e);
  void Advance();
  void SendPollRequest();
  void SendRestartRequest();
  void WaitForEmptyOutput();
  void ReportLater(const QString &text);
  void Guard(const std::function<void()> &handler);
  static QString ErrorText(const std::exception &err);
  void CheckNotStopped() const;
  static QString NotHeldText();

  std::array<uint8_t, 9> FReplyFrame{};
  std::array<uint8_t, 4> FReplyValue{};
  TBoardKind FBoardKind = TBoardKind::None;
  QByteArray FBoardVersionText;
  QString FControllerVersionText;
  bool FEditorShown = false;
  int FEditorPage = 0;
  int FSelectedMotor = 0;
  TGraphHooks *GraphHooks = nullptr;
  TLogHooks *LogHooks = nullptr;
  TPollTable PollTable;
  bool RestartPending = false;
  bool TimerBusy = false;
  QTimer *TimerActions;
  TLogLine LogLine;
  bool DetectionRunning = false;  // StartDetection's wait: the cycle must not start inside it
  TLineResync Resync;
  int OpenError = 0;              // system error code of the last Open
  uint8_t LastCommand = 0;        // command number of the last request sent
  bool RequestOutstanding = false;  // a request went out and its reply has not been taken
  bool ReplyRejected = false;     // the reply to the last request did not fit it
  int DiscardedReplies = 0;       // since the port was opened

  TCommandGate Commands;
};
