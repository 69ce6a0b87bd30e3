// qvr710-ctl against the simulated boards paced at the line's speed:
// (a) a get of one register on SIM1 from process start to exit, the median of 21 runs, beside
//     the process start alone (--version) and, measured in this process, the start of a
//     simulated board and, on this process's SIM1, the port opened and the board identified,
//     the get's exchange and the port's release;
// (b) watch --csv for a few seconds: full cycles per second against the window program's poll
//     cycle on the same board in the same run.
#include <QProcess>
#include "BenchSession.h"
#include "CtlCommands.h"
#include "CtlRegisterCommands.h"

namespace {

constexpr int kRuns = 21;
constexpr int kWatchSeconds = 5;

// Wall time of one run of the tool in ms, or -1 when it failed.
double ToolMs(const QStringList &args) { return bench::ToolRunMs(QStringLiteral(QVR_CTL_PATH), args); }

// Runs of --version and of the get in turn, so that both medians see the same load.
bool ToolRuns(std::vector<double> &version, std::vector<double> &get) {
  for (int i = 0; i < kRuns; ++i) {
    version.push_back(ToolMs({"--version"}));
    get.push_back(ToolMs({"--port", "SIM1", "get", "V_MAX.1"}));
  }
  const bool ok = *std::min_element(version.begin(), version.end()) >= 0 && *std::min_element(get.begin(), get.end()) >= 0;
  if (!ok) std::fprintf(stderr, "a run of qvr710-ctl failed\n");
  return ok;
}

double MsSince(const QElapsedTimer &clock) { return clock.nsecsElapsed() / 1e6; }

// The steps of a get inside the tool, on this process's SIM1 (started before, as the tool's own
// SIM1 is started within its run).
void GetSteps(std::vector<double> &open, std::vector<double> &exchange, std::vector<double> &close) {
  QString errors;
  QTextStream err(&errors);
  for (int i = 0; i < kRuns; ++i) {
    QElapsedTimer clock;
    clock.start();
    auto board = std::make_unique<ctltool::ToolBoard>(QStringLiteral("SIM1"), false, err);
    open.push_back(MsSince(clock));
    clock.restart();
    ctltool::GetCommand(*board, {QStringLiteral("V_MAX.1")});
    exchange.push_back(MsSince(clock));
    clock.restart();
    board.reset();
    close.push_back(MsSince(clock));
  }
}

// Starting a simulated board as the tool starts its SIM1: a pseudo-terminal and a thread.
double BoardStartMs() {
  std::vector<double> ms;
  for (int i = 0; i < kRuns; ++i) {
    QElapsedTimer clock;
    clock.start();
    sim::SimulatedBoard board(1, true);
    ms.push_back(MsSince(clock));
  }
  return bench::Median(ms);
}

bool BenchGet() {
  std::vector<double> versionRuns, getRuns, open, exchange, close;
  if (!ToolRuns(versionRuns, getRuns)) return false;
  GetSteps(open, exchange, close);
  const double version = bench::Median(versionRuns), get = bench::Median(getRuns);
  const double boardStart = BoardStartMs();
  const double inside = boardStart + bench::Median(open) + bench::Median(exchange) + bench::Median(close);
  std::printf("get V_MAX.1 on SIM1, from process start to exit (median of %d runs):\n", kRuns);
  std::printf("  whole run:                             %7.1f ms  (best %.1f ms)\n", get, *std::min_element(getRuns.begin(), getRuns.end()));
  std::printf("  process start and exit (--version):    %7.1f ms\n", version);
  std::printf("  start the tool's own SIM1:              %7.1f ms  (a real board needs none)\n", boardStart);
  std::printf("  open and identify the board:           %7.1f ms  (first in this process: %.1f ms)\n", bench::Median(open), open[0]);
  std::printf("  the get's exchange:                    %7.1f ms  (first: %.1f ms; line time of one pair: %.2f ms)\n",
              bench::Median(exchange), exchange[0], 1000 * bench::kPairSeconds);
  std::printf("  release the port:                      %7.1f ms\n", bench::Median(close));
  std::printf("  the rest:                              %7.1f ms  (whole run less the five above: a fresh process's\n"
              "                                                   first-time costs, not split further)\n", get - version - inside);
  return true;
}

// Cycles of the tool's watch: from its own TIME column and from what the board received.
bool BenchWatch(bench::Session &s) {
  const QString device = QString::fromStdString(s.Board->DevicePath());
  QProcess p;
  p.start(QStringLiteral(QVR_CTL_PATH),
          {"--port", device, "watch", "--csv", "--seconds", QString::number(kWatchSeconds), "X_ACTUAL_1", "V_ACTUAL_1"});
  QByteArray out;
  // Counted from the first line on, so that the tool's start and identification stay out.
  if (!bench::RunEventLoopUntil([&] { return (out += p.readAllStandardOutput()).count('\n') >= 2; }, 5000)) return false;
  bench::CycleCounter board(*s.Board);
  bench::RunEventLoopUntil([&p] { return p.state() == QProcess::NotRunning; }, 1000 * kWatchSeconds + 5000);
  board.End();
  out += p.readAllStandardOutput();
  const QList<QByteArray> lines = out.trimmed().split('\n');
  if (p.exitCode() != 0 || lines.size() < 3) return false;
  const double first = lines[1].split(',')[0].toDouble(), last = lines.last().split(',')[0].toDouble();
  std::printf("  watch --csv, its lines:  %6.2f /s  (%lld lines over %.1f s)\n", (lines.size() - 2) * 1000 / (last - first),
              qlonglong(lines.size() - 1), (last - first) / 1000);
  std::printf("  watch --csv, the board:  %6.2f /s  (%.1f requests a cycle, %.1f replies/s)\n", board.CyclesPerSecond(),
              board.RequestsPerCycle, board.RepliesPerSecond());
  return true;
}

bool BenchWatchAgainstWindow() {
  bench::Session s;
  if (!s.Start(true)) return false;
  bench::RunEventLoopFor(1000);
  bench::CycleCounter window(*s.Board);
  bench::RunEventLoopFor(1000 * kWatchSeconds);
  window.End();
  s.Click("BtnClose");  // the port is free for the tool
  std::printf("full poll cycles on SIM1 paced at 115200 bit/s, %d s each:\n", kWatchSeconds);
  std::printf("  the window program:      %6.2f /s  (%.1f requests a cycle, %.1f replies/s)\n", window.CyclesPerSecond(),
              window.RequestsPerCycle, window.RepliesPerSecond());
  const bool ok = BenchWatch(s);
  s.Stop();
  return ok;
}

}  // namespace

int main(int argc, char **argv) {
  bench::UseOffscreenUnlessSet();
  QApplication app(argc, argv);
  ctltool::ResolveSimulatedBoards();
  if (!sim::SimulatedBoardNamed("SIM1")) return 1;
  try {
    const bool ok = BenchGet() && BenchWatchAgainstWindow();
    return ok ? 0 : 1;
  } catch (const ctltool::ToolFailure &f) {
    std::fprintf(stderr, "%s\n", qPrintable(f.Text));
    return 1;
  }
}
