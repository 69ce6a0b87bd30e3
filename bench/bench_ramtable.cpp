// The time of the RAM page's Read and Write (64 request/reply pairs each) and of its Calculate &
// Write (32 pairs) with the simulated board SIM1 paced at 115200 bit/s and the poll cycle
// running, against the line's limit.
#include <QProgressBar>
#include "BenchSession.h"
#include "RamTablePage.h"

namespace {

constexpr int kRuns = 10;

// Clicks `button` on the page; the time until the click returns (the handler has had its last
// reply) and whether the board received exactly `pairs` RAM requests.
double TimedClick(bench::Session &s, TRamTablePage &page, const char *button, int pairs, int &incomplete) {
  s.Board->ClearReceivedFrames();
  QElapsedTimer clock;
  clock.start();
  QTest::mouseClick(page.findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
  const double ms = clock.nsecsElapsed() / 1e6;
  int ram = 0;
  for (const auto &f : s.Board->ReceivedFrames()) ram += f[1] == 71 && f[2] == 0 && (f[4] & 0x80);
  if (ram != pairs) ++incomplete;
  bench::RunEventLoopFor(100);  // the poll cycle runs between the clicks
  return ms;
}

void Report(const char *what, int pairs, const std::vector<double> &ms) {
  const double line = pairs * bench::kPairSeconds * 1000;
  std::printf("  %-22s median %7.2f ms, best %7.2f ms; line limit %6.2f ms: %.2f x the limit (median)\n", what,
              bench::Median(ms), *std::min_element(ms.begin(), ms.end()), line, bench::Median(ms) / line);
}

}  // namespace

int main(int argc, char **argv) {
  bench::UseOffscreenUnlessSet();
  QApplication app(argc, argv);
  bench::Session s;
  if (!s.Start(true)) return 1;
  TRamTablePage page(s.Main->Board());
  page.show();
  std::vector<double> read, write, shape;
  int incomplete = 0;
  for (int run = 0; run < kRuns; ++run) {
    read.push_back(TimedClick(s, page, "BtnReadRAM", 64, incomplete));
    write.push_back(TimedClick(s, page, "BtnWriteRAM", 64, incomplete));
    shape.push_back(TimedClick(s, page, "BtnShapeCW", 32, incomplete));
  }
  std::printf("RAM page, %d runs each, SIM1 paced at 115200 bit/s, poll cycle running\n", kRuns);
  std::printf("(time: from the click until the click returns, the handler having had its last reply)\n");
  Report("Read (64 pairs)", 64, read);
  Report("Write (64 pairs)", 64, write);
  Report("Calculate & Write (32)", 32, shape);
  if (incomplete) std::printf("  %d clicks did not deliver exactly their RAM requests\n", incomplete);
  if (s.Errors) std::fprintf(stderr, "%d errors reported during the run\n", s.Errors);
  s.Stop();
  return s.Errors || incomplete ? 1 : 0;
}
