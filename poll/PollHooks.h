#pragma once
// What the poll cycle feeds besides the main window: the graphics window's samples and the
// data log's line. The cycle calls whatever hooks are set (TBoardAccess::Views().GraphHooks, AddLogHooks).
#include <QString>
#include <cstdint>

class TGraphHooks {
public:
  virtual ~TGraphHooks() = default;
  virtual void SetPositionSample(int Value, int Motor) = 0;
  virtual void SetVelocitySample(int Value, int Motor) = 0;
  virtual void SetTargetVelocitySample(int Value, int Motor) = 0;
  virtual void SetAccelerationSample(int Value, int Motor) = 0;
  virtual void NextGraphSample() = 0;
};

class TLogHooks {
public:
  virtual ~TLogHooks() = default;
  virtual bool LoggingRunning() const = 0;
  virtual bool IsLogged(int PollIndex) const = 0;   // logging runs and PollIndex is in its selection
  virtual int LogColumnCount() const = 0;
  virtual uint32_t LogStartTick() const = 0;
  virtual void WriteLogLine(const QString &Line) = 0;  // throws EEvalError when it cannot write
  virtual void StopLogging() {}  // the port closes or the program ends: close the log
};
