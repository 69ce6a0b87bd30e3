// The PWM track bar of the older-driver board window held down while its position runs from 0
// to 255: the time until the board holds every value, against the line's limit for 255
// request/reply pairs, with SIM2 paced at 115200 bit/s.
#include <QSlider>
#include "BenchSession.h"

namespace {
constexpr int kValues = 255;
constexpr double kLineMs = kValues * bench::kPairSeconds * 1000;  // 398.4 ms
constexpr int kRounds = 5;
}  // namespace

int main(int argc, char **argv) {
  bench::UseOffscreenUnlessSet();
  QApplication app(argc, argv);
  bench::Session s;
  if (!s.Start(true, "SIM2")) return 1;
  s.Click("BtnBoard");
  QSlider *pwm = nullptr;
  for (QWidget *w : QApplication::topLevelWidgets())
    if (w->objectName() == QLatin1String("TFormBoard51x")) pwm = w->findChild<QSlider *>(QStringLiteral("TrackBarPWM"));
  pwm->setFocus();
  std::vector<double> rounds;
  int incomplete = 0, polled = 0;
  for (int round = 0; round < kRounds; ++round) {
    pwm->setValue(0);
    bench::RunEventLoopFor(100);
    s.Board->ClearReceivedFrames();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kValues; ++i) QTest::keyPress(pwm, Qt::Key_Right);
    const double ms = clock.nsecsElapsed() / 1e6;
    QTest::keyRelease(pwm, Qt::Key_Right);
    rounds.push_back(ms);
    int sets = 0, first = -1, index = 0;
    for (const auto &f : s.Board->ReceivedFrames()) {
      if (f[1] == 5 && f[2] == 6) {
        ++sets;
        if (first < 0) first = index;
      } else if (first >= 0 && sets < kValues) {
        ++polled;  // a poll request in the middle of the stream
      }
      ++index;
    }
    const int held = s.Board->WithModel([](sim::BoardModel &m) { return m.StoredParameter(6, 1); });
    if (sets != kValues || held != kValues) ++incomplete;
  }
  const double median = bench::Median(rounds);
  std::printf("PWM track bar held, position 0 -> %d by key, %d rounds, SIM2 paced at 115200 bit/s\n", kValues, kRounds);
  std::printf("  line limit of %d request/reply pairs: %.1f ms\n", kValues, kLineMs);
  std::printf("  median %.1f ms (%.2f x the limit), %.3f ms a value (line time %.4f ms)\n", median, median / kLineMs,
              median / kValues, bench::kPairSeconds * 1000);
  std::printf("  poll requests inside the stream: %d; rounds where the board missed a value: %d\n", polled, incomplete);
  s.Stop();
  if (s.Errors) std::fprintf(stderr, "%d errors reported during the run\n", s.Errors);
  return s.Errors || incomplete ? 1 : 0;
}
