#include "WaitFor.h"
#include "Ticks.h"
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

bool WaitFor(const std::function<bool()> &done, int timeoutMs) {
  const uint32_t start = TickCount();
  // A timer that fires at the deadline wakes the sleeping event loop; without a deadline a
  // slow heartbeat still re-checks conditions that change without an event (a cleared flag).
  QTimer wake;
  wake.setSingleShot(false);
  wake.setInterval(timeoutMs >= 0 ? std::max(1, timeoutMs) : 50);
  wake.start();
  while (!done()) {
    if (timeoutMs >= 0 && int(TicksSince(start)) > timeoutMs) break;
    if (timeoutMs >= 0) {
      const int left = timeoutMs - int(TicksSince(start)) + 1;
      if (left > 0 && wake.remainingTime() > left) wake.start(left);
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
  }
  return done();
}
