// The time the newer-driver window takes to read all its register groups from the simulated
// board SIM1 paced at 115200 bit/s, with the poll cycle running, against the line's limit.
#include <QTabWidget>
#include "BenchSession.h"

namespace {

// The groups in the order the rounds read them, each by choosing its page, and their requests.
const char *const kPages[] = {"TabChopConf", "TabThriftLv", "TabLdsConf", "TabDrvConf", "TabDrvCtrl1"};
constexpr int kPairs = 7 + 5 + 3 + 7 + 3;  // CHOPCONF, THRIFTLV, LDCSCONF, DRVCONF, DRVCTRL
constexpr double kLineMs = kPairs * bench::kPairSeconds * 1000;  // 39.06 ms
constexpr int kRounds = 20;

// The GetParameter requests of the board's record that only the window sends: the poll cycle
// reads 180, 182, 206, 207, 208 and also 6, 168, 170, 172, which THRIFTLV and LDCSCONF read too.
int WindowOnlyReads(bench::Session &s) {
  const std::set<int> polled = {6, 168, 170, 172, 180, 182, 206, 207, 208};
  int n = 0;
  for (const auto &f : s.Board->ReceivedFrames())
    if (f[1] == 6 && !polled.count(f[2])) ++n;
  return n;
}

}  // namespace

int main(int argc, char **argv) {
  bench::UseOffscreenUnlessSet();
  QApplication app(argc, argv);
  bench::Session s;
  if (!s.Start(true)) return 1;
  QWidget *window = nullptr;
  for (QWidget *w : QApplication::topLevelWidgets())
    if (w->objectName() == QLatin1String("TFormQVR533")) window = w;
  s.Click("BtnQVR533");
  auto *pages = window->findChild<QTabWidget *>(QStringLiteral("PageControl"));

  std::vector<double> rounds, perPair;
  int incomplete = 0;
  for (int round = 0; round < kRounds; ++round) {
    bench::RunEventLoopFor(50);
    s.Board->ClearReceivedFrames();
    QElapsedTimer clock;
    clock.start();
    for (const char *page : kPages) pages->setCurrentWidget(window->findChild<QWidget *>(QLatin1String(page)));
    const double ms = clock.nsecsElapsed() / 1e6;
    rounds.push_back(ms);
    perPair.push_back(ms / kPairs);
    if (WindowOnlyReads(s) != kPairs - 4) ++incomplete;
  }
  const double median = bench::Median(rounds), best = *std::min_element(rounds.begin(), rounds.end());
  std::printf("read all registers of the newer-driver window (5 groups, %d requests), %d rounds,\n", kPairs, kRounds);
  std::printf("SIM1 paced at 115200 bit/s, the poll cycle running between the groups\n");
  std::printf("  line limit of its %d request/reply pairs: %.2f ms\n", kPairs, kLineMs);
  std::printf("  median %.2f ms (%.2f x the limit)   best %.2f ms (%.2f x)\n", median, median / kLineMs, best,
              best / kLineMs);
  std::printf("  per pair: median %.3f ms (line time %.4f ms)\n", bench::Median(perPair), bench::kPairSeconds * 1000);
  if (incomplete) std::printf("  %d rounds did not send exactly the groups' requests\n", incomplete);
  window->close();
  s.Stop();
  if (s.Errors) std::fprintf(stderr, "%d errors reported during the run\n", s.Errors);
  return s.Errors || incomplete ? 1 : 0;
}
