// The graphics window and the data log against the simulated board SIM1 paced at the line's
// real speed: the poll cycle's rate with the graphics window shown and every log column
// written, lines written against cycles completed (no line may be lost), and the time of one
// NextGraphSample (which rescales nearly every time) and of one full repaint of a plot.
#include <QCheckBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cmath>
#include "BenchSession.h"
#include "Ev710Graphics.h"
#include "Ev710Logging.h"
#include "PaintBox.h"
#include "SpinEdit.h"

namespace {
constexpr int BaselineMs = 5000, LoggingMs = 10000;
constexpr int Samples = 5000, Repaints = 500;

// Replies per second while the event loop runs for `ms`.
double RepliesPerSecond(bench::Session &s, int ms) {
  const uint64_t answered = s.Board->RequestsAnswered();
  QElapsedTimer timer;
  timer.start();
  bench::RunEventLoopFor(ms);
  return double(s.Board->RequestsAnswered() - answered) / (timer.nsecsElapsed() / 1e9);
}

// Cycles whose replies were all handled among the recorded requests: a cycle starts with the
// read of motor 1's X_TARGET (0x01). The last request recorded is still in flight; a first
// recorded read of X_ACTUAL (0x03) means the X_TARGET read before it was in flight at the start.
int CycleStartsHandled(const std::vector<std::array<uint8_t, 9>> &frames) {
  int starts = !frames.empty() && bench::IsControllerRead(frames.front(), 0x03);
  for (size_t i = 0; i + 1 < frames.size(); ++i) starts += bench::IsControllerRead(frames[i], 0x01);
  return starts;
}

QStringList FileLines(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QStringList lines = QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"));
  lines.removeLast();
  return lines;
}

void PrintTimes(const char *what, std::vector<double> v, double cycleMs) {
  std::sort(v.begin(), v.end());
  std::printf("  %-32s median %7.4f ms  99th percentile %7.4f ms  worst %7.4f ms  (median %.3f %% of a %.0f ms cycle)\n",
              what, bench::Median(v), v[v.size() * 99 / 100], v.back(), 100 * bench::Median(v) / cycleMs, cycleMs);
}

// Sets a motor going from the main window: mode (0 RAMP, 2 VELOCITY) and its edits' values.
void StartMotor(bench::Session &s, int motor, int mode, const QList<QPair<QString, int>> &values) {
  const QString n = QString::number(motor);
  s.Child<QComboBox>(qPrintable(QStringLiteral("CbRampMode") + n))->setCurrentIndex(mode);
  for (const auto &[edit, value] : values) s.Child<TSpinEdit>(qPrintable(edit + n))->SetValue(value);
  s.Click(qPrintable(QStringLiteral("BtnGo") + n));
}

bool MeasureLog(bench::Session &s, TFormGraphics &graphics, TFormLogging &logging, const QString &path,
                double &cycleMs) {
  StartMotor(s, 1, 2, {{"EditVTarget", -600}, {"EditAMax", 50}});
  StartMotor(s, 2, 0, {{"EditXTarget", 2000000}, {"EditVMax", 1500}, {"EditVMin", 1}, {"EditAMax", 200}});
  const double baseline = RepliesPerSecond(s, BaselineMs);

  graphics.show();
  s.Child<QCheckBox>("CheckVTarget")->click();  // all four traces
  for (int m = 1; m <= 3; ++m)
    for (const char *box : {"CheckLogMotor", "CheckLogTargPosMotor", "CheckLogActPosMotor", "CheckLogTargVelMotor",
                            "CheckLogActVelMotor", "CheckLogActAccMotor", "CheckLogTLMotor", "CheckLogLDMotor"})
      s.Child<QCheckBox>(qPrintable(QLatin1String(box) + QString::number(m)))->click();
  s.Child<QLineEdit>("EditLogFileName")->setText(path);
  s.Board->ClearReceivedFrames();
  s.Click("BtnLogStart");
  const double cpu = ProcessCpuSeconds();
  QElapsedTimer timer;
  timer.start();
  const uint64_t answered = s.Board->RequestsAnswered();
  bench::RunEventLoopFor(LoggingMs);
  const double seconds = timer.nsecsElapsed() / 1e9;
  const double replies = double(s.Board->RequestsAnswered() - answered) / seconds;
  const double cpuPercent = 100 * (ProcessCpuSeconds() - cpu) / seconds;
  const auto frames = s.Board->ReceivedFrames();
  s.Click("BtnLogStop");

  const QStringList lines = FileLines(path);
  const int written = int(lines.size()) - 1, expected = CycleStartsHandled(frames) - 1;
  std::vector<double> gaps;
  for (int i = 2; i < lines.size(); ++i)
    gaps.push_back(lines[i].section(u';', 0, 0).toDouble() - lines[i - 1].section(u';', 0, 0).toDouble());
  cycleMs = bench::Median(gaps);
  std::printf("poll cycle, motors 1 and 2 running, graphics hidden, not logging (%.1f s):\n", BaselineMs / 1000.0);
  std::printf("  replies:            %7.1f /s  (%.1f %% of %.0f /s)\n", baseline,
              100 * baseline / bench::kLinePairsPerSecond, bench::kLinePairsPerSecond);
  std::printf("poll cycle, graphics shown with four traces, logging all %d columns (%.1f s):\n",
              logging.LogColumnCount(), seconds);
  std::printf("  replies:            %7.1f /s  (%.1f %% of %.0f /s; %.3f x the rate without)\n", replies,
              100 * replies / bench::kLinePairsPerSecond, bench::kLinePairsPerSecond, replies / baseline);
  std::printf("  cycles completed:   %7d      (%.2f /s)\n", expected, expected / seconds);
  std::printf("  lines written:      %7d      (%.2f /s)\n", written, written / seconds);
  std::printf("  lost lines:         %7d\n", expected - written);
  std::printf("  time between lines: median %.0f ms, worst %.0f ms\n", cycleMs,
              gaps.empty() ? 0.0 : *std::max_element(gaps.begin(), gaps.end()));
  std::printf("  CPU of the process: %7.1f %% of one core (simulated board included)\n", cpuPercent);
  std::printf("  first lines of the file:\n");
  for (const QString &line : lines.mid(0, 4)) std::printf("    %s\n", qPrintable(line));
  return written > 0 && expected == written;
}

// The graphics alone, the port closed: samples that change every time, so the scales follow.
void MeasureGraphics(TFormGraphics &graphics, double cycleMs) {
  std::vector<double> sample, repaint;
  QElapsedTimer timer;
  for (int i = 0; i < Samples; ++i) {
    for (int m = 0; m < 3; ++m) {
      const double phase = i / 40.0 + m;
      graphics.SetPositionSample(int(300000 * std::sin(phase) * (1 + i % 7)), m);
      graphics.SetVelocitySample(int(1500 * std::cos(phase)) + i % 13, m);
      graphics.SetTargetVelocitySample(int(1800 * std::cos(phase)), m);
      graphics.SetAccelerationSample(int(900 * std::sin(2 * phase)) + i % 11, m);
    }
    timer.start();
    graphics.NextGraphSample();
    sample.push_back(timer.nsecsElapsed() / 1e6);
  }
  auto *plot = graphics.findChild<TPaintBox *>(QStringLiteral("PaintBox1"));
  auto *scale = graphics.findChild<TPaintBox *>(QStringLiteral("PaintBoxLeft1"));
  // A repaint as the window system asks it: the paint event draws the traces into the
  // off-screen picture and copies that onto the box (here: onto a picture like the screen's).
  std::vector<double> scaleRepaint;
  QImage screen(plot->size() * plot->devicePixelRatioF(), QImage::Format_RGB32);
  screen.setDevicePixelRatio(plot->devicePixelRatioF());
  for (int i = 0; i < Repaints; ++i) {
    timer.start();
    plot->render(&screen);
    repaint.push_back(timer.nsecsElapsed() / 1e6);
    timer.start();
    scale->render(&screen);
    scaleRepaint.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::printf("graphics window, %d samples of three motors, %d repaints (device pixel ratio %.0f, %d columns drawn):\n",
              Samples, Repaints, plot->devicePixelRatioF(), graphics.Graph().SampleCount());
  PrintTimes("NextGraphSample with rescale", sample, cycleMs);
  PrintTimes("repaint of a plot (four traces)", repaint, cycleMs);
  PrintTimes("repaint of a scale box", scaleRepaint, cycleMs);
}
}  // namespace

int main(int argc, char **argv) {
  bench::UseOffscreenUnlessSet();
  QApplication app(argc, argv);
  QTemporaryDir dir;
  bench::Session s;
  if (!dir.isValid() || !s.Start(true)) return 1;
  auto *graphics = s.Main->findChild<TFormGraphics *>(QStringLiteral("FormGraphics"));
  auto *logging = s.Main->findChild<TFormLogging *>(QStringLiteral("FormLogging"));
  double cycleMs = 0;
  const bool complete = MeasureLog(s, *graphics, *logging, dir.filePath(QStringLiteral("bench.csv")), cycleMs);
  s.Click("BtnStop1");
  s.Click("BtnStop2");
  s.Click("BtnClose");  // which closes the graphics window too
  graphics->show();
  MeasureGraphics(*graphics, cycleMs);
  s.Stop();
  if (!complete) std::fprintf(stderr, "lines were lost\n");
  if (s.Errors) std::fprintf(stderr, "%d errors reported during the run\n", s.Errors);
  return complete && s.Errors == 0 ? 0 : 1;
}
