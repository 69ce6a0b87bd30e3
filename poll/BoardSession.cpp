#include "BoardSession.h"
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include "BoardFrames.h"
#include "Ev710Registers.h"
#include "Ev710Utils.h"
#include "HandlerScope.h"
#include "OpenFailure.h"
#include "Ticks.h"
#include "WaitFor.h"
#include "async32.h"

namespace {
constexpr int OutputDrainLimitMs = 100;  // bound of the wait for an empty output queue
}  // namespace

TBoardSession::TBoardSession(QObject *parent)
    : QObject(parent), Comm32(new TComm32(this)), TimerActions(new QTimer(this)),
      Resync(this, [this] { ResyncDone(); }), Commands(this, [this] { PausePolling(); }, [this] { ResumePolling(); }) {
  // The board's line: 115200 bit/s, 8N1, RTS raised only while sending, no XON/XOFF (a reply
  // byte 0x11 or 0x13 is data). Open makes the line raw whatever it was set to before.
  Comm32->BaudRate = cbr115200;
  Comm32->Parity = paNone;
  Comm32->Stopbits = sb10;
  Comm32->Databits = da8;
  Comm32->FlowControl = fcRTSToggle;
  PollTable = InitialPollTable();
  PollTable[PollRow::ControllerVersion].Handler = [this](uint8_t b5, uint8_t b6, uint8_t b7) {
    ShowControllerVersion(b5, b6, b7);
  };
  TimerActions->setInterval(100);
  connect(TimerActions, &QTimer::timeout, this, [this] { Guard([this] { TimerActionsTimer(); }); });
  connect(Comm32, &TComm32::OnRxChar, this, [this](int count) { Comm32RxChar(count); });
  connect(Comm32, &TComm32::OnOpen, this, [this](int, int error) { OpenError = error; });
}

TBoardSession::~TBoardSession() = default;

// --- Connection ----------------------------------------------------------------------------------

void TBoardSession::Open(const QString &PortEntry) {
  Comm32->DeviceName = ExtractField(PortEntry, u' ', 1);
  OpenError = 0;
  Comm32->Open();
  if (!Comm32->Enabled()) throw EEvalError(OpenFailureText(PortEntry, OpenError));
  DiscardedReplies = 0;
  emit RepliesDiscarded(0);
}

bool TBoardSession::IsOpen() const { return Comm32->Enabled(); }

void TBoardSession::StartDetection() {
  RestartPending = true;
  // Identify afresh from this Open's answer only: nothing of a board identified before (its
  // kind, version text) may stand for the board attached now.
  BoardIdentified = false;
  FBoardKind = TBoardKind::None;
  FBoardVersionText.clear();
  emit ValuesStale();
  emit BoardFaceChanged(nullptr);
  // The version reply is routed while this waits; the cycle itself starts only afterwards,
  // so that exactly one request is ever outstanding.
  DetectionRunning = true;
  SendCommand(1, GetVersion, 0, 0, 0, true, false);
  DetectionRunning = false;
  LastRequestTick = TickCount();
  emit LinkStateChanged(TLinkState::Detecting);
  PollTable[PollRow::ControllerVersion].PageFilter = -1;
}

// The cycle starts with a single request. When the version query went unanswered, its reply
// may still come: the first request waits for a quiet line, as after a timeout.
void TBoardSession::StartPolling() {
  PollIndex = 0;
  ReplyReceived = true;
  PollingEnabled = true;
  TimerActions->start();
  BoardIdentified = false;
  if (CommandAnswered) PostPollMessage();
  else StartResync();
}

void TBoardSession::Close() {
  Commands.DropWaiting();
  TimerActions->stop();
  Resync.Stop();
  if (LogHooks) LogHooks->StopLogging();
  Comm32->Close();
  BoardIdentified = false;
  emit BoardFaceChanged(nullptr);
  emit ValuesStale();
}

void TBoardSession::Identify() {
  const TBoardFace *face = FaceOf(FBoardVersionText);
  if (!face) return;
  FBoardKind = face->Kind;
  BoardIdentified = true;
  emit BoardFaceChanged(face);
  emit LinkStateChanged(TLinkState::Active);
}

// --- Request primitives ------------------------------------------------------------------------

bool TBoardSession::SendCommand(uint8_t Address, uint8_t Command, uint8_t Type, uint8_t Motor,
                            int32_t Value, bool Wait, bool RaiseOnTimeout) {
  const auto frame = BoardCommand::WithValue(Address, Command, Type, Motor, Value);
  return SendCommandBytes(Address, Command, Type, Motor, frame.Value, Wait, RaiseOnTimeout);
}

bool TBoardSession::SendCommandBytes(uint8_t Address, uint8_t Command, uint8_t Type, uint8_t Motor,
                                 const std::array<uint8_t, 4> &Bytes, bool Wait,
                                 bool RaiseOnTimeout) {
  // A waited request needs the board to itself, or its answer could be a poll reply.
  if (Wait && PollingEnabled && !DetectionRunning) throw EEvalError(NotHeldText());
  CheckNotStopped();
  if (Wait) EnsureInStep();
  CommandAnswered = false;
  ReplyRejected = false;
  LastCommand = Command;
  const BoardFrame frame = BoardCommand::WithBytes(Address, Command, Type, Motor, Bytes).Frame();
  Comm32->PurgeIn();
  Comm32->Write(frame.data(), int(frame.size()));
  RequestOutstanding = true;
  if (!Wait) return true;
  // The answer ends the wait; so do a reply that does not fit and closing the port.
  WaitFor([this] { return CommandAnswered || ReplyRejected || !Comm32->Enabled(); }, int(ReplyTimeout));
  if (RaiseOnTimeout && !CommandAnswered) FailNoAnswer();
  return CommandAnswered;
}

void TBoardSession::SendDatagram(uint8_t B0, uint8_t B1, uint8_t B2, uint8_t B3) {
  SendCommandBytes(1, SpiTransfer, 0, 0, {B0, B1, B2, B3}, false, false);
}

void TBoardSession::TransferDatagram(uint8_t B0, uint8_t B1, uint8_t B2, uint8_t B3) {
  if (PollingEnabled) throw EEvalError(NotHeldText());
  CheckNotStopped();
  EnsureInStep();
  ReplyReceived = false;
  SendDatagram(B0, B1, B2, B3);
  LastRequestTick = TickCount();
  WaitFor([this] { return ReplyReceived || !Comm32->Enabled(); }, int(ReplyTimeout));
  if (!ReplyReceived || ReplyRejected) FailNoAnswer();
}

// Waits for the answer to the poll request in flight, at most until one reply timeout after
// it was sent; a request that stays unanswered ends the operation.
void TBoardSession::PausePolling() {
  if (!PollingEnabled) return;
  PollingEnabled = false;
  const int left = int(ReplyTimeout) - int(std::min(TicksSince(LastRequestTick), ReplyTimeout));
  WaitFor([this] { return ReplyReceived || !Comm32->Enabled(); }, left);
  if (!ReplyReceived) FailNoAnswer();
}

void TBoardSession::ResumePolling() {
  PollingEnabled = true;
  PostPollMessage();
}

// --- One command at a time (TCommandGate) ---------------------------------------------------------

void TBoardSession::BeginCommand(TCommandKind Kind, uint32_t TriggeredAt) { Commands.Begin(Kind, TriggeredAt); }
void TBoardSession::EndCommand(bool Failed) { Commands.End(Failed); }

void TBoardSession::CheckNotStopped() const {
  if (Commands.StopPending()) throw EAbort();
}

QString TBoardSession::NotHeldText() {
  return QStringLiteral("A request was made while the poll cycle runs; it was not sent.");
}

// A waited request went unanswered: the operation stops here and nothing of it is sent
// further. The request is given up, the poll cycle goes on, and its next request waits for a
// quiet line, so a late reply can never be taken for the answer to a later request. A wait
// ended by closing the port ends the operation without a message.
void TBoardSession::FailNoAnswer() {
  if (!Comm32->Enabled()) throw EAbort();
  ReplyReceived = true;
  PollingEnabled = true;
  StartResync();
  throw EEvalError(QStringLiteral("The board does not respond!"));
}

// Before a waited request: bytes waiting that answer nothing asked put the line out of step.
void TBoardSession::EnsureInStep() {
  if (Comm32->InQueCount() > 0) LoseStep();
  WaitForQuietLine();
}

// A request of a handler while the cycle waits for a quiet line after a timeout: it waits too,
// at most as long as the cycle would, then drops what came meanwhile.
void TBoardSession::WaitForQuietLine() {
  if (!Resync.Pending()) return;
  WaitFor([this] { return !Resync.Pending() || !Comm32->Enabled(); }, TLineResync::LimitMs + TLineResync::QuietMs);
  Resync.Stop();
  Comm32->PurgeIn();
}

void TBoardSession::PostPollMessage() {
  QCoreApplication::postEvent(this, new QEvent(QEvent::Type(PollMessage)));
}

// --- Watchdog and poll cycle ----------------------------------------------------------------

void TBoardSession::TimerActionsTimer() {
  if (TimerBusy) return;
  TimerBusy = true;
  if (!ReplyReceived && Comm32->Enabled() && TicksSince(LastRequestTick) > WatchdogTimeout) {
    TimeoutActions();
    StartResync();
  }
  TimerBusy = false;
}

// The request given up is asked again once the line has been quiet (TLineResync).
void TBoardSession::StartResync() {
  RequestOutstanding = false;
  Resync.Start();
}

void TBoardSession::ResyncDone() {
  Comm32->PurgeIn();
  PostPollMessage();
}

void TBoardSession::TimeoutActions() {
  Comm32->PurgeIn();
  Comm32->PurgeOut();
  ReplyReceived = true;
  BoardIdentified = false;
  RestartPending = false;
  PollTable[PollRow::ControllerVersion].PageFilter = -1;
  emit BoardFaceChanged(nullptr);
  emit ValuesStale();
  emit LinkStateChanged(TLinkState::Silent);
}

void TBoardSession::customEvent(QEvent *e) {
  if (int(e->type()) == PollMessage) Guard([this] { PollMessageHandler(); });
}

void TBoardSession::PollMessageHandler() {
  if (!Comm32->Enabled()) return;
  if (!ReplyReceived) {
    if (TicksSince(LastRequestTick) > WatchdogTimeout) {
      TimeoutActions();
      StartResync();
    }
    return;
  }
  if (!PollingEnabled || DetectionRunning || Resync.Pending()) return;
  if (Comm32->InQueCount() > 0) return LoseStep();  // bytes that answer nothing asked
  ReplyReceived = false;
  if (PollIndex == PollRow::MotorRegister(0, ctl::X_ACTUAL) && GraphHooks) GraphHooks->NextGraphSample();
  SendPollRequest();
  LastRequestTick = TickCount();
}

// The request of the current poll row. Driver rows that the board does not have jump to its
// own driver rows, or restart the cycle at the first motor register.
void TBoardSession::SendPollRequest() {
  using namespace PollRow;
  auto jumpByBoard = [this] {
    if (FBoardKind == TBoardKind::OlderDrivers) PollIndex = OlderDriver;
    else if (FBoardKind == TBoardKind::Qvr550) PollIndex = Qvr550Driver;
  };
  auto getParameter = [this](int row, int motor) {
    SendCommand(1, GetParameter, PollTable[size_t(row)].Datagram, uint8_t(motor), 0, false, false);
  };
  const int i = PollIndex;
  if (i >= NewerDriverSelected && i <= NewerDriverLast) {
    jumpByBoard();
    getParameter(PollIndex, FSelectedMotor);
  } else if (i >= NewerDriverPairs && i < NewerDriverSelected) {
    const int motor = (i - NewerDriverPairs) / 2;
    jumpByBoard();
    getParameter(PollIndex, motor);
  } else if (i >= Qvr550Driver && i <= Last) {
    if (FBoardKind != TBoardKind::Qvr550) SendRestartRequest();
    else getParameter(i, FSelectedMotor);
  } else if (i >= Encoder && i <= EncoderLast) {
    SendCommandBytes(1, SpiTransfer, 4, 0, {PollTable[size_t(i)].Datagram, 0, 0, 0}, false, false);
  } else if (i >= OlderDriver && i <= OlderDriverLast) {
    if (FBoardKind != TBoardKind::OlderDrivers) SendRestartRequest();
    else getParameter(i, (i - OlderDriver) / 2);
  } else {
    WaitForEmptyOutput();
    SendDatagram(PollTable[size_t(i)].Datagram, 0, 0, 0);
  }
}

void TBoardSession::SendRestartRequest() {
  PollIndex = PollRow::FirstMotorRegister;
  LogLine.CycleStarts();
  WaitForEmptyOutput();
  SendDatagram(PollTable[PollRow::FirstMotorRegister].Datagram, 0, 0, 0);
}

// A port whose output never drains (a device gone while open) must not stop the program.
void TBoardSession::WaitForEmptyOutput() {
  if (Comm32->OutQueCount() == 0) return;
  WaitFor([this] { return Comm32->OutQueCount() == 0; }, OutputDrainLimitMs, 1);
}

void TBoardSession::Comm32RxChar(int Count) {
  if (Resync.Pending()) {
    // Bytes after a timeout with nothing asked: a late reply. Keep what a late answer to the
    // version query tells, drop the rest, and wait for the line to go quiet.
    if (Count == BoardFrameSize) TakeLateVersionReply();
    Comm32->PurgeIn();
    Resync.BytesArrived();
    return;
  }
  // Bytes that answer nothing asked, more than one reply, or a reply that does not fit the
  // request mean the line is out of step; the rest of a reply still on its way is waited for.
  if (Count < BoardFrameSize && RequestOutstanding) return;
  if (Count != BoardFrameSize || !RequestOutstanding) return LoseStep();
  BoardFrame frame{};
  Comm32->Read(frame.data(), BoardFrameSize);
  if (!BoardReply{frame}.Answers(LastCommand)) return LoseStep();
  RequestOutstanding = false;
  FReplyFrame = frame;
  ReplyReceived = true;
  CommandAnswered = true;
  std::copy(FReplyFrame.begin() + 4, FReplyFrame.end() - 1, FReplyValue.begin());
  const BoardReply reply{FReplyFrame};
  if (AnswersVersionQuery(reply))
    FBoardVersionText = QByteArray(reinterpret_cast<const char *>(FReplyFrame.data()) + 1, 8);
  else if (PollingEnabled && !reply.IsVersion())
    RouteReply();
  if (!BoardIdentified) Identify();
  Advance();
  ReplyReceived = true;
  RestartPending = false;
  PostPollMessage();
}

// Nothing of the bytes on the line is used. The request waiting for them is given up (a
// command waiting for it ends as after a lost reply) and asked again once the line is quiet.
void TBoardSession::LoseStep() {
  Comm32->PurgeIn();
  emit RepliesDiscarded(++DiscardedReplies);
  ReplyRejected = true;
  ReplyReceived = true;
  StartResync();
}

// A reply that is neither a datagram's nor a parameter's answer carries the version text only
// when the version was asked for: the board's answers to its other commands (5, 64, 65, 66)
// look the same and must not stand for its version.
bool TBoardSession::AnswersVersionQuery(const BoardReply &reply) const {
  return reply.IsVersion() && LastCommand == GetVersion;
}

void TBoardSession::TakeLateVersionReply() {
  BoardFrame frame{};
  if (Comm32->Read(frame.data(), BoardFrameSize) != BoardFrameSize || !AnswersVersionQuery(BoardReply{frame})) return;
  FBoardVersionText = QByteArray(reinterpret_cast<const char *>(frame.data()) + 1, 8);
  if (!BoardIdentified) Identify();
}

void TBoardSession::RouteReply() {
  const PollEntry &e = PollTable[PollIndex];
  int Value = 0;
  if (FReplyFrame[3] == SpiTransfer) {
    RouteControllerReply(e, Value);
  } else {
    Value = BoardReply{FReplyFrame}.Value();
    CallHandler(e);
  }
  if (LogHooks && LogHooks->LoggingRunning() && LogHooks->IsLogged(PollIndex)) {
    try {
      LogLine.Add(Value, *LogHooks);
    } catch (const std::exception &err) {
      ReportLater(ErrorText(err));
    }
  }
}

void TBoardSession::RouteControllerReply(const PollEntry &e, int &Value) {
  Value = ctl::DecodeValue(FReplyFrame[5], FReplyFrame[6], FReplyFrame[7], e.Format);
  const QString text = ctl::ValueText(Value, e.Format);
  if (e.ShowMain) e.ShowMain(text);
  CallHandler(e);
  if (e.ShowEditor && FEditorShown) e.ShowEditor(text);
  if (GraphHooks && PollIndex >= PollRow::FirstMotorRegister && PollIndex < PollRow::FirstGlobal) {
    const int motor = (PollIndex - PollRow::FirstMotorRegister) / 16;
    switch ((PollIndex - PollRow::FirstMotorRegister) % 16) {
    case ctl::X_ACTUAL: GraphHooks->SetPositionSample(Value, motor); break;
    case ctl::V_ACTUAL: GraphHooks->SetVelocitySample(Value, motor); break;
    case ctl::V_TARGET: GraphHooks->SetTargetVelocitySample(Value, motor); break;
    case ctl::A_ACTUAL: GraphHooks->SetAccelerationSample(Value, motor); break;
    default: break;
    }
  }
  if (PollIndex <= PollRow::LastController) emit StatusByte(FReplyFrame[4]);
}

// A window's handler that fails is reported (see ReportLater); the rest of the reply's routing,
// its log value included, and the cycle go on.
void TBoardSession::CallHandler(const PollEntry &e) {
  if (!e.Handler) return;
  try {
    e.Handler(FReplyFrame[5], FReplyFrame[6], FReplyFrame[7]);
  } catch (const std::exception &err) {
    ReportLater(ErrorText(err));
  }
}

// The next row the page filters admit, or that the log takes (read whether or not its window
// is shown); after the last row (or at a restart) the cycle begins again at the controller
// version, whatever its filter.
void TBoardSession::Advance() {
  if (PollIndex == PollRow::Last || RestartPending) {
    PollIndex = PollRow::ControllerVersion;
    LogLine.CycleStarts();
    return;
  }
  for (;;) {
    if (PollIndex == PollRow::Last) {
      PollIndex = PollRow::ControllerVersion;
      LogLine.CycleStarts();
    } else {
      ++PollIndex;
    }
    const int filter = PollTable[size_t(PollIndex)].PageFilter;
    if (filter == -1 || (FEditorShown && filter == FEditorPage) || (LogHooks && LogHooks->IsLogged(PollIndex))) return;
  }
}

void TBoardSession::ShowControllerVersion(uint8_t B5, uint8_t B6, uint8_t B7) {
  PollTable[PollRow::ControllerVersion].PageFilter = 255;
  FControllerVersionText = ctl::ChipVersionText(B5, B6, B7);
}

// Runs one of the session's own event handlers: a failure is reported, never thrown out of the
// event loop.
void TBoardSession::Guard(const std::function<void()> &handler) {
  THandlerScope scope;
  try {
    handler();
  } catch (const EAbort &) {
  } catch (const std::exception &err) {
    ReportLater(ErrorText(err));
  }
}

void TBoardSession::ReportLater(const QString &text) { emit ErrorReported(text); }

QString TBoardSession::ErrorText(const std::exception &err) {
  const auto *evalError = dynamic_cast<const EEvalError *>(&err);
  return evalError ? evalError->Text : QString::fromLocal8Bit(err.what());
}
