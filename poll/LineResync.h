#pragma once
// A quiet-line wait: after a timeout, or bytes that did not fit the request, nothing is asked
// until the line has been quiet for QuietMs, so that a late reply cannot be taken for the answer
// to a later request. Bytes that come meanwhile restart the wait; a line that never goes quiet
// (stray bytes) ends it after LimitMs all the same.
#include <QTimer>
#include <cstdint>
#include <functional>

class TLineResync {
public:
  static constexpr int QuietMs = 250;
  static constexpr int LimitMs = 1000;

  // Quiet is called when the wait ends by itself.
  TLineResync(QObject *Context, std::function<void()> Quiet);
  void Start();
  void Stop();
  bool Pending() const { return IsPending; }
  void BytesArrived();  // late bytes: the line is not quiet yet

private:
  QTimer Timer;
  bool IsPending = false;
  uint32_t StartTick = 0;
};
