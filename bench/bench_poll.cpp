// The poll cycle of the real main window against the simulated newer-driver board SIM1:
// full cycles and replies per second, unpaced and paced at the line's real speed, and the
// processor time the process spends while it polls at line speed, also with the graphics
// window shown.
#include "BenchSession.h"
#include "async32.h"

namespace {

struct PollFigures {
  double Seconds = 0;
  uint64_t Replies = 0;        // replies the board sent in the interval
  int CycleStarts = 0;         // requests that begin a cycle (controller read 0x01)
  double RequestsPerCycle = 0; // requests from one cycle start to the next
  long RxEvents = 0;           // OnRxChar events the program received
  double CpuProcess = 0, CpuGui = 0, CpuSerial = 0, CpuBoard = 0;  // seconds

  double RepliesPerSecond() const { return Replies / Seconds; }
  // A cycle is a fixed number of requests, so dividing gives full cycles per second without the
  // error of counting cycle starts in a window (one cycle at either edge).
  double CyclesPerSecond() const { return RequestsPerCycle > 0 ? RepliesPerSecond() / RequestsPerCycle : 0; }
  static double Percent(double cpu, double seconds) { return 100 * cpu / seconds; }
};

// Counts what the board answers while the event loop runs for `ms` (bench::CycleCounter).
// With exactly one request outstanding the program has received all replies but at most the
// one in flight at the end.
PollFigures MeasurePolling(bench::Session &s, int ms) {
  PollFigures f;
  long rxEvents = 0;
  const auto counter = QObject::connect(s.Main->Session->Comm32, &TComm32::OnRxChar, [&rxEvents](int) { ++rxEvents; });
  bench::CycleCounter count(*s.Board);
  const double cpu = ProcessCpuSeconds(), gui = ThreadCpuSeconds();
  const double serial = bench::ThreadsCpuSeconds(s.SerialThreads), board = bench::ThreadsCpuSeconds(s.BoardThreads);

  bench::RunEventLoopFor(ms);

  count.End();
  f.CpuProcess = ProcessCpuSeconds() - cpu;
  f.CpuGui = ThreadCpuSeconds() - gui;
  f.CpuSerial = bench::ThreadsCpuSeconds(s.SerialThreads) - serial;
  f.CpuBoard = bench::ThreadsCpuSeconds(s.BoardThreads) - board;
  QObject::disconnect(counter);
  f.RxEvents = rxEvents;
  f.Seconds = count.Seconds;
  f.Replies = count.Replies;
  f.CycleStarts = count.CycleStarts;
  f.RequestsPerCycle = count.RequestsPerCycle;
  return f;
}

void Print(const char *name, const PollFigures &f, bool paced) {
  std::printf("%s (%.2f s):\n", name, f.Seconds);
  std::printf("  replies:        %8.1f /s", f.RepliesPerSecond());
  if (paced)
    std::printf("  (%.1f %% of %.0f /s, the line's limit at 115200 bit/s)", 100 * f.RepliesPerSecond() / bench::kLinePairsPerSecond,
                bench::kLinePairsPerSecond);
  std::printf("\n  full cycles:    %8.2f /s  (%.1f requests a cycle; %d cycle starts counted)\n", f.CyclesPerSecond(),
              f.RequestsPerCycle, f.CycleStarts);
  std::printf("  per exchange:   %8.3f ms  (line time of a request and its reply: %.4f ms)\n",
              1000 / f.RepliesPerSecond(), 1000 * bench::kPairSeconds);
  std::printf("  OnRxChar:       %8.2f per reply\n", f.Replies ? double(f.RxEvents) / double(f.Replies) : 0);
  std::printf("  CPU:            %8.1f %% of one core (GUI thread %.1f %%, serial event thread %.1f %%, "
              "simulated board %.1f %%)\n",
              PollFigures::Percent(f.CpuProcess, f.Seconds), PollFigures::Percent(f.CpuGui, f.Seconds),
              PollFigures::Percent(f.CpuSerial, f.Seconds), PollFigures::Percent(f.CpuBoard, f.Seconds));
}

// Where the time of a paced exchange goes, on the GUI thread's clock: from the serial event
// thread's hand-off that completes a reply (t0), through the program's receive handler
// (OnRxChar with nine bytes, done at t1), to the delivery of the poll message that sends the
// next request (t2). The rest, t2 -> next t0, is the line, the board and the kernel.
class ExchangeProbe : public QObject {
public:
  explicit ExchangeProbe(bench::Session &s) : s_(s) {
    s_.Main->Session->Comm32->installEventFilter(this);
    s_.Main->Session->installEventFilter(this);
    rx_ = connect(s_.Main->Session->Comm32, &TComm32::OnRxChar, this, [this](int count) {
      if (count == 9) replyDone_ = Now();
      else if (count < 9) partialEvents_++;
    });
  }
  ~ExchangeProbe() override {
    disconnect(rx_);
    s_.Main->Session->Comm32->removeEventFilter(this);
    s_.Main->Session->removeEventFilter(this);
  }

  void Print() const {
    if (receive_.empty()) {  // no poll message: the receive handler sends the next request itself
      std::printf("  where an exchange's time goes: the next request is sent within the receive handler\n");
      return;
    }
    std::printf("  where an exchange's time goes (median, mean over %zu exchanges):\n", receive_.size());
    Line("reply hand-off -> receive handler done", receive_);
    Line("receive handler done -> next request's poll message", queued_);
    Line("request sent -> its reply handed to the GUI thread", outside_);
    std::printf("    hand-offs of partial replies:  %.2f per reply\n",
                receive_.empty() ? 0.0 : double(partialEvents_) / double(receive_.size()));
  }

protected:
  bool eventFilter(QObject *o, QEvent *e) override {
    if (o == s_.Main->Session->Comm32 && e->type() >= QEvent::User) {
      handOff_ = Now();
    } else if (o == s_.Main->Session && int(e->type()) == TBoardSession::PollMessage && replyDone_ > 0) {
      const double sent = Now();
      receive_.push_back(replyDone_ - handOff_);
      queued_.push_back(sent - replyDone_);
      if (lastSent_ > 0) outside_.push_back(handOff_ - lastSent_);
      lastSent_ = sent;
      replyDone_ = 0;
    }
    return false;
  }

private:
  double Now() const { return clock_.nsecsElapsed() / 1e6; }  // ms
  static void Line(const char *what, const std::vector<double> &v) {
    double sum = 0;
    for (double x : v) sum += x;
    std::printf("    %-52s %7.3f ms  %7.3f ms\n", what, bench::Median(v), v.empty() ? 0 : sum / double(v.size()));
  }

  bench::Session &s_;
  QElapsedTimer clock_ = [] { QElapsedTimer t; t.start(); return t; }();
  QMetaObject::Connection rx_;
  double handOff_ = 0, replyDone_ = 0, lastSent_ = 0;
  long partialEvents_ = 0;
  std::vector<double> receive_, queued_, outside_;
};

// One pacing: settle, measure, then look at where the time of an exchange goes (separately,
// so that the probe's own work does not enter the figures above it).
bool RunPhase(bench::Session &s, const char *name, bool paced, sim::Delivery delivery = sim::Delivery::WholePieces) {
  constexpr int settleMs = 1000, measureMs = 5000, probeMs = 3000;
  s.Board->SetPaced(paced);
  s.Board->SetDelivery(delivery);
  bench::RunEventLoopFor(settleMs);
  const PollFigures f = MeasurePolling(s, measureMs);
  Print(name, f, paced);
  ExchangeProbe probe(s);
  bench::RunEventLoopFor(probeMs);
  probe.Print();
  return f.Replies > 0;
}

}  // namespace

int main(int argc, char **argv) {
  bench::UseOffscreenUnlessSet();
  QApplication app(argc, argv);
  bench::Session s;
  if (!s.Start(false)) return 1;
  // Paced twice: whole replies as a board on USB gives them (and SIM1 in the port list), then
  // byte by byte as from a UART, which hands the program a partial reply per byte.
  // Every tool window exists from the start (as in the program); the last phase also shows the
  // graphics window, whose plots take every sample.
  bool answered = RunPhase(s, "unpaced", false) &&
                  RunPhase(s, "paced at 115200 bit/s, whole replies (USB)", true) &&
                  RunPhase(s, "paced at 115200 bit/s, byte by byte (UART)", true, sim::Delivery::ByteByByte);
  s.Click("BtnGraphics");
  answered = answered && RunPhase(s, "paced at 115200 bit/s, whole replies, graphics window shown", true);
  s.Stop();
  if (s.Errors) std::fprintf(stderr, "%d errors reported during the run\n", s.Errors);
  return answered && s.Errors == 0 ? 0 : 1;
}
