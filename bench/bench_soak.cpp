// bench_soak SECONDS: the program's windows, every one shown, with the poll cycle running on the
// simulated board SIM1 for SECONDS, as a user leaves it for hours. Prints the process's resident
// memory once a minute, and the growth from the start (after the first minute when the run
// allows) to the end, in all and per hour.
#include "BenchSession.h"

namespace {
// Resident memory in KiB (/proc/self/statm: size, resident, ... in pages).
long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void ShowEveryWindow(TFormMain &main) {
  const TToolWindows &w = main.Windows;
  for (QWidget *window : {w.FormAdvanced, w.FormGraphics, w.FormQVR533, w.FormQVR730, w.FormBoard, w.FormBoard51x,
                          w.FormQVR51x, w.FormQVR550, w.FormLogging})
    if (window) window->show();
}
}  // namespace

int main(int argc, char **argv) {
  bench::UseOffscreenUnlessSet();
  QApplication app(argc, argv);
  const int seconds = argc == 2 ? QByteArray(argv[1]).toInt() : 0;
  if (seconds <= 0) {
    std::fprintf(stderr, "usage: bench_soak SECONDS\n");
    return 2;
  }
  bench::Session s;
  s.RecordRequests = false;  // as in the program
  if (!s.Start(true)) return 1;
  ShowEveryWindow(*s.Main);
  const int warmUp = seconds >= 120 ? 60 : 0;
  long start = ResidentKiB();
  std::printf("%5d s  %8ld KiB resident\n", 0, start);
  for (int t = 1; t <= seconds; ++t) {
    bench::RunEventLoopFor(1000);
    if (t % 60 == 0 || t == seconds) std::printf("%5d s  %8ld KiB resident\n", t, ResidentKiB());
    if (t == warmUp) start = ResidentKiB();
    std::fflush(stdout);
  }
  const long end = ResidentKiB();
  const double hours = (seconds - warmUp) / 3600.0;
  std::printf("from %d s to %d s: %ld KiB -> %ld KiB, %+ld KiB (%+.2f %%), %+.0f KiB per hour; %llu requests answered\n",
              warmUp, seconds, start, end, end - start, 100.0 * double(end - start) / double(start),
              double(end - start) / hours, static_cast<unsigned long long>(s.Board->RequestsAnswered()));
  s.Stop();
  if (s.Errors) std::fprintf(stderr, "%d errors reported during the run\n", s.Errors);
  return s.Errors == 0 ? 0 : 1;
}
