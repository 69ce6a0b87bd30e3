#pragma once
// Ctrl+C (SIGINT) and SIGTERM caught for as long as an InterruptWatch lives: Raised() turns true
// and the event loop wakes, so a wait can end and clean up instead of the process dying.
#include <QObject>
#include <csignal>

class QSocketNotifier;

class InterruptWatch : public QObject {
public:
  InterruptWatch();
  ~InterruptWatch() override;
  bool Raised() const { return FRaised; }

private:
  QSocketNotifier *Notifier;
  bool FRaised = false;
  struct sigaction OldInt {}, OldTerm {};
};
