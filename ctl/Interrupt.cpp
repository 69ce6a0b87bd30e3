#include "Interrupt.h"
#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

namespace {
// The handler only writes a byte into this pipe; the notifier reads it in the event loop.
int Pipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = write(Pipe[1], &byte, 1);
}

// The innermost InterruptScope's flag (null: none).
std::shared_ptr<const bool> &ScopeFlag() {
  static std::shared_ptr<const bool> flag;
  return flag;
}
}  // namespace

InterruptWatch::InterruptWatch() : Flag(ScopeFlag()) {
  if (Flag) return;
  if (Pipe[0] < 0 && pipe2(Pipe, O_CLOEXEC | O_NONBLOCK) != 0) Pipe[0] = Pipe[1] = -1;
  Notifier = new QSocketNotifier(Pipe[0], QSocketNotifier::Read, this);
  connect(Notifier, &QSocketNotifier::activated, this, [this] {
    char buffer[16];
    while (read(Pipe[0], buffer, sizeof buffer) > 0) {}
    FRaised = true;
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &OldInt);
  sigaction(SIGTERM, &action, &OldTerm);
}

InterruptWatch::~InterruptWatch() {
  if (Flag) return;
  sigaction(SIGINT, &OldInt, nullptr);
  sigaction(SIGTERM, &OldTerm, nullptr);
}

InterruptScope::InterruptScope(std::shared_ptr<const bool> flag) : Outer(std::exchange(ScopeFlag(), std::move(flag))) {}
InterruptScope::~InterruptScope() { ScopeFlag() = std::move(Outer); }
