#include "LineStep.h"
#include "Ticks.h"
#include "WaitFor.h"
#include "async32.h"

TLineStep::TLineStep(QObject *Context, TComm32 &Port, THooks Hooks) : Port(Port), Hooks(std::move(Hooks)) {
  Timer.setSingleShot(true);
  QObject::connect(&Timer, &QTimer::timeout, Context, [this] {
    Stop();
    this->Port.PurgeIn();
    this->Hooks.Quiet();
  });
}

void TLineStep::Sent(uint8_t Asked) {
  Command = Asked;
  Outstanding = true;
}

std::optional<BoardFrame> TLineStep::Take(int Count) {
  if (IsPending) {
    // Bytes after a timeout with nothing asked: a late reply. A whole frame may still tell
    // something (the version asked for); the rest is dropped until the line goes quiet.
    BoardFrame frame{};
    if (Count == BoardFrameSize && Port.Read(frame.data(), BoardFrameSize) == BoardFrameSize) Hooks.Late(frame);
    Port.PurgeIn();
    BytesArrived();
    return std::nullopt;
  }
  if (Count < BoardFrameSize && Outstanding) return std::nullopt;  // the rest is on its way
  if (Count != BoardFrameSize || !Outstanding) {
    Lose();
    return std::nullopt;
  }
  BoardFrame frame{};
  Port.Read(frame.data(), BoardFrameSize);
  if (!BoardReply{frame}.Answers(Command)) {
    Lose();
    return std::nullopt;
  }
  Outstanding = false;
  return frame;
}

void TLineStep::Resync() {
  Outstanding = false;
  IsPending = true;
  StartTick = TickCount();
  Timer.start(QuietMs);
}

void TLineStep::Lose() {
  Port.PurgeIn();
  Hooks.Lost();
  Resync();
}

// A request of a handler while the cycle waits for a quiet line waits too, at most as long as
// the cycle would, then drops what came meanwhile.
void TLineStep::EnsureInStep() {
  if (Port.InQueCount() > 0) Lose();
  if (!IsPending) return;
  WaitFor([this] { return !IsPending || !Port.Enabled(); }, LimitMs + QuietMs);
  Stop();
  Port.PurgeIn();
}

void TLineStep::Stop() {
  IsPending = false;
  Timer.stop();
}

void TLineStep::BytesArrived() {
  if (TicksSince(StartTick) < uint32_t(LimitMs)) Timer.start(QuietMs);
}
