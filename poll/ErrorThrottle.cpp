#include "ErrorThrottle.h"
#include "Ticks.h"

bool TErrorThrottle::Admit(const QString &Text) {
  Seen.removeIf([](const auto &e) { return !e.value().Showing && TicksSince(e.value().LastTick) >= QuietMs; });
  const bool keepsComing = Seen.contains(Text);
  Seen[Text].LastTick = TickCount();
  if (keepsComing) return false;
  Seen[Text].Showing = true;
  return true;
}

void TErrorThrottle::Closed(const QString &Text) { Seen[Text] = {TickCount(), false}; }

void TErrorThrottle::ForgetClosed() {
  Seen.removeIf([](const auto &e) { return !e.value().Showing; });
}
