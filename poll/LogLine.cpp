#include "LogLine.h"
#include "Ticks.h"

void TLogLine::Clear() {
  Pending.clear();
  ValueCount = 0;
}

void TLogLine::Add(int Value, TLogHooks &Hooks) {
  if (CycleStart) {
    if (ValueCount == Hooks.LogColumnCount()) Hooks.WriteLogLine(Pending);
    Pending = QString::number(TicksSince(Hooks.LogStartTick())) + u';' + QString::number(Value);
    ValueCount = 1;
    CycleStart = false;
  } else {
    Pending += u';' + QString::number(Value);
    ++ValueCount;
  }
}
