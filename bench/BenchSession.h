#pragma once
// What the window benches share: the program's main window made as the program makes it,
// a simulated board opened through the port list and the Open button, sleeping waits in the
// Qt event loop, and processor time per process and per thread group.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "Ticks.h"
#include "Ev710App.h"
#include "Ev710Guard.h"
#include "Ev710Main.h"
#include "MainWindowProbe.h"
#include "SimulatedBoard.h"

namespace bench {

// 115200 bit/s, ten bits a byte, a nine-byte request and a nine-byte reply.
constexpr double kPairSeconds = 18 * 10 / 115200.0;    // 1.5625 ms
constexpr double kLinePairsPerSecond = 1 / kPairSeconds;  // 640

// The offscreen platform with a full-HD screen unless the caller chose one.
inline void UseOffscreenUnlessSet() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" QVR_OFFSCREEN_SCREEN);
}

// Runs the event loop for `ms`; the loop sleeps between events.
inline void RunEventLoopFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

// Runs the event loop until `done` holds (checked every 10 ms) or `ms` have passed.
inline bool RunEventLoopUntil(const std::function<bool()> &done, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) RunEventLoopFor(10);
  return done();
}

// Milliseconds from a tool process's start to its exit, with this process's event loop running
// meanwhile (a window here may be what answers it); -1 when it failed, its error on stderr.
inline double ToolRunMs(const QString &tool, const QStringList &args) {
  QProcess p;
  QEventLoop loop;
  QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
  QObject::connect(&p, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
  QTimer::singleShot(20000, &loop, &QEventLoop::quit);
  QElapsedTimer timer;
  timer.start();
  p.start(tool, args);
  loop.exec();
  const double ms = timer.nsecsElapsed() / 1e6;
  if (p.state() != QProcess::NotRunning) p.kill();
  if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 && p.error() == QProcess::UnknownError) return ms;
  std::fprintf(stderr, "%s failed: %s\n", qPrintable(args.join(u' ')), p.readAllStandardError().constData());
  return -1;
}

// The process's threads (ids from /proc/self/task).
inline std::set<int> ThreadIds() {
  std::set<int> ids;
  for (const QString &name : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
    ids.insert(name.toInt());
  return ids;
}

inline std::set<int> NewThreads(const std::set<int> &before) {
  std::set<int> out;
  for (int id : ThreadIds())
    if (!before.count(id)) out.insert(id);
  return out;
}

// User + system time of a group of threads, from /proc (clock-tick resolution, 10 ms).
inline double ThreadsCpuSeconds(const std::set<int> &ids) {
  double seconds = 0;
  for (int id : ids) {
    std::ifstream stat("/proc/self/task/" + std::to_string(id) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // Fields after the command name (which may hold spaces) start at field 3.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int n = 3; rest >> field; ++n) {
      if (n == 14) utime = std::stoull(field);
      if (n == 15) {
        stime = std::stoull(field);
        break;
      }
    }
    seconds += double(utime + stime) / double(sysconf(_SC_CLK_TCK));
  }
  return seconds;
}

// A controller read request (SpiTransfer, type 0) with datagram byte `b0`.
inline bool IsControllerRead(const std::array<uint8_t, 9> &f, uint8_t b0) {
  return f[1] == 71 && f[2] == 0 && f[4] == b0;
}

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// What the board answers from construction until End(): replies per second, exact (the board's
// own count), and full cycles per second, which are the replies divided by the requests of one
// cycle, the distance between two cycle starts (the controller read 0x01, which nothing else
// sends while the cycle runs). The board must be recording.
class CycleCounter {
public:
  explicit CycleCounter(sim::SimulatedBoard &board) : Board(board), Answered(board.RequestsAnswered()) {
    board.ClearReceivedFrames();
    Timer.start();
  }
  void End() {
    Seconds = Timer.nsecsElapsed() / 1e9;
    Replies = Board.RequestsAnswered() - Answered;
    const auto frames = Board.ReceivedFrames();
    std::vector<size_t> starts;
    for (size_t i = 0; i < frames.size(); ++i)
      if (IsControllerRead(frames[i], 0x01)) starts.push_back(i);
    CycleStarts = int(starts.size());
    if (starts.size() >= 2) RequestsPerCycle = double(starts.back() - starts.front()) / double(starts.size() - 1);
  }
  double RepliesPerSecond() const { return Seconds > 0 ? double(Replies) / Seconds : 0; }
  double CyclesPerSecond() const { return RequestsPerCycle > 0 ? RepliesPerSecond() / RequestsPerCycle : 0; }

  double Seconds = 0;
  uint64_t Replies = 0;
  int CycleStarts = 0;
  double RequestsPerCycle = 0;

private:
  sim::SimulatedBoard &Board;
  uint64_t Answered;
  QElapsedTimer Timer;
};

// The program's windows with a simulated board (SIM1 unless told) opened through the port list.
class Session : public MainWindowProbe {
public:
  sim::SimulatedBoard *Board = nullptr;
  std::set<int> BoardThreads;   // the simulated board's server thread
  std::set<int> SerialThreads;  // the serial component's event thread
  int Errors = 0;               // errors the guard reported (printed on stderr)
  bool RecordRequests = true;   // the board keeps what it receives, for the benches that count it

  // Returns false (after saying why) when the board cannot be started or does not become active.
  bool Start(bool paced, const char *port = "SIM1") {
    SetUpApplication(*qApp);
    Main = CreateWindows();
    Main->show();
    SetGuardErrorSink([this](const QString &text) {
      ++Errors;
      std::fprintf(stderr, "error shown: %s\n", qPrintable(text));
    });
    const std::set<int> beforeBoard = ThreadIds();
    Board = sim::SimulatedBoardNamed(port);
    if (!Board) return Fail("cannot start the simulated board");
    BoardThreads = NewThreads(beforeBoard);
    Board->SetPaced(paced);
    Board->SetRecording(RecordRequests);
    auto *combo = Child<QComboBox>("ComboCOM");
    const int index = combo->findText(QLatin1String(port), Qt::MatchStartsWith);
    if (index < 0) return Fail("the board is not in the port list");
    combo->setCurrentIndex(index);
    const std::set<int> beforeOpen = ThreadIds();
    Click("BtnOpen");
    SerialThreads = NewThreads(beforeOpen);
    if (!RunEventLoopUntil([this] { return Text("StaticInfo1") == QLatin1String("The board is active."); }, 5000))
      return Fail("the board did not become active");
    return true;
  }

  void Stop() {
    if (Button("BtnClose")->isEnabled()) Click("BtnClose");
    Main->close();
    DestroyWindows();
    Main = nullptr;
  }

private:
  static bool Fail(const char *why) {
    std::fprintf(stderr, "%s\n", why);
    return false;
  }
};

}  // namespace bench
