// Opening a simulated board from the port list, identification, the watchdog and the poll
// cycle, with the program's own serial code talking to the board over a pseudo-terminal.
#include <QApplication>
#include <QTimer>
#include "BoardFrames.h"
#include "Ev710Registers.h"
#include "OpenFailure.h"
#include "Ev710Utils.h"
#include "LedLittle.h"
#include "MainSession.h"
#include "PortSettings.h"
#include "Ticks.h"
// After the program's headers: termios.h defines B0 as a macro.
#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

namespace {
// One full cycle of requests per board kind, with the register editor and the tool windows closed.
const QStringList MotorReads = {"R01", "R03", "R09", "R0B", "R0F", "R21", "R23", "R29",
                                "R2B", "R2F", "R41", "R43", "R49", "R4B", "R4F"};
const QStringList NewerDriverCycle = MotorReads + QStringList{
    "P180/0", "P206/0", "P180/1", "P206/1", "P180/2", "P206/2", "P182/0",
    "P208/0", "P207/0", "P6/0",   "P168/0", "P170/0", "P172/0"};
const QStringList OlderDriverCycle = MotorReads + QStringList{
    "P206/0", "P208/0", "P206/1", "P208/1", "P206/2", "P208/2"};
const QStringList Qvr550Cycle = QStringList{"R73"} + MotorReads + QStringList{
    "P180/0", "P206/0", "P182/0", "P208/0", "P6/0", "P168/0", "P170/0", "P172/0"};

// The stretch of `all` that starts at the first full cycle after the start-up requests.
QStringList CyclesFrom(const QStringList &all, const QStringList &cycle, int count) {
  const int start = int(all.indexOf(cycle.first(), 2));
  return start < 0 ? QStringList() : all.mid(start, cycle.size() * count);
}

QStringList Repeated(const QStringList &cycle, int count) {
  QStringList out;
  for (int i = 0; i < count; ++i) out += cycle;
  return out;
}
// Records what the cycle feeds the graphics window.
struct RecordingGraph : TGraphHooks {
  QList<QPair<int, int>> Positions;  // (motor, value)
  int Velocities = 0, TargetVelocities = 0, Accelerations = 0, Samples = 0;
  void SetPositionSample(int Value, int Motor) override { Positions << qMakePair(Motor, Value); }
  void SetVelocitySample(int, int) override { ++Velocities; }
  void SetTargetVelocitySample(int, int) override { ++TargetVelocities; }
  void SetAccelerationSample(int, int) override { ++Accelerations; }
  void NextGraphSample() override { ++Samples; }
};

// A log that takes entries 2 and 5 (motor 1's position and target velocity), or fails.
struct RecordingLog : TLogHooks {
  QStringList Lines;
  bool Fail = false;
  bool LoggingRunning() const override { return true; }
  bool IsLogged(int PollIndex) const override { return PollIndex == 2 || PollIndex == 5; }
  int LogColumnCount() const override { return 2; }
  uint32_t LogStartTick() const override { return TickCount() - 1000; }
  void WriteLogLine(const QString &Line) override {
    if (Fail) throw EEvalError(QStringLiteral("Cannot write to selected log file!"));
    Lines << Line;
  }
};
}  // namespace

class TestPollCycle : public QObject {
  Q_OBJECT
  MainSession s;

private slots:
  void initTestCase() { s.Start(); }
  void cleanupTestCase() { s.Stop(); }
  void init() {
    for (const char *port : {"SIM1", "SIM2", "SIM3"}) MainSession::Reset(MainSession::Board(port));
    s.Errors.clear();
  }
  void cleanup() {
    s.Close();
    QVERIFY2(s.Errors.isEmpty(), qPrintable(s.Errors.join(u'\n')));
  }

  void initialState() {
    QCOMPARE(s.Text("StaticInfo1"), QStringLiteral("No port opened."));
    QCOMPARE(s.Text("StaticInfo2"), QStringLiteral("Select a port, then click \"Open\"."));
    QCOMPARE(s.Main->windowTitle(), QStringLiteral("QVR710+QVR5xx-EVAL V1.09"));
    QCOMPARE(QApplication::applicationName(), QStringLiteral("QVR710+QVR5xx-EVAL"));
  }

  void identification_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("family");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");
    QTest::addColumn<QString>("enabled");
    QTest::newRow("710") << "SIM1" << "" << 1 << "QVR53x" << QStringList{"BtnQVR533", "BtnQVR730", "BtnBoard"}
                         << QStringList{"BtnQVR515", "BtnQVR550"} << "BtnQVR533 BtnQVR730";
    QTest::newRow("4706") << "SIM1" << "4706V100" << 1 << "QVR53x" << QStringList{"BtnQVR533", "BtnQVR730", "BtnBoard"}
                          << QStringList{"BtnQVR515", "BtnQVR550"} << "BtnQVR533 BtnQVR730";
    QTest::newRow("936") << "SIM1" << "936V1.00" << 1 << "QVR53x" << QStringList{"BtnQVR533"}
                         << QStringList{"BtnQVR730", "BtnQVR515", "BtnQVR550", "BtnBoard"} << "BtnQVR533 BtnQVR730";
    QTest::newRow("515") << "SIM2" << "" << 2 << "QVR51x" << QStringList{"BtnQVR515", "BtnBoard"}
                         << QStringList{"BtnQVR533", "BtnQVR730", "BtnQVR550"} << "BtnQVR515";
    QTest::newRow("937") << "SIM3" << "" << 3 << "QVR550" << QStringList{"BtnQVR550"}
                         << QStringList{"BtnQVR533", "BtnQVR730", "BtnQVR515", "BtnBoard"} << "BtnQVR550";
    // The same window, another board: nothing of the board before stays in the way.
    QTest::newRow("710 after 937") << "SIM1" << "" << 1 << "QVR53x" << QStringList{"BtnQVR533", "BtnQVR730", "BtnBoard"}
                                   << QStringList{"BtnQVR515", "BtnQVR550"} << "BtnQVR533 BtnQVR730";
    QTest::newRow("937 again") << "SIM3" << "" << 3 << "QVR550" << QStringList{"BtnQVR550"}
                               << QStringList{"BtnQVR533", "BtnQVR730", "BtnQVR515", "BtnBoard"} << "BtnQVR550";
    QTest::newRow("515 after 937") << "SIM2" << "" << 2 << "QVR51x" << QStringList{"BtnQVR515", "BtnBoard"}
                                   << QStringList{"BtnQVR533", "BtnQVR730", "BtnQVR550"} << "BtnQVR515";
  }
  void identification() {
    QFETCH(QString, port);
    QFETCH(QString, version);
    QFETCH(QString, family);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, hidden);
    QFETCH(QString, enabled);
    MainSession::Board(qPrintable(port))->WithModel([&](sim::BoardModel &m) { m.SetVersionText(version.toStdString()); });
    s.Open(qPrintable(port));
    QVERIFY(s.WaitActive());
    QTEST(int(s.Main->Session->Identity().Kind), "kind");
    const QString board = QStringLiteral("QVR710+%1-EVAL").arg(family);
    QCOMPARE(s.Text("StaticInfo2"), board + QStringLiteral(" board detected!"));
    QCOMPARE(QApplication::applicationName(), board);
    QCOMPARE(s.Main->windowTitle(), board + QStringLiteral(" V1.09"));
    for (const QString &b : shown) QVERIFY2(s.Button(qPrintable(b))->isVisible(), qPrintable(b));
    for (const QString &b : hidden) QVERIFY2(!s.Button(qPrintable(b))->isVisible(), qPrintable(b));
    for (const char *b : {"BtnQVR533", "BtnQVR730", "BtnQVR515", "BtnQVR550"})
      QCOMPARE(s.Button(b)->isEnabled(), enabled.split(u' ').contains(QLatin1String(b)));
    // The board's driver button is the one in the shared place, where a click lands.
    const QPoint place = s.Button("BtnQVR533")->geometry().center();
    QCOMPARE(s.Button(qPrintable(shown.first()))->parentWidget()->childAt(place), s.Button(qPrintable(shown.first())));
    for (const char *b : {"BtnCmd705", "BtnLogging", "BtnGo1", "BtnStopAll", "BtnGraphics", "BtnClose"})
      QVERIFY2(s.Button(b)->isEnabled(), b);
    QVERIFY(!s.Child<QComboBox>("ComboCOM")->isEnabled());

    s.Close();
    QCOMPARE(s.Text("StaticInfo1"), QStringLiteral("No port opened."));
    for (const char *b : {"BtnClose", "BtnCmd705", "BtnQVR533", "BtnQVR730", "BtnQVR515", "BtnGo1", "BtnGoAll", "BtnBoard"})
      QVERIFY2(!s.Button(b)->isEnabled(), b);
    QVERIFY(s.Button("BtnOpen")->isEnabled());
    QVERIFY(s.Child<QComboBox>("ComboCOM")->isEnabled());
  }

  void unknownVersionStaysUndetected() {
    sim::SimulatedBoard *board = MainSession::Board("SIM1");
    board->WithModel([](sim::BoardModel &m) { m.SetVersionText("71ABCDEF"); });
    s.Open("SIM1");
    // Two full cycles later the board is still being detected.
    QTRY_VERIFY_WITH_TIMEOUT(board->ReceivedFrames().size() > 2 * size_t(NewerDriverCycle.size()), 5000);
    QCOMPARE(s.Text("StaticInfo1"), QStringLiteral("Trying to detect the board."));
    QVERIFY(!s.Main->Session->State().BoardIdentified);
  }

  void silentBoardIsReportedAndRecovers() {
    sim::SimulatedBoard *board = MainSession::Board("SIM1");
    s.Open("SIM1");
    QVERIFY(s.WaitActive());
    const uint32_t silentSince = TickCount();
    board->SetSilent(true);
    QTRY_COMPARE_WITH_TIMEOUT(s.Text("StaticInfo1"), QStringLiteral("The board does not respond."), 5000);
    QVERIFY(TicksSince(silentSince) > 2000);
    QCOMPARE(s.Text("StaticInfo2"), QStringLiteral("Please check the cable and the power."));
    board->SetSilent(false);
    QVERIFY(s.WaitActive(5000));
    QCOMPARE(s.Text("StaticInfo2"), QStringLiteral("QVR710+QVR53x-EVAL board detected!"));
  }

  void unpluggedBoardComesBackWithoutReopening() {
    sim::SimulatedBoard *board = MainSession::Board("SIM1");
    s.Open("SIM1");
    QVERIFY(s.WaitActive());
    board->HangUp();
    QTRY_COMPARE_WITH_TIMEOUT(s.Text("StaticInfo1"), QStringLiteral("The board does not respond."), 5000);
    board->ComeBack();
    QVERIFY(s.WaitActive(8000));
    QVERIFY(!s.Button("BtnOpen")->isEnabled());
  }

  void closeHidesOnlyTheLinkedToolWindows() {
    QWidget graphics, qvr550;
    TToolWindows windows = s.Main->Windows;
    TToolWindows standIns = windows;
    standIns.FormGraphics = &graphics;
    standIns.FormQVR550 = &qvr550;
    s.Main->SetToolWindows(standIns);
    s.Open("SIM3");
    QVERIFY(s.WaitActive());
    graphics.show();
    qvr550.show();
    s.Close();
    QVERIFY(!graphics.isVisible());
    QVERIFY(qvr550.isVisible());
    s.Main->SetToolWindows(windows);
  }

  void liveValuesAreDecoded() {
    sim::SimulatedBoard *board = MainSession::Board("SIM1");
    board->WithModel([](sim::BoardModel &m) {
      auto &c = m.Controller();
      c.WriteRegister(0, 0, 0xFFFFFF);  // motor 1 stands at -1
      c.WriteRegister(0, 1, 0xFFFFFF);
      c.WriteRegister(1, 10, 3);        // motor 2 holds V_ACTUAL -2048
      c.WriteRegister(1, 5, 0x800);
      c.WriteRegister(2, 4, 0xFFF);     // motor 3's V_TARGET -1
    });
    s.Open("SIM1");
    QVERIFY(s.WaitActive());
    QTRY_COMPARE(s.Text("StaticXAct1"), QStringLiteral("-1"));
    QTRY_COMPARE(s.Text("StaticVAct2"), QStringLiteral("-2048"));
    QTRY_COMPARE(s.Text("StaticVTarget3"), QStringLiteral("-1"));
    QCOMPARE(s.Main->Session->Identity().ControllerVersionText, QStringLiteral("QVR710 V2.05"));
    board->WithModel([](sim::BoardModel &m) {
      auto &c = m.Controller();
      c.WriteRegister(0, 0, 0);
      c.WriteRegister(0, 1, 0);
      c.WriteRegister(1, 10, 0);
      c.WriteRegister(1, 5, 0);
      c.WriteRegister(1, 0, 0);
      c.WriteRegister(1, 1, 0);
      c.WriteRegister(2, 4, 0);
    });
  }

  void statusLeds() {
    sim::SimulatedBoard *board = MainSession::Board("SIM1");
    board->WithModel([](sim::BoardModel &m) {
      auto &c = m.Controller();
      c.WriteRegister(0, 11, 0x0100);  // motor 1: position-end interrupt unmasked
      c.WriteRegister(0, 3, 1000);
      c.WriteRegister(0, 6, 1000);
      c.WriteRegister(0, 0, 5);        // ...and a short move that raises it
      for (int motor : {1, 2}) {       // motors 2 and 3 stand away from their targets
        c.WriteRegister(motor, 10, 2);
        c.WriteRegister(motor, 0, 1000);
      }
    });
    s.Open("SIM1");
    QVERIFY(s.WaitActive());
    const char *leds[] = {"LedXReached1", "LedReference1", "LedXReached2", "LedReference2",
                          "LedXReached3", "LedReference3", "LedCoverWaiting", "LedInterrupt"};
    auto lit = [&] {  // the status byte the LEDs show
      int status = 0;
      for (int bit = 0; bit < 8; ++bit)
        if (s.Child<TLedLittle>(leds[bit])->LedColor() == lcCyan) status |= 1 << bit;
        else if (s.Child<TLedLittle>(leds[bit])->LedColor() != lcDarkCyan) return -1;
      return status;
    };
    QTRY_COMPARE_WITH_TIMEOUT(lit(), 0x81, 5000);
    board->WithModel([](sim::BoardModel &m) {
      auto &c = m.Controller();
      c.WriteRegister(0, 11, 0x0001);  // acknowledge and mask again
      c.WriteRegister(0, 0, 0);
      for (int motor : {1, 2}) {
        c.WriteRegister(motor, 0, 0);
        c.WriteRegister(motor, 10, 0);
      }
    });
  }

  void requestOrderOverThreeCycles_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QStringList>("cycle");
    QTest::newRow("newer drivers") << "SIM1" << NewerDriverCycle;
    QTest::newRow("older drivers") << "SIM2" << OlderDriverCycle;
    QTest::newRow("QVR550") << "SIM3" << Qvr550Cycle;
  }
  void requestOrderOverThreeCycles() {
    QFETCH(QString, port);
    QFETCH(QStringList, cycle);
    sim::SimulatedBoard *board = MainSession::Board(qPrintable(port));
    s.Open(qPrintable(port));
    QTRY_VERIFY_WITH_TIMEOUT(board->ReceivedFrames().size() > size_t(4 * cycle.size() + 3), 8000);
    const QStringList all = Requests(board);
    // The start: the version query, then the controller's version, then the cycle.
    QCOMPARE(all.mid(0, 3), (QStringList{"V", "R73", "R01"}));
    QCOMPARE(CyclesFrom(all, cycle, 3), Repeated(cycle, 3));
  }

  void registerEditorPagesWidenTheCycle() {
    sim::SimulatedBoard *board = MainSession::Board("SIM1");
    s.Main->Session->Views().EditorShown = true;
    s.Main->Session->Views().EditorPage = 0;  // "Motor 1": its registers are read too
    s.Open("SIM1");
    QTRY_VERIFY_WITH_TIMEOUT(board->ReceivedFrames().size() > 80, 8000);
    s.Main->Session->Views().EditorShown = false;
    const QStringList all = Requests(board);
    const int first = int(all.indexOf("R01", 3));
    QVERIFY(first > 0);
    QCOMPARE(all.mid(first, 19), (QStringList{"R01", "R03", "R05", "R07", "R09", "R0B", "R0D", "R0F", "R11",
                                              "R13", "R15", "R17", "R19", "R1B", "R1D", "R1F", "R21", "R23", "R29"}));
  }

  // A reply that comes after the watchdog gave up must not be taken for the answer to the
  // request after it: every later value would land in the wrong field. The board works its
  // requests off one by one, so the answer to the repeated request follows the late one after
  // a few milliseconds.
  void lateReplyDoesNotShiftTheCycle() {
    sim::SimulatedBoard *board = MainSession::Board("SIM1");
    board->WithModel([](sim::BoardModel &m) {
      auto &c = m.Controller();
      c.WriteRegister(0, 0, 1234);  // motor 1 stands at 1234
      c.WriteRegister(0, 1, 1234);
    });
    board->SetProcessingTime(20);
    s.Open("SIM1");
    QVERIFY(s.WaitActive());
    const size_t before = board->ReceivedFrames().size();
    board->SetReplyDelay(2200);  // one reply later than the watchdog's 2000 ms
    QTRY_VERIFY(board->ReceivedFrames().size() > before);
    board->SetReplyDelay(0);
    QTRY_COMPARE_WITH_TIMEOUT(s.Text("StaticInfo1"), QStringLiteral("The board does not respond."), 5000);
    QVERIFY(s.WaitActive(6000));
    // Three more cycles: a shifted cycle would by now show motor 1's position as its velocity.
    const size_t recovered = board->ReceivedFrames().size();
    QTRY_VERIFY(board->ReceivedFrames().size() > recovered + 3 * size_t(NewerDriverCycle.size()));
    QCOMPARE(s.Text("StaticXAct1"), QStringLiteral("1234"));
    QCOMPARE(s.Text("StaticVTarget1"), QStringLiteral("0"));
    QCOMPARE(s.Text("StaticVAct1"), QStringLiteral("0"));
    QCOMPARE(s.Text("StaticAAct1"), QStringLiteral("0"));
    board->WithModel([](sim::BoardModel &m) {
      m.Controller().WriteRegister(0, 0, 0);
      m.Controller().WriteRegister(0, 1, 0);
    });
  }

  // Whatever the board's timing, the cycle starts with a single request outstanding: two
  // would put every value one field further on. Motor 1 stands away from its target so that a
  // shifted value would show.
  void cycleStartsWithOneRequest_data() {
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<QStringList>("start");
    const QStringList cycle = {"R01", "R03", "R09", "R0B", "R0F", "R21"};
    QTest::newRow("prompt") << 0 << QStringList{"V", "R73"} + cycle;
    QTest::newRow("slow") << 150 << QStringList{"V", "R73"} + cycle;
    // The version answer comes after the query's wait: entry 0 is read again, as after any
    // unanswered query, and the late answer still identifies the board.
    QTest::newRow("version after the wait") << 1300 << QStringList{"V", "R73", "R73"} + cycle;
  }
  void cycleStartsWithOneRequest() {
    QFETCH(int, delayMs);
    QFETCH(QStringList, start);
    sim::SimulatedBoard *board = MainSession::Board("SIM1");
    board->WithModel([](sim::BoardModel &m) {
      auto &c = m.Controller();
      c.WriteRegister(0, 10, 2);  // VELOCITY at V_TARGET 0: stands at 555, target 777
      c.WriteRegister(0, 0, 777);
      c.WriteRegister(0, 1, 555);
    });
    board->SetProcessingTime(20);
    board->SetReplyDelay(delayMs);
    QTimer::singleShot(10, [board] { board->SetReplyDelay(0); });  // only the version query is slow
    s.Open("SIM1");
    QTRY_VERIFY_WITH_TIMEOUT(board->ReceivedFrames().size() >= size_t(start.size()), 5000);
    // A version answer only just after the query's wait can still be caught by a wait that the
    // system woke late: then the cycle starts as after a prompt answer, also with one request.
    const QStringList prompt = QStringList{"V", "R73"} + start.mid(3);
    const QStringList sent = Requests(board).mid(0, start.size());
    if (delayMs <= int(ReplyTimeout) || sent.mid(0, prompt.size()) != prompt) QCOMPARE(sent, start);
    QVERIFY(s.WaitActive());
    const size_t seen = board->ReceivedFrames().size();
    QTRY_VERIFY(board->ReceivedFrames().size() > seen + 2 * size_t(NewerDriverCycle.size()));
    QCOMPARE(s.Text("StaticXAct1"), QStringLiteral("555"));
    QCOMPARE(s.Text("StaticVTarget1"), QStringLiteral("0"));
    QCOMPARE(s.Text("StaticVAct1"), QStringLiteral("0"));
    board->WithModel([](sim::BoardModel &m) {
      auto &c = m.Controller();
      c.WriteRegister(0, 0, 0);
      c.WriteRegister(0, 1, 0);
      c.WriteRegister(0, 10, 0);
    });
  }

  void graphAndLogHooks() {
    sim::SimulatedBoard *board = MainSession::Board("SIM1");
    board->WithModel([](sim::BoardModel &m) {
      m.Controller().WriteRegister(1, 0, 0xFFFF85);  // motor 2 stands at -123
      m.Controller().WriteRegister(1, 1, 0xFFFF85);
    });
    RecordingGraph graph;
    RecordingLog log;
    s.Main->Session->Views().GraphHooks = &graph;
    s.Main->Session->AddLogHooks(&log);
    s.Open("SIM1");
    QTRY_VERIFY_WITH_TIMEOUT(log.Lines.size() >= 3, 5000);
    s.Close();
    s.Main->Session->Views().GraphHooks = nullptr;
    s.Main->Session->RemoveLogHooks(&log);
    // Each cycle gives every motor one sample of each kind and starts one graph sample.
    QVERIFY(graph.Samples >= 3);
    QVERIFY(std::abs(graph.Positions.size() - 3 * graph.Samples) <= 3);
    QVERIFY(std::abs(graph.Velocities - graph.TargetVelocities) <= 3);
    QVERIFY(std::abs(graph.Accelerations - graph.Velocities) <= 3);
    QVERIFY(graph.Positions.contains(qMakePair(1, -123)));
    // A line per completed cycle: elapsed milliseconds, then the two values.
    for (const QString &line : log.Lines) {
      const QStringList fields = line.split(u';');
      QCOMPARE(fields.size(), 3);
      QVERIFY(fields[0].toInt() >= 1000);
      QCOMPARE(fields.mid(1), (QStringList{"0", "0"}));
    }
    board->WithModel([](sim::BoardModel &m) {
      m.Controller().WriteRegister(1, 0, 0);
      m.Controller().WriteRegister(1, 1, 0);
    });
  }

  // A handler that fails on every reply is reported once, the cycle goes on, and its entry's
  // value still reaches the log line; a log that then fails too is reported as well, once.
  void errorsInHandlersDoNotStopTheCycle() {
    RecordingLog log;
    s.Main->Session->AddLogHooks(&log);
    PollEntry &entry = s.Main->Session->Entry(PollRow::MotorRegister(0, ctl::X_ACTUAL));
    int calls = 0;
    entry.Handler = [&calls](uint8_t, uint8_t, uint8_t) {
      ++calls;
      throw EEvalError(QStringLiteral("handler failed"));
    };
    s.Open("SIM1");
    QTRY_VERIFY_WITH_TIMEOUT(calls >= 10 && log.Lines.size() >= 5, 5000);
    QCOMPARE(log.Lines.last().split(u';').size(), 3);
    log.Fail = true;
    const int failedBefore = calls;
    QTRY_VERIFY_WITH_TIMEOUT(calls >= failedBefore + 10, 5000);
    s.Close();
    s.Main->Session->RemoveLogHooks(&log);
    entry.Handler = nullptr;
    QCOMPARE(s.Errors, (QStringList{QStringLiteral("handler failed"), QStringLiteral("Cannot write to selected log file!")}));
    s.Errors.clear();
  }

  // Open sets the line itself, whatever it was before; replies whose bytes are XON, XOFF, CR
  // or NL cross it as data.
  void lineIsSetAndPassesEveryByte() {
    sim::SimulatedBoard *board = MainSession::Board("SIM1");
    board->ResetLine();
    board->WithModel([](sim::BoardModel &m) {
      auto &c = m.Controller();
      for (int motor = 0; motor < 3; ++motor) {
        c.WriteRegister(motor, ctl::V_MAX, 0);  // standing, none at its target
        c.WriteRegister(motor, ctl::X_TARGET, 1);
      }
      c.WriteRegister(0, ctl::X_ACTUAL, 0x111331);
      c.SetReferenceSwitches(0x0A);  // status 0x0A
    });
    const auto reply = board->WithModel([](sim::BoardModel &m) {
      return m.HandleFrame(sim::MakeRequestBytes(SpiTransfer, 0, 0, {0x03, 0, 0, 0}));
    });
    QCOMPARE(*reply, (sim::Frame{2, 1, 100, 71, 0x0A, 0x11, 0x13, 0x31, 0x0D}));
    s.Open("SIM1");
    QVERIFY(s.WaitActive());
    QTRY_COMPARE(s.Text("StaticXAct1"), QString::number(0x111331));
    QVERIFY(s.Child<TLedLittle>("LedReference2")->LedColor() == lcCyan);
    const size_t before = board->ReceivedFrames().size();
    QTRY_VERIFY(board->ReceivedFrames().size() > before + 50);  // nothing stalls the line

    const int fd = ::open(board->DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    QCOMPARE(::tcgetattr(fd, &t), 0);
    ::close(fd);
    QCOMPARE(::cfgetospeed(&t), speed_t(B115200));
    QCOMPARE(t.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));
    QCOMPARE(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR), tcflag_t(0));
    QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
    QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));
    s.Close();
    board->WithModel([](sim::BoardModel &m) {
      auto &c = m.Controller();
      for (int motor = 0; motor < 3; ++motor) c.WriteRegister(motor, ctl::X_TARGET, 0);
      c.WriteRegister(0, ctl::X_ACTUAL, 0);
      c.SetReferenceSwitches(0);
    });
  }

  // Values, LEDs, title and board buttons never show a board that is not there: not after
  // Close, not while it is silent, not after an Open that left an earlier board's version text.
  void nothingStaleLooksLive() {
    const auto looksLive = [this] {
      return s.Child<QLabel>("StaticXAct1")->isEnabled() || s.Button("BtnQVR533")->isEnabled() ||
             s.Button("BtnQVR550")->isEnabled() || s.Child<TLedLittle>("LedXReached1")->LedColor() != lcDarkGray ||
             s.Main->windowTitle() != QStringLiteral("QVR710+QVR5xx-EVAL V1.09");
    };
    sim::SimulatedBoard *board = MainSession::Board("SIM3");
    s.Open("SIM3");
    QVERIFY(s.WaitActive());
    QTRY_VERIFY(looksLive());
    board->SetSilent(true);
    QTRY_COMPARE_WITH_TIMEOUT(s.Text("StaticInfo1"), QStringLiteral("The board does not respond."), 5000);
    QVERIFY(!looksLive());
    board->SetSilent(false);
    QVERIFY(s.WaitActive());
    QTRY_VERIFY(looksLive());
    s.Main->Session->PausePolling();  // closed with polling paused
    s.Close();
    QVERIFY(!looksLive());
    MainSession::Board("SIM1")->SetSilent(true);
    s.Open("SIM1");
    QTRY_COMPARE_WITH_TIMEOUT(s.Text("StaticInfo1"), QStringLiteral("The board does not respond."), 5000);
    QVERIFY(!looksLive());
    QCOMPARE(s.Main->Session->Identity().Kind, TBoardKind::None);
  }

  // The tool windows grey their live values too, after Close and while the board is silent, and
  // show them live again once fresh replies come.
  void toolWindowsGreyStaleValues_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("value");  // a label or bar the replies fill
    QTest::addColumn<QString>("led");
    QTest::newRow("register editor, polled value") << "SIM1" << "BtnCmd705" << "StaticXTarg1" << "LedLP1";
    QTest::newRow("register editor, decoded value") << "SIM1" << "BtnCmd705" << "StaticAgtat1" << "LedLP1";
    QTest::newRow("newer drivers") << "SIM1" << "BtnQVR533" << "StaticDrvStatusMStep" << "LedDrvStatusPhA";
    QTest::newRow("QVR550") << "SIM3" << "BtnQVR550" << "StaticDrvStatusLD" << "LedDrvStatusOT";
    QTest::newRow("encoder") << "SIM1" << "BtnQVR730" << "StaticEnc1Pos" << "LED_N1";
    QTest::newRow("older drivers") << "SIM2" << "BtnQVR515" << "StallBar517" << "LED_OCA_517";
  }
  void toolWindowsGreyStaleValues() {
    QFETCH(QString, port);
    QFETCH(QString, button);
    QFETCH(QString, value);
    QFETCH(QString, led);
    sim::SimulatedBoard *board = MainSession::Board(qPrintable(port));
    s.Open(qPrintable(port));
    QVERIFY(s.WaitActive());
    s.Click(qPrintable(button));
    QWidget *window = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
      if (w != s.Main && w->isVisible()) window = w;
    QVERIFY(window);
    auto *shown = window->findChild<QWidget *>(value);
    auto *lamp = window->findChild<TLedLittle *>(led);
    QVERIFY(shown && lamp);
    const auto looksLive = [&] { return shown->isEnabled() && lamp->LedColor() != lcDarkGray; };
    const auto looksStale = [&] { return !shown->isEnabled() && lamp->LedColor() == lcDarkGray; };
    QTRY_VERIFY_WITH_TIMEOUT(looksLive(), 5000);
    board->SetSilent(true);
    QTRY_COMPARE_WITH_TIMEOUT(s.Text("StaticInfo1"), QStringLiteral("The board does not respond."), 5000);
    QVERIFY(looksStale());
    board->SetSilent(false);
    QTRY_VERIFY_WITH_TIMEOUT(looksLive(), 8000);
    s.Close();
    QVERIFY(looksStale());
    window->close();
  }

  // After a timeout a line that is never quiet (a stray byte every 150 ms) still gets the
  // request again within the watchdog's rhythm, and the cycle recovers once the board answers.
  void strayBytesDoNotHoldTheResend() {
    sim::SimulatedBoard *board = MainSession::Board("SIM1");
    s.Open("SIM1");
    QVERIFY(s.WaitActive());
    board->SetSilent(true);
    QTRY_COMPARE_WITH_TIMEOUT(s.Text("StaticInfo1"), QStringLiteral("The board does not respond."), 5000);
    QTimer strays;
    connect(&strays, &QTimer::timeout, [board] { board->SendStray({0x55}); });
    strays.start(150);
    const size_t asked = board->ReceivedFrames().size();
    QTRY_VERIFY_WITH_TIMEOUT(board->ReceivedFrames().size() > asked, 2000);
    strays.stop();
    board->SetSilent(false);
    QVERIFY(s.WaitActive(8000));
  }

  // A port that another program holds, or that does not exist, is refused with the reason.
  void openFailuresSayWhy() {
    const int holder = ::open(MainSession::Board("SIM2")->DevicePath().c_str(), O_RDWR | O_NOCTTY);
    QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);
    auto *combo = s.Child<QComboBox>("ComboCOM");
    combo->setCurrentIndex(combo->findText(QStringLiteral("SIM2"), Qt::MatchStartsWith));
    s.Click("BtnOpen");
    ::close(holder);
    combo->addItem(QStringLiteral("ttyQVRNONE"));
    combo->setCurrentIndex(combo->count() - 1);
    s.Click("BtnOpen");
    combo->removeItem(combo->count() - 1);
    QCOMPARE(s.Errors.size(), 2);
    QVERIFY(s.Errors[0].startsWith(QStringLiteral("Could not open port SIM2  [Simulator].\n\nThe port is busy")));
    QVERIFY(s.Errors[1].startsWith(QStringLiteral("Could not open port ttyQVRNONE.\n\nNo such device")));
    QVERIFY(OpenFailureText(QStringLiteral("ttyACM0"), EACCES).contains(QStringLiteral("\"dialout\" group")));
    s.Errors.clear();
  }

  void editorControlsShowHexadecimalAndUnsigned() {
    sim::SimulatedBoard *board = MainSession::Board("SIM1");
    board->WithModel([](sim::BoardModel &m) {
      m.Controller().WriteRegister(3, 0, 0xABCDEF);  // SPI telegram, low word
    });
    QString telegram, vMin;
    const PollShow kept49 = s.Main->Session->Entry(49).ShowEditor, kept3 = s.Main->Session->Entry(3).ShowEditor;
    s.Main->Session->Entry(49).ShowEditor = [&](const QString &text) { telegram = text; };
    s.Main->Session->Views().EditorShown = true;
    s.Main->Session->Views().EditorPage = 3;
    s.Open("SIM1");
    QTRY_COMPARE(telegram, QStringLiteral("ABCDEF"));
    s.Close();
    // Entry 3 (V_MIN) is unsigned: its top bit set is no sign.
    board->WithModel([](sim::BoardModel &m) { m.Controller().WriteRegister(0, 2, 0x7FF); });
    s.Main->Session->Entry(3).ShowEditor = [&](const QString &text) { vMin = text; };
    s.Main->Session->Views().EditorPage = 0;
    s.Open("SIM1");
    QTRY_COMPARE(vMin, QStringLiteral("2047"));
    s.Close();
    s.Main->Session->Views().EditorShown = false;
    s.Main->Session->Entry(49).ShowEditor = kept49;
    s.Main->Session->Entry(3).ShowEditor = kept3;
  }

  void portIndexIsRememberedOnClose() {
    auto *combo = s.Child<QComboBox>("ComboCOM");
    QVERIFY(combo->count() >= 3);
    combo->setCurrentIndex(2);
    s.Main->close();
    QCOMPARE(ReadRememberedPort(SettingsFilePath()).Index, 2);
    // The next start preselects it (unless a board's own port is found on this machine).
    TFormMain next;
    auto *nextCombo = next.findChild<QComboBox *>(QStringLiteral("ComboCOM"));
    if (!nextCombo->currentText().contains(QLatin1String("[Board]")))
      QCOMPARE(nextCombo->currentIndex(), 2);
    StoreRememberedPort(SettingsFilePath(), {});
    s.Main->show();
  }
};

QTEST_MAIN(TestPollCycle)
#include "tst_pollcycle.moc"
