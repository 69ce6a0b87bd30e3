// qvr710-ctl through the command channel of the real main window holding SIM1, against the tool
// opening a second simulated board itself, both paced at the line's speed: the median time of a
// `get` from process start to exit either way, in the same run, and the window's poll rate idle
// and while a script loops `get` through the channel.
#include <QProcess>
#include <QTemporaryDir>
#include "BenchSession.h"

namespace {

constexpr int Runs = 30;
constexpr int LoopMs = 5000;

// Milliseconds from the tool's start to its exit; the window's event loop runs meanwhile.
double TimedGet(const QString &port) { return bench::ToolRunMs(QStringLiteral(QVR_CTL_PATH), {"--port", port, "get", "V_MAX.1"}); }

double MedianGet(const QString &port) {
  std::vector<double> ms;
  for (int i = 0; i < Runs; ++i) ms.push_back(TimedGet(port));
  return bench::Median(ms);
}

// Replies per second the window's board sends while `during` runs for `ms` (or until it ends).
// The window's board counts what it answers, the poll requests and the scripts' requests alike.
double PollRate(bench::Session &s, int ms, const std::function<void()> &during) {
  const uint64_t answered = s.Board->RequestsAnswered();
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) during();
  return double(s.Board->RequestsAnswered() - answered) / (timer.nsecsElapsed() / 1e9);
}

}  // namespace

int main(int argc, char *argv[]) {
  bench::UseOffscreenUnlessSet();
  QTemporaryDir runtime;  // the channel of this run only, whatever else the user runs
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  QApplication app(argc, argv);
  bench::Session s;
  s.RecordRequests = false;
  if (!s.Start(true)) return 1;
  sim::SimulatedBoard other(1);
  other.SetPaced(true);
  const QString otherPort = QString::fromStdString(other.DevicePath());

  const double idle = PollRate(s, 3000, [] { bench::RunEventLoopFor(100); });
  const double direct = MedianGet(otherPort);
  const double through = MedianGet(QStringLiteral("SIM1"));
  int loops = 0;
  const double looping = PollRate(s, LoopMs, [&loops] {
    TimedGet(QStringLiteral("SIM1"));
    ++loops;
  });
  std::printf("get V_MAX.1, median of %d, process start to exit:\n", Runs);
  std::printf("  opening the port itself:           %7.1f ms\n", direct);
  std::printf("  through the window's channel:      %7.1f ms\n", through);
  std::printf("window replies per second (line's limit: %.0f):\n", bench::kLinePairsPerSecond);
  std::printf("  idle:                              %7.1f\n", idle);
  std::printf("  while a script loops get:          %7.1f  (%d gets in %.1f s)\n", looping, loops, LoopMs / 1000.0);
  s.Stop();
  return s.Errors == 0 ? 0 : 1;
}
