#pragma once
// The data log's line under assembly: one line per completed poll cycle, the time since the
// log started and then each logged value in poll order. A line is written when the next cycle
// begins and only when it holds every column, so a cycle cut short never leaves a short line.
#include <QString>
#include "PollHooks.h"

class TLogLine {
public:
  void CycleStarts() { CycleStart = true; }
  void Clear();
  // Throws what the hooks' WriteLogLine throws when the completed line cannot be written.
  void Add(int Value, TLogHooks &Hooks);

private:
  QString Pending;
  int ValueCount = 0;
  bool CycleStart = false;
};
