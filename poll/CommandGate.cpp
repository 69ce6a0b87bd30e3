#include "CommandGate.h"
#include <QTimer>
#include "Ev710Utils.h"
#include "HandlerScope.h"

TCommandGate::TCommandGate(QObject *Context, std::function<void()> Pause, std::function<void()> Resume)
    : Context(Context), Pause(std::move(Pause)), Resume(std::move(Resume)) {}

void TCommandGate::Begin(TCommandKind Kind, uint32_t TriggeredAt) {
  const bool stop = Kind == TCommandKind::Stop;
  if (!stop && TriggeredAt != Stops) throw EAbort();     // a stop came after its button went down
  if (Depth > 0 && THandlerScope::Current() == Owner) {  // a nested step of the running command
    if (StopPending()) throw EAbort();
    ++Depth;
    return;
  }
  const bool othersFirst = !Waiting.empty() && !WaitingTurn;
  if (Depth > 0 || (othersFirst && !stop)) {
    if (stop) {
      StopRequested = true;
      ++Stops;
      Waiting.clear();
    }
    throw ECommandDeferred{[this, Kind](std::function<void()> handler) { Defer(std::move(handler), Kind); }};
  }
  if (stop) {
    ++Stops;
    Waiting.clear();
  }
  WaitingTurn = false;
  StopRequested = false;
  RunningIsStop = stop;
  Owner = THandlerScope::Current();
  ++Begun;
  ++Depth;
  // The command holds the board from here on: another handler that runs while the pause waits
  // for the poll reply in flight is deferred like any other.
  try {
    Pause();
  } catch (...) {
    End(true);
    throw;
  }
}

void TCommandGate::End(bool Failed) {
  if (Depth == 0 || --Depth > 0) return;
  Owner = 0;
  // After a failure the commands given meanwhile would meet the same silent board; stops run.
  if (Failed) std::erase_if(Waiting, [](const TDeferred &d) { return d.Kind != TCommandKind::Stop; });
  AfterCommand();
}

void TCommandGate::DropWaiting() {
  Waiting.clear();
  StopRequested = false;
}

void TCommandGate::Defer(std::function<void()> Handler, TCommandKind Kind) {
  Waiting.push_back({std::move(Handler), Kind});
  AfterCommand();
}

// With commands waiting, the cycle stays paused and the next one runs from the event loop.
void TCommandGate::AfterCommand() {
  if (Depth > 0) return;
  if (Waiting.empty()) {
    Resume();
  } else if (!RunPosted) {
    RunPosted = true;
    QTimer::singleShot(0, Context, [this] { RunDeferred(); });
  }
}

void TCommandGate::RunDeferred() {
  RunPosted = false;
  if (Depth > 0 || Waiting.empty()) return AfterCommand();
  const TDeferred next = std::move(Waiting.front());
  Waiting.pop_front();
  const uint64_t begun = Begun;
  WaitingTurn = true;
  next.Handler();  // runs guarded: never throws
  WaitingTurn = false;
  if (Begun == begun) AfterCommand();  // it sent nothing (dropped, or refused its input)
}
