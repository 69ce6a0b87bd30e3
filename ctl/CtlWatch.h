#pragma once
// watch: the poll cycle's values under the data log's column names, one line per completed
// cycle. WatchPrinter only formats what it is fed and WatchLog feeds it from any session's cycle;
// WatchCommand runs them on the tool's own board.
#include <QList>
#include <QStringList>
#include <QTextStream>
#include "CtlCommands.h"
#include "LogColumns.h"
#include "PollHooks.h"

namespace ctltool {

enum class WatchFormat { Text, Csv, Json };

// The data log's columns named by `rows` (X_ACTUAL_1 or X_ACTUAL.1, any case) on this board
// kind; none named: the actual position, actual velocity and load value of every motor the
// board has. A name the board does not offer is a usage failure.
TLogSelection WatchSelection(const QStringList &rows, TBoardKind boardKind);

// Lines of TIME (ms since the watch began) and the values, in the data log's column order.
class WatchPrinter {
public:
  WatchPrinter(const QStringList &columns, WatchFormat format, QTextStream &out);
  void PrintHeader();  // the column names; JSON has none
  void PrintCycle(qint64 timeMs, const QList<int> &values);

private:
  QString TextLine(const QStringList &fields) const;

  QStringList Columns;  // TIME first
  WatchFormat Format;
  QTextStream &Out;
};

// The data log's hooks on a session (TBoardAccess::AddLogHooks while it lives, beside the window's own): the cycle hands
// over one whole line per completed cycle, "TIME;value;...", and nothing of a cycle cut short;
// the first `limit` lines (0: all) go to the printer.
class WatchLog : public TLogHooks {
public:
  WatchLog(TBoardAccess &board, const TLogSelection &selection, WatchPrinter &printer, int limit);
  ~WatchLog() override;
  bool LoggingRunning() const override { return true; }
  bool IsLogged(int row) const override;
  int LogColumnCount() const override;
  uint32_t LogStartTick() const override { return StartTick; }
  void WriteLogLine(const QString &line) override;
  bool Done() const { return Limit > 0 && Cycles >= Limit; }

private:
  TBoardAccess &Board;
  TLogSelection Selection;
  WatchPrinter &Printer;
  int Limit, Cycles = 0;
  uint32_t StartTick;
};

struct WatchRequest {
  QStringList Rows;
  int Count = 0;    // cycles to print; 0: no limit
  int Seconds = 0;  // 0: no limit
  WatchFormat Format = WatchFormat::Text;
};

// Prints until the count or the time is reached (exit 0) or Ctrl+C/SIGTERM (ExitInterrupted);
// a board that stops answering ends it after one reply timeout (ExitBoardFailed).
Report WatchCommand(ToolBoard &board, const WatchRequest &request, QTextStream &out);

}  // namespace ctltool
