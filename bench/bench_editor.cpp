// The register editor with the simulated board SIM1 paced at 115200 bit/s and motor 2 running:
// the poll cycle's rate with the editor closed and open on each page, and the time from a Send
// click until the written value shows in its actual-value static, against the line's limit for
// the requests involved.
#include <QRadioButton>
#include <QTabWidget>
#include "BenchSession.h"
#include "Ev710Advanced.h"
#include "SpinEdit.h"
#include "async32.h"

namespace {

constexpr int kMeasureMs = 4000;
constexpr int kPresses = 20;
constexpr double kPairMs = bench::kPairSeconds * 1000;

// Requests from one controller read of X_TARGET 1 (the cycle's start) to the next.
int CycleLength(bench::Session &s) {
  s.Board->ClearReceivedFrames();
  bench::RunEventLoopFor(300);
  const auto frames = s.Board->ReceivedFrames();
  std::vector<size_t> starts;
  for (size_t i = 0; i < frames.size(); ++i)
    if (bench::IsControllerRead(frames[i], 0x01)) starts.push_back(i);
  return starts.size() >= 2 ? int(starts[1] - starts[0]) : 0;
}

void MeasureCycle(bench::Session &s, const QString &what) {
  const int cycle = CycleLength(s);
  const uint64_t answered = s.Board->RequestsAnswered();
  QElapsedTimer timer;
  timer.start();
  bench::RunEventLoopFor(kMeasureMs);
  const double perSecond = double(s.Board->RequestsAnswered() - answered) / (timer.nsecsElapsed() / 1e9);
  std::printf("  %-20s %6.1f replies/s (%.2f of %.0f)   %2d requests a cycle, %5.1f cycles/s\n",
              qPrintable(what), perSecond, perSecond / bench::kLinePairsPerSecond,
              bench::kLinePairsPerSecond, cycle, cycle ? perSecond / cycle : 0.0);
}

struct Press {
  double SendMs = 0;    // click until the click returns: the write's reply is in
  double ShownMs = 0;   // click until StaticVMax1 shows the value
  int Pairs = 0;        // requests the board received from the click until the value showed
};

// Writes V_MAX of motor 1 with the editor's Send and waits for the poll cycle to show it.
Press SendVMax(bench::Session &s, TFormAdvanced &editor, int value) {
  auto *edit = editor.findChild<TSpinEdit *>(QStringLiteral("EditVMax1"));
  auto *shown = editor.findChild<QLabel *>(QStringLiteral("StaticVMax1"));
  auto *send = editor.findChild<QPushButton *>(QStringLiteral("BtnSendMot1"));
  edit->SetValue(value);
  const QString text = QString::number(value);
  Press p;
  QElapsedTimer clock;
  // Checked right after each reply is handled (the main window's receive handler runs first).
  const auto rx = QObject::connect(s.Main->Session->Comm32, &TComm32::OnRxChar, [&] {
    if (p.ShownMs == 0 && shown->text() == text) {
      p.ShownMs = clock.nsecsElapsed() / 1e6;
      p.Pairs = int(s.Board->ReceivedFrames().size());
    }
  });
  s.Board->ClearReceivedFrames();
  clock.start();
  QTest::mouseClick(send, Qt::LeftButton);
  p.SendMs = clock.nsecsElapsed() / 1e6;
  bench::RunEventLoopUntil([&] { return p.ShownMs > 0; }, 2000);
  QObject::disconnect(rx);
  return p;
}

}  // namespace

int main(int argc, char **argv) {
  bench::UseOffscreenUnlessSet();
  QApplication app(argc, argv);
  bench::Session s;
  if (!s.Start(true)) return 1;
  auto *editor = s.Main->findChild<TFormAdvanced *>();
  auto *pages = editor->findChild<QTabWidget *>(QStringLiteral("PageControl"));
  // Motor 2 runs in VELOCITY mode throughout, so the statics keep changing.
  s.Child<QComboBox>("CbRampMode2")->setCurrentIndex(2);
  s.Child<TSpinEdit>("EditVTarget2")->SetValue(-600);
  s.Child<TSpinEdit>("EditAMax2")->SetValue(50);
  s.Click("BtnGo2");
  std::printf("poll cycle, SIM1 paced at 115200 bit/s (whole replies), the register editor closed or open:\n");
  MeasureCycle(s, QStringLiteral("closed"));
  s.Click("BtnCmd705");
  for (int page = 0; page < pages->count(); ++page) {
    pages->setCurrentIndex(page);
    MeasureCycle(s, pages->tabText(page));
  }

  pages->setCurrentIndex(TFormAdvanced::PageMotor1);
  editor->findChild<QWidget *>(QStringLiteral("RGMot1"))->findChildren<QRadioButton *>()[3]->click();  // V_MAX
  bench::RunEventLoopFor(200);
  std::vector<double> send, shown, perPair;
  std::vector<double> pairs;
  int missed = 0;
  for (int i = 0; i < kPresses; ++i) {
    const Press p = SendVMax(s, *editor, 1000 + i);
    if (p.ShownMs == 0) {
      ++missed;
      continue;
    }
    send.push_back(p.SendMs);
    shown.push_back(p.ShownMs);
    pairs.push_back(p.Pairs);
    perPair.push_back(p.ShownMs / p.Pairs);
    bench::RunEventLoopFor(150 + 17 * i % 60);
  }
  std::printf("Send of V_MAX on \"Motor 1\" until StaticVMax1 shows it, %d presses:\n", kPresses);
  std::printf("  click -> write's reply:       median %6.2f ms (line limit: 1 pair %.4f ms, %.4f ms with a poll pair in flight)\n",
              bench::Median(send), kPairMs, 2 * kPairMs);
  std::printf("  click -> value shown:         median %6.2f ms, best %6.2f, worst %6.2f\n", bench::Median(shown),
              *std::min_element(shown.begin(), shown.end()), *std::max_element(shown.begin(), shown.end()));
  std::printf("  requests meanwhile:           median %4.0f (the write, then the cycle up to V_MAX 1's read)\n",
              bench::Median(pairs));
  std::printf("  per request:                  median %6.3f ms (%.2f x the line's %.4f ms)\n", bench::Median(perPair),
              bench::Median(perPair) / kPairMs, kPairMs);
  if (missed) std::printf("  %d presses never showed their value\n", missed);
  editor->close();
  s.Click("BtnStop2");
  s.Stop();
  if (s.Errors) std::fprintf(stderr, "%d errors reported during the run\n", s.Errors);
  return missed == 0 && s.Errors == 0 ? 0 : 1;
}
