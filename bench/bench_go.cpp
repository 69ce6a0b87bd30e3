// The time a Go press takes with the simulated board SIM1 paced at 115200 bit/s and the poll
// cycle running, against the line's limit, and the poll cycle's rate while a motor runs.
#include <QComboBox>
#include "BenchSession.h"
#include "SpinEdit.h"
#include "async32.h"

namespace {

// A RAMP Go of motor 1 exchanges eight request/reply pairs: read the dividers, write
// P_MUL/P_DIV, read the ramp mode, write it, write A_MAX, V_MAX, V_MIN and X_TARGET.
constexpr int kGoPairs = 8;
constexpr double kGoLineMs = kGoPairs * bench::kPairSeconds * 1000;  // 12.5 ms
constexpr int kPresses = 20;
constexpr int kAMax = 100, kVMax = 1000, kTarget = 10000;

QString Hex6(int v) { return QStringLiteral("%1").arg(v & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper(); }

// The first datagram bytes of a RAMP Go of motor 1, in order; the last is X_TARGET's write.
const uint8_t kGoDatagrams[kGoPairs] = {0x19, 0x12, 0x15, 0x14, 0x0C, 0x06, 0x04, 0x00};

struct Press {
  double TotalMs = 0;     // click until the click returns: the handler has had X_TARGET's reply
  double PauseMs = 0;     // click until the reply of the poll request in flight (0: none was)
  double SequenceMs = 0;  // the eight pairs of the Go itself
  bool Complete = false;  // the board received exactly the Go's eight requests, X_TARGET last
};

void SetEdit(bench::Session &s, const char *name, int value) { s.Child<TSpinEdit>(name)->SetValue(value); }

// The requests the board received from the Go's first one on: exactly its eight datagrams,
// ending with the write of `target` to X_TARGET.
bool GoSequenceReceived(bench::Session &s, int target) {
  const auto frames = s.Board->ReceivedFrames();
  size_t first = 0;
  while (first < frames.size() && !bench::IsControllerRead(frames[first], kGoDatagrams[0])) ++first;
  if (frames.size() - first != kGoPairs) return false;
  for (int i = 0; i < kGoPairs; ++i) {
    const auto &f = frames[first + size_t(i)];
    if (f[1] != 71 || f[2] != 0 || f[4] != kGoDatagrams[i]) return false;
  }
  const auto &x = frames.back();
  return QStringLiteral("%1%2%3").arg(x[5], 2, 16, QLatin1Char('0')).arg(x[6], 2, 16, QLatin1Char('0'))
             .arg(x[7], 2, 16, QLatin1Char('0')).toUpper() == Hex6(target);
}

// One Go press. The board's record of requests carries no times, so the time taken is the
// time until QTest::mouseClick returns: the Go handler runs within the click, and returns
// once X_TARGET's reply is in, i.e. after the last pair has crossed the line both ways.
// Replies seen during the click split it into the pause (the poll request in flight) and the
// eight pairs of the Go.
Press PressGo(bench::Session &s, int target) {
  SetEdit(s, "EditXTarget1", target);
  s.Board->ClearReceivedFrames();
  QElapsedTimer clock;
  std::vector<double> replies;  // ms after the click
  const auto rx = QObject::connect(s.Main->Session->Comm32, &TComm32::OnRxChar, [&](int count) {
    if (count == 9) replies.push_back(clock.nsecsElapsed() / 1e6);
  });
  // A warning dialog would wait for an answer: abort it rather than hang, and say so.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] {
    if (QWidget *dialog = QApplication::activeModalWidget()) {
      std::fprintf(stderr, "the acceleration warning showed; aborted\n");
      dialog->close();
    }
  });
  guard.start(2000);
  clock.start();
  s.Click("BtnGo1");
  Press p;
  p.TotalMs = clock.nsecsElapsed() / 1e6;
  QObject::disconnect(rx);
  if (replies.size() == kGoPairs + 1) p.PauseMs = replies.front();
  p.SequenceMs = p.TotalMs - p.PauseMs;
  p.Complete = GoSequenceReceived(s, target) && replies.size() >= kGoPairs;
  return p;
}

void PrintMs(const char *what, const std::vector<double> &v, double limitMs) {
  const double best = *std::min_element(v.begin(), v.end());
  std::printf("  %-36s median %7.3f ms (%.2f x %.2f ms)   best %7.3f ms (%.2f x)\n", what, bench::Median(v),
              bench::Median(v) / limitMs, limitMs, best, best / limitMs);
}

// Replies per second while motor 1 runs towards a far target; false when it did not run.
bool MeasureWhileRunning(bench::Session &s) {
  constexpr int measureMs = 5000;
  SetEdit(s, "EditXTarget1", 8000000);
  s.Click("BtnGo1");
  bench::RunEventLoopFor(500);
  const QString before = s.Text("StaticXAct1");
  const uint64_t answered = s.Board->RequestsAnswered();
  QElapsedTimer timer;
  timer.start();
  bench::RunEventLoopFor(measureMs);
  const double perSecond = double(s.Board->RequestsAnswered() - answered) / (timer.nsecsElapsed() / 1e9);
  const QString after = s.Text("StaticXAct1"), velocity = s.Text("StaticVAct1");
  s.Click("BtnStop1");
  const bool ran = before != after && velocity != QLatin1String("0");
  std::printf("poll cycle while motor 1 runs (position %s -> %s, velocity %s):\n", qPrintable(before),
              qPrintable(after), qPrintable(velocity));
  std::printf("  replies:  %7.1f /s  (%.1f %% of %.0f /s, the line's limit at 115200 bit/s)\n", perSecond,
              100 * perSecond / bench::kLinePairsPerSecond, bench::kLinePairsPerSecond);
  return ran;
}

}  // namespace

int main(int argc, char **argv) {
  bench::UseOffscreenUnlessSet();
  QApplication app(argc, argv);
  bench::Session s;
  if (!s.Start(true)) return 1;
  s.Child<QComboBox>("CbRampMode1")->setCurrentIndex(0);  // RAMP
  SetEdit(s, "EditAMax1", kAMax);
  SetEdit(s, "EditVMax1", kVMax);
  SetEdit(s, "EditVMin1", 1);
  bench::RunEventLoopFor(1000);
  PressGo(s, -kTarget);  // warm-up, not counted
  bench::RunEventLoopFor(250);

  std::vector<double> total, pause, sequence;
  int incomplete = 0;
  for (int i = 0; i < kPresses; ++i) {
    const Press p = PressGo(s, i % 2 ? -kTarget : kTarget);
    if (!p.Complete) ++incomplete;
    total.push_back(p.TotalMs);
    if (p.PauseMs > 0) pause.push_back(p.PauseMs);
    sequence.push_back(p.SequenceMs);
    // Let the cycle run on, so that the next press meets it at another point of an exchange.
    bench::RunEventLoopFor(250 + 13 * i % 50);
  }

  std::printf("Go of motor 1 in RAMP mode, %d presses, paced at 115200 bit/s\n", kPresses);
  std::printf("(time: from the click until the click returns, the Go handler having had X_TARGET's reply)\n");
  std::printf("  line limit of its %d request/reply pairs: %.4f ms; with a whole poll pair in flight "
              "before it: %.4f ms\n", kGoPairs, kGoLineMs, kGoLineMs + bench::kPairSeconds * 1000);
  PrintMs("click -> X_TARGET's reply", total, kGoLineMs);
  PrintMs("the 8 pairs alone", sequence, kGoLineMs);
  if (!pause.empty()) PrintMs("pause (poll request in flight)", pause, bench::kPairSeconds * 1000);
  std::printf("  %zu of %d presses met a poll request in flight (the others came between a reply and the\n"
              "  next request, and Go had nothing to wait for)\n", pause.size(), kPresses);
  std::printf("  per pair in the Go: median %.3f ms (line time %.4f ms)\n", bench::Median(sequence) / kGoPairs,
              bench::kPairSeconds * 1000);
  if (incomplete) std::printf("  %d presses did not deliver exactly the Go's eight requests\n", incomplete);

  const bool ran = MeasureWhileRunning(s);
  s.Stop();
  if (!ran) std::fprintf(stderr, "motor 1 did not run\n");
  if (s.Errors) std::fprintf(stderr, "%d errors reported during the run\n", s.Errors);
  return incomplete == 0 && ran && s.Errors == 0 ? 0 : 1;
}
