// Request/reply exchanges per second between TComm32 and the simulated board, unpaced and paced
// at the line's real speed, and the CPU the process uses while the board stays silent.
#include "Ticks.h"
#include "BoardFrames.h"
#include "SimulatedBoard.h"
#include "async32.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

// 115200 bit/s, ten bits a byte, nine bytes each way.
constexpr double kLineExchangesPerSecond = 115200.0 / 10 / 18;

// One request: write nine bytes, wait in the event loop for OnRxChar with nine, read them.
class Exchanger : public QObject {
public:
  explicit Exchanger(TComm32 &port) : port_(port) {
    connect(&port_, &TCustomComm32::OnRxChar, this, [this](int count) {
      ++events_;
      if (count == BoardFrameSize) loop_.quit();
    });
    timeout_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, &loop_, [this] { loop_.exit(1); });
  }

  bool ExchangeOnce(const BoardFrame &request) {
    port_.PurgeIn();
    if (port_.Write(request.data(), BoardFrameSize) != BoardFrameSize) return false;
    timeout_.start(2000);
    const bool answered = loop_.exec() == 0;
    timeout_.stop();
    BoardFrame reply{};
    return answered && port_.Read(reply.data(), BoardFrameSize) == BoardFrameSize;
  }

  // Exchanges per second over `seconds`; -1 when the board stopped answering.
  double Rate(const BoardFrame &request, double seconds) {
    QElapsedTimer timer;
    timer.start();
    exchanges_ = events_ = 0;
    while (timer.elapsed() < seconds * 1000) {
      if (!ExchangeOnce(request)) return -1;
      ++exchanges_;
    }
    return exchanges_ / (timer.nsecsElapsed() / 1e9);
  }
  double EventsPerExchange() const { return exchanges_ ? double(events_) / exchanges_ : 0; }

private:
  TComm32 &port_;
  QEventLoop loop_;
  QTimer timeout_;
  long exchanges_ = 0, events_ = 0;
};

double CpuWhileIdle(int ms) {
  const double start = ProcessCpuSeconds();
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  return ProcessCpuSeconds() - start;
}

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  sim::SimulatedBoard board(1);
  TComm32 port;
  port.DeviceName = QString::fromStdString(board.DevicePath());
  port.BaudRate = cbr115200;
  port.FlowControl = fcRTSToggle;
  port.Open();
  if (!port.Enabled()) {
    std::fprintf(stderr, "cannot open %s\n", qPrintable(port.DeviceName));
    return 1;
  }
  // A SpiTransfer read of the motion controller's X_ACTUAL of motor 1.
  const BoardFrame request = BoardCommand::WithBytes(1, SpiTransfer, 0, 0, {0x03, 0, 0, 0}).Frame();
  Exchanger exchanger(port);

  const double unpaced = exchanger.Rate(request, 3);
  std::printf("unpaced exchanges:      %8.0f /s (%.2f OnRxChar per reply)\n", unpaced,
              exchanger.EventsPerExchange());

  board.SetPaced(true);
  const double paced = exchanger.Rate(request, 3);
  std::printf("paced exchanges:        %8.0f /s (%.1f %% of %.0f /s at 115200 bit/s; "
              "%.2f OnRxChar per reply)\n",
              paced, 100.0 * paced / kLineExchangesPerSecond, kLineExchangesPerSecond,
              exchanger.EventsPerExchange());

  board.SetSilent(true);
  const double idleSeconds = 10;
  const double cpu = CpuWhileIdle(int(idleSeconds * 1000));
  std::printf("CPU while silent:       %8.4f s in %.0f s (%.2f %% of a core)\n", cpu, idleSeconds,
              100.0 * cpu / idleSeconds);
  port.Close();
  return unpaced > 0 && paced > 0 ? 0 : 1;
}
