#include "LineResync.h"
#include "Ticks.h"

TLineResync::TLineResync(QObject *Context, std::function<void()> Quiet) {
  Timer.setSingleShot(true);
  QObject::connect(&Timer, &QTimer::timeout, Context, [this, Quiet = std::move(Quiet)] {
    Stop();
    Quiet();
  });
}

void TLineResync::Start() {
  IsPending = true;
  StartTick = TickCount();
  Timer.start(QuietMs);
}

void TLineResync::Stop() {
  IsPending = false;
  Timer.stop();
}

void TLineResync::BytesArrived() {
  if (TicksSince(StartTick) < uint32_t(LimitMs)) Timer.start(QuietMs);
}
