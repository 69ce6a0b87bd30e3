#pragma once
// watch: the poll cycle's values under the data log's column names, one line per completed
// cycle. WatchPrinter only formats what it is fed, so the values can come from any session that
// runs the cycle; WatchCommand feeds it from the tool's own board.
#include <QList>
#include <QStringList>
#include <QTextStream>
#include "CtlCommands.h"
#include "LogColumns.h"

namespace ctltool {

enum class WatchFormat { Text, Csv, Json };

// The data log's columns named by `rows` (X_ACTUAL_1 or X_ACTUAL.1, any case) on this board
// kind; none named: the actual position, actual velocity and load value of every motor the
// board has. A name the board does not offer is a usage failure.
TLogSelection WatchSelection(const QStringList &rows, int boardKind);

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
