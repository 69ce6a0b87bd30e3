#pragma once
// Keeps an error that comes again and again (a failing handler every poll cycle, say) from
// burying the user in message boxes: each text is shown once, and not again until it has
// stopped coming for QuietMs after its box was closed. Each text is held back on its own, so a
// new message is shown while another keeps coming.
#include <QHash>
#include <QString>
#include <cstdint>

class TErrorThrottle {
public:
  static constexpr uint32_t QuietMs = 2000;

  bool Admit(const QString &Text);   // true: show it now (its box counts as showing)
  void Closed(const QString &Text);  // its box was closed
  void ForgetClosed();               // a new connection: texts whose box is closed start afresh

private:
  struct TSeen {
    uint32_t LastTick = 0;  // when it last came, or its box was closed
    bool Showing = false;
  };
  QHash<QString, TSeen> Seen;
};
