#pragma once
// One command at a time. Handlers run inside the waits of a running command (the program stays
// responsive), so a second command could start in the middle of the first and take its
// replies. Every command therefore begins here: the running command's own nested steps go on; a
// command of another handler is deferred and run, whole, after the running one ends, in the
// order given. A stop cannot wait behind others: it drops the commands waiting their turn, ends
// the running one after the exchange in flight (its next request sees StopPending) and runs next.
#include <QObject>
#include <cstdint>
#include <deque>
#include <functional>

// A stop takes the board from any other command: what that command has not yet sent is
// dropped, and so are the commands waiting their turn.
enum class TCommandKind { Ordinary, Stop };

class TCommandGate {
public:
  // Pause and Resume hold and release the board's poll cycle around commands.
  TCommandGate(QObject *Context, std::function<void()> Pause, std::function<void()> Resume);

  // Throws EAbort for a command triggered before a later stop, ECommandDeferred for one that
  // must wait its turn; otherwise the command holds the board until its End.
  void Begin(TCommandKind Kind, uint32_t TriggeredAt);
  void End(bool Failed);
  uint32_t StopCount() const { return Stops; }
  bool StopPending() const { return StopRequested && !RunningIsStop && Depth > 0; }
  void DropWaiting();  // the port closed: nothing waiting runs

private:
  struct TDeferred {
    std::function<void()> Handler;
    TCommandKind Kind;
  };
  void Defer(std::function<void()> Handler, TCommandKind Kind);
  void RunDeferred();
  void AfterCommand();

  QObject *Context;
  std::function<void()> Pause, Resume;
  int Depth = 0;       // nested pauses of the running command
  uint64_t Owner = 0;  // the handler that started it
  bool RunningIsStop = false;
  bool StopRequested = false;  // a stop waits for the running command to end
  uint32_t Stops = 0;          // stops asked for since the program started
  std::deque<TDeferred> Waiting;
  bool WaitingTurn = false;  // the deferred command popped last may begin before the rest
  bool RunPosted = false;
  uint64_t Begun = 0;
};
