#pragma once
// Ctrl+C (SIGINT) and SIGTERM caught for as long as an InterruptWatch lives: Raised() turns true
// and the event loop wakes, so a wait can end and clean up instead of the process dying.
// A command the window program runs for a script is interrupted by its client instead: inside
// an InterruptScope, a new InterruptWatch follows the scope's flag and leaves the signals alone.
#include <QObject>
#include <csignal>
#include <memory>

class QSocketNotifier;

class InterruptWatch : public QObject {
public:
  InterruptWatch();
  ~InterruptWatch() override;
  bool Raised() const { return FRaised || (Flag && *Flag); }

private:
  std::shared_ptr<const bool> Flag;  // set: the scope's flag rules, no signals are caught
  QSocketNotifier *Notifier = nullptr;
  bool FRaised = false;
  struct sigaction OldInt {}, OldTerm {};
};

// While it lives, InterruptWatch objects created on this thread follow `flag`.
class InterruptScope {
public:
  explicit InterruptScope(std::shared_ptr<const bool> flag);
  ~InterruptScope();
  InterruptScope(const InterruptScope &) = delete;
  InterruptScope &operator=(const InterruptScope &) = delete;

private:
  std::shared_ptr<const bool> Outer;
};
