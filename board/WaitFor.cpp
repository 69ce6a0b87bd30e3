#include "WaitFor.h"
#include "Ticks.h"
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

bool WaitFor(const std::function<bool()> &done, int timeoutMs, int recheckMs) {
  if (done()) return true;
  const uint32_t start = TickCount();
  // The timer only wakes the sleeping event loop: at the deadline, or at the re-check pace.
  QTimer wake;
  wake.setTimerType(Qt::PreciseTimer);
  auto arm = [&] {
    int next = recheckMs > 0 ? recheckMs : 1000;
    if (timeoutMs >= 0) next = std::min(next, std::max(1, timeoutMs - int(TicksSince(start)) + 1));
    wake.start(next);
  };
  QObject::connect(&wake, &QTimer::timeout, &wake, arm);
  arm();
  while (!done()) {
    if (timeoutMs >= 0 && int(TicksSince(start)) > timeoutMs) break;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return done();
}
