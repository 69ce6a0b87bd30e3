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

const char *const NotHeldText = "A request was made while the poll cycle runs; it was not sent.";

QByteArray VersionTextOf(const std::array<uint8_t, 9> &frame) {
  return QByteArray(reinterpret_cast<const char *>(frame.data()) + 1, 8);
}

// A port whose output never drains (a device gone while open) must not stop the program.
void WaitForEmptyOutput(TComm32 &port) {
  if (port.OutQueCount() == 0) return;
  WaitFor([&port] { return port.OutQueCount() == 0; }, OutputDrainLimitMs, 1);
}
}  // namespace

TBoardSession::TBoardSession(QObject *parent)
    : QObject(parent), Comm32(new TComm32(this)),
      Router([this](const QString &text) { emit ErrorReported(text); }, [this](uint8_t status) { emit StatusByte(status); }),
      TimerActions(new QTimer(this)), Resync(this, [this] {
        Comm32->PurgeIn();
        PostPollMessage();
      }),
      Commands(this, [this] { PausePolling(); }, [this] { ResumePolling(); }) {
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
  connect(TimerActions, &QTimer::timeout, this, [this] { Guard([this] { TimerActionsTimer(); }); });
  connect(Comm32, &TComm32::OnRxChar, this, [this](int count) { Comm32RxChar(count); });
  connect(Comm32, &TComm32::OnOpen, this, [this](int, int error) { Cycle.OpenError = error; });
}

TBoardSession::~TBoardSession() = default;

// Runs one of the session's own event handlers: a failure is reported, never thrown out of the
// event loop.
void TBoardSession::Guard(const std::function<void()> &handler) {
  THandlerScope scope;
  try {
    handler();
  } catch (const EAbort &) {
  } catch (const std::exception &err) {
    emit ErrorReported(ErrorText(err));
  }
}

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
  Identity.Kind = TBoardKind::None;
  Identity.VersionText.clear();
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
  if (Cycle.CommandAnswered) PostPollMessage();
  else StartResync();
}

void TBoardSession::Close() {
  Commands.DropWaiting();
  TimerActions->stop();
  Resync.Stop();
  Router.StopLogging();
  Comm32->Close();
  Cycle.BoardIdentified = false;
  emit BoardFaceChanged(nullptr);
  emit ValuesStale();
}

void TBoardSession::Identify() {
  const TBoardFace *face = FaceOf(Identity.VersionText);
  if (!face) return;
  Identity.Kind = face->Kind;
  Cycle.BoardIdentified = true;
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
  if (Wait && Cycle.PollingEnabled && !Cycle.DetectionRunning) throw EEvalError(NotHeldText);
  if (Commands.StopPending()) throw EAbort();  // a stop ends the running command here
  if (Wait) EnsureInStep();
  Cycle.CommandAnswered = false;
  Cycle.ReplyRejected = false;
  Cycle.LastCommand = Command;
  const BoardFrame frame = BoardCommand::WithBytes(Address, Command, Type, Motor, Bytes).Frame();
  Comm32->PurgeIn();
  Comm32->Write(frame.data(), int(frame.size()));
  Cycle.RequestOutstanding = true;
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
  if (Commands.StopPending()) throw EAbort();  // a stop ends the running command here
  EnsureInStep();
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
  PostPollMessage();
}


// A waited request went unanswered: the operation stops here and nothing of it is sent
// further. The request is given up, the poll cycle goes on, and its next request waits for a
// quiet line, so a late reply can never be taken for the answer to a later request. A wait
// ended by closing the port ends the operation without a message.
void TBoardSession::FailNoAnswer() {
  if (!Comm32->Enabled()) throw EAbort();
  Cycle.ReplyReceived = true;
  Cycle.PollingEnabled = true;
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
  if (Cycle.TimerBusy) return;
  Cycle.TimerBusy = true;
  if (!Cycle.ReplyReceived && Comm32->Enabled() && TicksSince(Cycle.LastRequestTick) > WatchdogTimeout) {
    TimeoutActions();
    StartResync();
  }
  Cycle.TimerBusy = false;
}

// The request given up is asked again once the line has been quiet (TLineResync).
void TBoardSession::StartResync() {
  Cycle.RequestOutstanding = false;
  Resync.Start();
}

void TBoardSession::TimeoutActions() {
  Comm32->PurgeIn();
  Comm32->PurgeOut();
  Cycle.ReplyReceived = true;
  Cycle.BoardIdentified = false;
  Cycle.RestartPending = false;
  Router.Table[PollRow::ControllerVersion].PageFilter = -1;
  emit BoardFaceChanged(nullptr);
  emit ValuesStale();
  emit LinkStateChanged(TLinkState::Silent);
}

void TBoardSession::customEvent(QEvent *e) {
  if (int(e->type()) == PollMessage) Guard([this] { PollMessageHandler(); });
}

void TBoardSession::PollMessageHandler() {
  if (!Comm32->Enabled()) return;
  if (!Cycle.ReplyReceived) {
    if (TicksSince(Cycle.LastRequestTick) > WatchdogTimeout) {
      TimeoutActions();
      StartResync();
    }
    return;
  }
  if (!Cycle.PollingEnabled || Cycle.DetectionRunning || Resync.Pending()) return;
  if (Comm32->InQueCount() > 0) return LoseStep();  // bytes that answer nothing asked
  Cycle.ReplyReceived = false;
  if (Router.Index == PollRow::MotorRegister(0, ctl::X_ACTUAL) && Router.Views.GraphHooks)
    Router.Views.GraphHooks->NextGraphSample();
  SendPollRequest();
  Cycle.LastRequestTick = TickCount();
}

// The request of the current poll row. Driver rows that the board does not have jump to its
// own driver rows, or restart the cycle at the first motor register.
void TBoardSession::SendPollRequest() {
  using namespace PollRow;
  const TBoardKind kind = Identity.Kind;
  int &index = Router.Index;
  auto jumpByBoard = [&] {
    if (kind == TBoardKind::OlderDrivers) index = OlderDriver;
    else if (kind == TBoardKind::Qvr550) index = Qvr550Driver;
  };
  auto sendDatagramOf = [this](int row) {
    WaitForEmptyOutput(*Comm32);
    SendDatagram(Router.Table[size_t(row)].Datagram, 0, 0, 0);
  };
  auto restart = [&] {
    Router.RestartAtFirstMotorRegister();
    sendDatagramOf(Router.Index);
  };
  auto getParameter = [this](int row, int motor) {
    SendCommand(1, GetParameter, Router.Table[size_t(row)].Datagram, uint8_t(motor), 0, false, false);
  };
  const int i = index;
  const int selectedMotor = Router.Views.SelectedMotor;
  if (i >= NewerDriverSelected && i <= NewerDriverLast) {
    jumpByBoard();
    getParameter(index, selectedMotor);
  } else if (i >= NewerDriverPairs && i < NewerDriverSelected) {
    const int motor = (i - NewerDriverPairs) / 2;
    jumpByBoard();
    getParameter(index, motor);
  } else if (i >= Qvr550Driver && i <= Last) {
    if (kind != TBoardKind::Qvr550) restart();
    else getParameter(i, selectedMotor);
  } else if (i >= Encoder && i <= EncoderLast) {
    SendCommandBytes(1, SpiTransfer, 4, 0, {Router.Table[size_t(i)].Datagram, 0, 0, 0}, false, false);
  } else if (i >= OlderDriver && i <= OlderDriverLast) {
    if (kind != TBoardKind::OlderDrivers) restart();
    else getParameter(i, (i - OlderDriver) / 2);
  } else {
    sendDatagramOf(i);
  }
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
  if (Count < BoardFrameSize && Cycle.RequestOutstanding) return;
  if (Count != BoardFrameSize || !Cycle.RequestOutstanding) return LoseStep();
  BoardFrame frame{};
  Comm32->Read(frame.data(), BoardFrameSize);
  if (!BoardReply{frame}.Answers(Cycle.LastCommand)) return LoseStep();
  TakeReply(frame);
}

// The reply to the request outstanding: a version text, or the poll row's value; then the
// cycle's next request.
void TBoardSession::TakeReply(const std::array<uint8_t, 9> &Frame) {
  Cycle.RequestOutstanding = false;
  Cycle.ReplyFrame = Frame;
  Cycle.ReplyReceived = true;
  Cycle.CommandAnswered = true;
  std::copy(Frame.begin() + 4, Frame.end() - 1, Cycle.ReplyValue.begin());
  const BoardReply reply{Frame};
  if (reply.IsVersion() && Cycle.LastCommand == GetVersion) Identity.VersionText = VersionTextOf(Frame);
  else if (Cycle.PollingEnabled && !reply.IsVersion()) Router.Route(Frame);
  if (!Cycle.BoardIdentified) Identify();
  Router.Advance(Cycle.RestartPending);
  Cycle.RestartPending = false;
  // While the cycle runs, its next request goes out at once: a round through the event loop
  // per exchange costs more than the routing itself. A command or a detection waiting for this
  // reply gets its turn through the poll message instead.
  if (Cycle.PollingEnabled && !Cycle.DetectionRunning) Guard([this] { PollMessageHandler(); });
  else PostPollMessage();
}

// Nothing of the bytes on the line is used. The request waiting for them is given up (a
// command waiting for it ends as after a lost reply) and asked again once the line is quiet.
void TBoardSession::LoseStep() {
  Comm32->PurgeIn();
  emit RepliesDiscarded(++Cycle.DiscardedReplies);
  Cycle.ReplyRejected = true;
  Cycle.ReplyReceived = true;
  StartResync();
}

// A late reply carries the version text only when the version was asked for: the board's
// answers to its other commands (5, 64, 65, 66) look the same and must not stand for its version.
void TBoardSession::TakeLateVersionReply() {
  BoardFrame frame{};
  if (Comm32->Read(frame.data(), BoardFrameSize) != BoardFrameSize) return;
  if (!BoardReply{frame}.IsVersion() || Cycle.LastCommand != GetVersion) return;
  Identity.VersionText = VersionTextOf(frame);
  if (!Cycle.BoardIdentified) Identify();
}

void TBoardSession::ShowControllerVersion(uint8_t B5, uint8_t B6, uint8_t B7) {
  Router.Table[PollRow::ControllerVersion].PageFilter = 255;
  Identity.ControllerVersionText = ctl::ChipVersionText(B5, B6, B7);
}
