#include "CtlWatch.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <algorithm>
#include "Interrupt.h"
#include "Ticks.h"
#include "WaitFor.h"

namespace ctltool {

namespace {

// How often the wait looks whether the request in flight has outlived its reply timeout.
constexpr int SilenceCheckMs = 100;

// Each column this board kind offers, by name: what one box of one motor selects in the log.
QMap<QString, int> ColumnsOfBoard(TBoardKind boardKind) {
  QMap<QString, int> rows;
  for (int motor = 0; motor < 3; ++motor)
    for (int value = 0; value < LogValueCount; ++value) {
      TLogChecks checks{};
      checks[size_t(value)] = true;
      TLogSelection one;
      SelectMotorColumns(one, motor, checks, boardKind);
      for (int row = 0; row <= LastLogColumnRow; ++row)
        if (one.test(size_t(row))) rows[LogColumnName(row)] = row;
    }
  return rows;
}

}  // namespace

TLogSelection WatchSelection(const QStringList &rows, TBoardKind boardKind) {
  TLogSelection selection;
  if (rows.isEmpty()) {
    TLogChecks checks{};
    for (TLogValue v : {TLogValue::ActualPosition, TLogValue::ActualVelocity, TLogValue::LoadProbe}) checks[size_t(v)] = true;
    for (int motor = 0; motor < 3; ++motor) SelectMotorColumns(selection, motor, checks, boardKind);
    return selection;
  }
  const QMap<QString, int> columns = ColumnsOfBoard(boardKind);
  for (const QString &row : rows) {
    const QString name = row.toUpper().replace(u'.', u'_');
    if (!columns.contains(name))
      throw ToolFailure{ExitUsage, QStringLiteral("Unknown row \"%1\"; this board offers %2.").arg(row, columns.keys().join(QStringLiteral(", ")))};
    selection.set(size_t(columns[name]));
  }
  return selection;
}

WatchLog::WatchLog(TBoardAccess &board, const TLogSelection &selection, WatchPrinter &printer, int limit)
    : Board(board), Selection(selection), Printer(printer), Limit(limit), StartTick(TickCount()) {
  Board.AddLogHooks(this);
}

WatchLog::~WatchLog() { Board.RemoveLogHooks(this); }

bool WatchLog::IsLogged(int row) const { return row >= 0 && row <= LastLogColumnRow && Selection.test(size_t(row)); }

int WatchLog::LogColumnCount() const { return CountLogColumns(Selection); }

void WatchLog::WriteLogLine(const QString &line) {
  if (Done()) return;
  const QStringList fields = line.split(u';');
  QList<int> values;
  for (qsizetype i = 1; i < fields.size(); ++i) values << fields[i].toInt();
  Printer.PrintCycle(fields[0].toLongLong(), values);
  ++Cycles;
}

WatchPrinter::WatchPrinter(const QStringList &columns, WatchFormat format, QTextStream &out)
    : Columns(columns), Format(format), Out(out) {}

void WatchPrinter::PrintHeader() {
  if (Format == WatchFormat::Json) return;
  Out << (Format == WatchFormat::Csv ? Columns.join(u',') : TextLine(Columns)) << u'\n';
  Out.flush();
}

void WatchPrinter::PrintCycle(qint64 timeMs, const QList<int> &values) {
  if (Format == WatchFormat::Json) {
    QJsonObject line{{Columns[0], timeMs}};
    for (qsizetype i = 0; i < values.size() && i + 1 < Columns.size(); ++i) line[Columns[i + 1]] = values[i];
    Out << QJsonDocument(line).toJson(QJsonDocument::Compact) << u'\n';
  } else {
    QStringList fields{QString::number(timeMs)};
    for (int value : values) fields << QString::number(value);
    Out << (Format == WatchFormat::Csv ? fields.join(u',') : TextLine(fields)) << u'\n';
  }
  Out.flush();  // whole lines only, and each at once: a pipe or a file sees it as it comes
}

// Right-aligned under the column names, each column at least as wide as a 24-bit value.
QString WatchPrinter::TextLine(const QStringList &fields) const {
  QStringList cells;
  for (qsizetype i = 0; i < fields.size(); ++i)
    cells << fields[i].rightJustified(std::max<qsizetype>(i < Columns.size() ? Columns[i].size() : 0, 8));
  return cells.join(QStringLiteral("  "));
}

Report WatchCommand(ToolBoard &board, const WatchRequest &request, QTextStream &out) {
  const TBoardSession &session = board.Session;
  const TLogSelection selection = WatchSelection(request.Rows, session.Identity().Kind);
  const InterruptWatch interrupt;
  WatchPrinter printer(LogHeader(selection).split(u';'), request.Format, out);
  printer.PrintHeader();
  const WatchLog log(board.Session, selection, printer, request.Count);
  const auto silent = [&session] {
    return !session.State().ReplyReceived && TicksSince(session.State().LastRequestTick) > ReplyTimeout;
  };
  WaitFor([&] { return log.Done() || interrupt.Raised() || silent(); }, request.Seconds > 0 ? 1000 * request.Seconds : -1,
          SilenceCheckMs);
  if (interrupt.Raised()) return {{}, {}, ExitInterrupted};
  if (!log.Done() && silent()) throw ToolFailure{ExitBoardFailed, QStringLiteral("The board does not respond!")};
  return {};
}

}  // namespace ctltool
