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
constexpr uint32_t WatchdogTimeout = 2000;

const char *const NotHeldText = "A request was made while the poll cycle runs; it was not sent.";

QByteArray VersionTextOf(const std::array<uint8_t, 9> &frame) {
  return QByteArray(reinterpret_cast<const char *>(frame.data()) + 1, 8);
}

// A port whose output never drains (a device gone while open) must not stop the program.
void WaitForEmptyOutput(TComm32 &port) {
  if (port.OutQueCount() == 0) return;
  WaitFor([&port] { return port.OutQueCount() == 0; }, OutputDrainLimitMs, 1);
}

// Runs one of the session's own event handlers: a failure is reported, never thrown out of the
// event loop.
void Guard(TBoardSession &session, void (TBoardSession::*handler)()) {
  THandlerScope scope;
  try {
    (session.*handler)();
  } catch (const EAbort &) {
  } catch (const std::exception &err) {
    emit session.ErrorReported(ErrorText(err));
  }
}

void PostPollMessage(TBoardSession *session) {
  QCoreApplication::postEvent(session, new QEvent(QEvent::Type(TBoardSession::PollMessage)));
}

void SendPollRequest(TBoardSession &session, const TPollRequest &request) {
  switch (request.Kind) {
    case TPollRequest::Datagram:
      WaitForEmptyOutput(*session.Comm32);
      return session.SendDatagram(request.Code, 0, 0, 0);
    case TPollRequest::DriverParameter:
      session.SendCommand(1, GetParameter, request.Code, request.Motor, 0, false, false);
      return;
    case TPollRequest::EncoderTransfer:
      session.SendCommandBytes(1, SpiTransfer, 4, 0, {request.Code, 0, 0, 0}, false, false);
      return;
  }
}
}  // namespace

TBoardSession::TBoardSession(QObject *parent)
    : QObject(parent),
      Comm32(new TComm32(this)),
      Router([this](const QString &text) { emit ErrorReported(text); },
             [this](uint8_t status) { emit StatusByte(status); }),
      TimerActions(new QTimer(this)),
      Step(this, *Comm32,
           {.Quiet = [this] { PostPollMessage(this); },
            .Lost =
                [this] {
                  emit RepliesDiscarded(++Cycle.DiscardedReplies);
                  Cycle.ReplyRejected = true;
                  Cycle.ReplyReceived = true;
                },
            .Late = [this](const BoardFrame &frame) { TakeVersion(frame); }}),
      Gate(
          this, [this] { PausePolling(); }, [this] { ResumePolling(); }) {
  // The board's line: 115200 bit/s, 8N1, RTS raised only while sending, no XON/XOFF (a reply
  // byte 0x11 or 0x13 is data). Open makes the line raw whatever it was set to before.
  Comm32->BaudRate = cbr115200;
  Comm32->Parity = paNone;
  Comm32->Stopbits = sb10;
  Comm32->Databits = da8;
  Comm32->FlowControl = fcRTSToggle;
  Router.Table[PollRow::ControllerVersion].Handler = [this](uint8_t b5, uint8_t b6, uint8_t b7) {
    ShowControllerVersion(b5, b6, b7);
  };
  TimerActions->setInterval(100);
  connect(TimerActions, &QTimer::timeout, this, [this] { Guard(*this, &TBoardSession::TimerActionsTimer); });
  connect(Comm32, &TComm32::OnRxChar, this, [this](int count) { Comm32RxChar(count); });
  connect(Comm32, &TComm32::OnOpen, this, [this](int, int error) { Cycle.OpenError = error; });
}

TBoardSession::~TBoardSession() = default;

// --- Connection ----------------------------------------------------------------------------------

void TBoardSession::Open(const QString &PortEntry) {
  Comm32->DeviceName = ExtractField(PortEntry, u' ', 1);
  Cycle.OpenError = 0;
  Comm32->Open();
  if (!Comm32->Enabled()) throw EEvalError(OpenFailureText(PortEntry, Cycle.OpenError));
  Cycle.DiscardedReplies = 0;
  emit RepliesDiscarded(0);
}

bool TBoardSession::IsOpen() const { return Comm32->Enabled(); }

void TBoardSession::StartDetection() {
  Cycle.RestartPending = true;
  // Identify afresh from this Open's answer only: nothing of a board identified before (its
  // kind, version text) may stand for the board attached now.
  Cycle.BoardIdentified = false;
  Board.Kind = TBoardKind::None;
  Board.VersionText.clear();
  emit ValuesStale();
  emit BoardFaceChanged(nullptr);
  // The version reply is routed while this waits; the cycle itself starts only afterwards,
  // so that exactly one request is ever outstanding.
  Cycle.DetectionRunning = true;
  SendCommand(1, GetVersion, 0, 0, 0, true, false);
  Cycle.DetectionRunning = false;
  Cycle.LastRequestTick = TickCount();
  emit LinkStateChanged(TLinkState::Detecting);
  Router.Table[PollRow::ControllerVersion].PageFilter = -1;
}

// The cycle starts with a single request. When the version query went unanswered, its reply
// may still come: the first request waits for a quiet line, as after a timeout.
void TBoardSession::StartPolling() {
  Router.Index = 0;
  Cycle.ReplyReceived = true;
  Cycle.PollingEnabled = true;
  TimerActions->start();
  Cycle.BoardIdentified = false;
  if (Cycle.CommandAnswered)
    PostPollMessage(this);
  else
    Step.Resync();
}

void TBoardSession::Close() {
  Gate.DropWaiting();
  TimerActions->stop();
  Step.Stop();
  Router.StopLogging();
  Comm32->Close();
  Cycle.BoardIdentified = false;
  emit BoardFaceChanged(nullptr);
  emit ValuesStale();
}

void TBoardSession::Identify() {
  const TBoardFace *face = FaceOf(Board.VersionText);
  if (!face) return;
  Board.Kind = face->Kind;
  Cycle.BoardIdentified = true;
  emit BoardFaceChanged(face);
  emit LinkStateChanged(TLinkState::Active);
}

// --- Request primitives ------------------------------------------------------------------------

bool TBoardSession::SendCommand(uint8_t Address, uint8_t Command, uint8_t Type, uint8_t Motor, int32_t Value, bool Wait,
                                bool RaiseOnTimeout) {
  const auto frame = BoardCommand::WithValue(Address, Command, Type, Motor, Value);
  return SendCommandBytes(Address, Command, Type, Motor, frame.Value, Wait, RaiseOnTimeout);
}

bool TBoardSession::SendCommandBytes(uint8_t Address, uint8_t Command, uint8_t Type, uint8_t Motor,
                                     const std::array<uint8_t, 4> &Bytes, bool Wait, bool RaiseOnTimeout) {
  // A waited request needs the board to itself, or its answer could be a poll reply.
  if (Wait && Cycle.PollingEnabled && !Cycle.DetectionRunning) throw EEvalError(NotHeldText);
  if (Gate.StopPending()) throw EAbort();  // a stop ends the running command here
  if (Wait) Step.EnsureInStep();
  Cycle.CommandAnswered = false;
  Cycle.ReplyRejected = false;
  const BoardFrame frame = BoardCommand::WithBytes(Address, Command, Type, Motor, Bytes).Frame();
  Comm32->PurgeIn();
  Comm32->Write(frame.data(), int(frame.size()));
  Step.Sent(Command);
  if (!Wait) return true;
  // The answer ends the wait; so do a reply that does not fit and closing the port.
  WaitFor([this] { return Cycle.CommandAnswered || Cycle.ReplyRejected || !Comm32->Enabled(); }, int(ReplyTimeout));
  if (RaiseOnTimeout && !Cycle.CommandAnswered) FailNoAnswer();
  return Cycle.CommandAnswered;
}

void TBoardSession::SendDatagram(uint8_t B0, uint8_t B1, uint8_t B2, uint8_t B3) {
  SendCommandBytes(1, SpiTransfer, 0, 0, {B0, B1, B2, B3}, false, false);
}

void TBoardSession::TransferDatagram(uint8_t B0, uint8_t B1, uint8_t B2, uint8_t B3) {
  if (Cycle.PollingEnabled) throw EEvalError(NotHeldText);
  if (Gate.StopPending()) throw EAbort();  // a stop ends the running command here
  Step.EnsureInStep();
  Cycle.ReplyReceived = false;
  SendDatagram(B0, B1, B2, B3);
  Cycle.LastRequestTick = TickCount();
  WaitFor([this] { return Cycle.ReplyReceived || !Comm32->Enabled(); }, int(ReplyTimeout));
  if (!Cycle.ReplyReceived || Cycle.ReplyRejected) FailNoAnswer();
}

// Waits for the answer to the poll request in flight, at most until one reply timeout after
// it was sent; a request that stays unanswered ends the operation.
void TBoardSession::PausePolling() {
  if (!Cycle.PollingEnabled) return;
  Cycle.PollingEnabled = false;
  const int left = int(ReplyTimeout) - int(std::min(TicksSince(Cycle.LastRequestTick), ReplyTimeout));
  WaitFor([this] { return Cycle.ReplyReceived || !Comm32->Enabled(); }, left);
  if (!Cycle.ReplyReceived) FailNoAnswer();
}

void TBoardSession::ResumePolling() {
  Cycle.PollingEnabled = true;
  PostPollMessage(this);
}

// A waited request went unanswered: the operation stops here and nothing of it is sent
// further. The request is given up, the poll cycle goes on, and its next request waits for a
// quiet line, so a late reply can never be taken for the answer to a later request. A wait
// ended by closing the port ends the operation without a message.
void TBoardSession::FailNoAnswer() {
  if (!Comm32->Enabled()) throw EAbort();
  Cycle.ReplyReceived = true;
  Cycle.PollingEnabled = true;
  Step.Resync();
  throw EEvalError(QStringLiteral("The board does not respond!"));
}

// --- Watchdog and poll cycle ----------------------------------------------------------------

// A request unanswered for longer than the watchdog's timeout: the board is taken for silent,
// and the request is asked again once the line has been quiet.
void TBoardSession::TimerActionsTimer() {
  if (Cycle.TimerBusy) return;
  if (Cycle.ReplyReceived || !Comm32->Enabled() || TicksSince(Cycle.LastRequestTick) <= WatchdogTimeout) return;
  Cycle.TimerBusy = true;
  Comm32->PurgeIn();
  Comm32->PurgeOut();
  Cycle.ReplyReceived = true;
  Cycle.BoardIdentified = false;
  Cycle.RestartPending = false;
  Router.Table[PollRow::ControllerVersion].PageFilter = -1;
  emit BoardFaceChanged(nullptr);
  emit ValuesStale();
  emit LinkStateChanged(TLinkState::Silent);
  Step.Resync();
  Cycle.TimerBusy = false;
}

void TBoardSession::customEvent(QEvent *e) {
  if (int(e->type()) == PollMessage) Guard(*this, &TBoardSession::PollMessageHandler);
}

void TBoardSession::PollMessageHandler() {
  if (!Comm32->Enabled()) return;
  if (!Cycle.ReplyReceived) return TimerActionsTimer();
  if (!Cycle.PollingEnabled || Cycle.DetectionRunning || Step.Pending()) return;
  if (Comm32->InQueCount() > 0) return Step.Lose();  // bytes that answer nothing asked
  Cycle.ReplyReceived = false;
  if (Router.Index == PollRow::MotorRegister(0, ctl::X_ACTUAL) && Router.Views.GraphHooks)
    Router.Views.GraphHooks->NextGraphSample();
  SendPollRequest(*this, Router.NextRequest(Board.Kind));
  Cycle.LastRequestTick = TickCount();
}

void TBoardSession::Comm32RxChar(int Count) {
  if (const auto frame = Step.Take(Count)) TakeReply(*frame);
}

// A version text is taken only when the version was asked for: the board's answers to its
// other commands (5, 64, 65, 66) look the same and must not stand for its version.
void TBoardSession::TakeVersion(const BoardFrame &Frame) {
  if (!BoardReply{Frame}.IsVersion() || Step.LastCommand() != GetVersion) return;
  Board.VersionText = VersionTextOf(Frame);
  if (!Cycle.BoardIdentified) Identify();
}

// The reply to the request outstanding: a version text, or the poll row's value; then the
// cycle's next request.
void TBoardSession::TakeReply(const BoardFrame &Frame) {
  Cycle.ReplyFrame = Frame;
  Cycle.ReplyReceived = true;
  Cycle.CommandAnswered = true;
  const bool version = BoardReply{Frame}.IsVersion();
  if (version)
    TakeVersion(Frame);
  else if (Cycle.PollingEnabled)
    Router.Route(Frame);
  if (!Cycle.BoardIdentified) Identify();
  Router.Advance(Cycle.RestartPending);
  Cycle.RestartPending = false;
  // While the cycle runs, its next request goes out at once: a round through the event loop
  // per exchange costs more than the routing itself. A command or a detection waiting for this
  // reply gets its turn through the poll message instead.
  if (Cycle.PollingEnabled && !Cycle.DetectionRunning)
    Guard(*this, &TBoardSession::PollMessageHandler);
  else
    PostPollMessage(this);
}

void TBoardSession::ShowControllerVersion(uint8_t B5, uint8_t B6, uint8_t B7) {
  Router.Table[PollRow::ControllerVersion].PageFilter = 255;
  Board.ControllerVersionText = ctl::ChipVersionText(B5, B6, B7);
}
