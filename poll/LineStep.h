#pragma once
// Keeps the requests and the replies on the line in step: one request is outstanding at a time,
// and only a whole reply that fits it is taken. Bytes that answer nothing asked, more than one
// reply, or a reply that does not fit put the line out of step: nothing of them is used, the
// request is given up, and nothing is asked until the line has been quiet for QuietMs, so that a
// late reply cannot be taken for the answer to a later request. Bytes that come meanwhile
// restart the wait; a line that never goes quiet (stray bytes) ends it after LimitMs all the same.
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>
#include "BoardFrames.h"

class TComm32;

class TLineStep {
public:
  static constexpr int QuietMs = 250;
  static constexpr int LimitMs = 1000;

  struct THooks {
    std::function<void()> Quiet;                   // the wait ended by itself: ask again
    std::function<void()> Lost;                    // bytes were dropped and the request given up
    std::function<void(const BoardFrame &)> Late;  // a whole frame came while the line settled
  };
  TLineStep(QObject *Context, TComm32 &Port, THooks Hooks);

  void Sent(uint8_t Command);  // a request went out
  uint8_t LastCommand() const { return Command; }
  // Bytes arrived: the reply to the request outstanding, once it is whole and fits it.
  std::optional<BoardFrame> Take(int Count);
  void Resync();        // gives up the request outstanding; asks again once the line is quiet
  void Lose();          // drops the bytes on the line, then resyncs
  void EnsureInStep();  // before a waited request: nothing stray waits, no resync runs
  bool Pending() const { return IsPending; }
  void Stop();

private:
  void BytesArrived();

  TComm32 &Port;
  THooks Hooks;
  QTimer Timer;
  bool IsPending = false;
  bool Outstanding = false;
  uint8_t Command = 0;
  uint32_t StartTick = 0;
};
