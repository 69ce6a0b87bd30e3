// The main window's Save Setup and the comparison's Apply of a whole setup, against the simulated
// board SIM1 paced at 115200 bit/s with the poll cycle running, next to the line's limit for the
// exchanges each one made.
#include <QTemporaryDir>
#include "BenchSession.h"
#include "SetupBoard.h"
#include "SetupCompare.h"

namespace {
constexpr int kRounds = 5;

struct Figures {
  std::vector<double> Ms;
  int Exchanges = 0;  // of the last round
  void Print(const char *what) const {
    const double lineMs = Exchanges * bench::kPairSeconds * 1000;
    const double median = bench::Median(Ms);
    std::printf("  %-28s %4d exchanges, line limit %7.1f ms   median %7.1f ms (%.2f x)   best %7.1f ms\n", what,
                Exchanges, lineMs, median, median / lineMs, *std::min_element(Ms.begin(), Ms.end()));
  }
};

// Runs `step` once, timing it and counting the requests the board received meanwhile.
void Measure(bench::Session &s, Figures &f, const std::function<void()> &step) {
  bench::RunEventLoopFor(100);
  s.Board->ClearReceivedFrames();
  QElapsedTimer clock;
  clock.start();
  step();
  f.Ms.push_back(clock.nsecsElapsed() / 1e6);
  f.Exchanges = int(s.Board->ReceivedFrames().size());
}
}  // namespace

int main(int argc, char **argv) {
  bench::UseOffscreenUnlessSet();
  QApplication app(argc, argv);
  bench::Session s;
  QTemporaryDir dir;
  if (!dir.isValid() || !s.Start(true)) return 1;
  const QString path = dir.filePath(QStringLiteral("bench.qvrsetup"));
  Figures save, apply, core;
  for (int round = 0; round < kRounds; ++round) {
    Measure(s, save, [&] { RunGuarded(s.Main, [&] { s.Main->SaveSetupTo(path); }); });
    RunGuarded(s.Main, [&] { s.Main->LoadSetupFrom(path); });
    auto *compare = s.Main->findChild<TFormSetupCompare *>();
    if (!compare) return 1;
    Measure(s, apply, [&] { QTest::mouseClick(compare->findChild<QPushButton *>("BtnApply"), Qt::LeftButton); });
    bench::RunEventLoopFor(10);  // the closed comparison is deleted
    const setup::BoardSetup file = setup::LoadSetupFile(path);
    Measure(s, core, [&] { setup::ApplySetup(s.Main->Board(), file); });
  }
  std::printf("Save Setup (read the whole board) and Apply (write it and read it back) of a newer-driver board,\n");
  std::printf("SIM1 paced at 115200 bit/s, %d rounds, time from the call or click until it returns\n", kRounds);
  save.Print("Save Setup");
  apply.Print("Apply in the comparison");
  core.Print("ApplySetup alone (no window)");
  s.Stop();
  if (s.Errors) std::fprintf(stderr, "%d errors reported during the run\n", s.Errors);
  return s.Errors ? 1 : 0;
}
