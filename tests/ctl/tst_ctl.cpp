// qvr710-ctl run as a process against simulated boards served by this test over
// pseudo-terminals: exit codes, what the board receives, and the JSON reports.
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <csignal>
#include <sys/file.h>
#include <unistd.h>
#include <memory>
#include "CtlProcess.h"

class TestCtl : public QObject {
  Q_OBJECT
  std::unique_ptr<sim::SimulatedBoard> Board;  // newer drivers
  QString Port;
  QTemporaryDir Dir;

  Run OnBoard(QStringList args) { return Ctl(QStringList{QStringLiteral("--port"), Port} + args); }

private slots:
  void initTestCase() {
    Board = std::make_unique<sim::SimulatedBoard>(1);
    Port = QString::fromStdString(Board->DevicePath());
  }
  void init() {
    Board->SetSilent(false);
    Board->SetRecording(false);
    Board->SetRecording(true);
  }

  void exitCodes_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("onBoard");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("error");
    QTest::newRow("no command") << QStringList{} << true << 2 << "Unknown command";
    QTest::newRow("unknown command") << QStringList{"jump"} << true << 2 << "Unknown command \"jump\"";
    QTest::newRow("no port") << QStringList{"get", "V_MAX.1"} << false << 2 << "needs --port";
    QTest::newRow("unknown name") << QStringList{"get", "V_MAXX.1"} << true << 2 << "Unknown name";
    QTest::newRow("out of range") << QStringList{"set", "V_MIN.1=0", "V_MAX.1=2048"} << true << 2 << "out of its range 0..2047";
    QTest::newRow("no number") << QStringList{"set", "V_MAX.1=fast"} << true << 2 << "whole number";
    QTest::newRow("missing file") << QStringList{"setup", "diff", "/nonexistent.qvrsetup"} << true << 2 << "";
    QTest::newRow("acceleration warning") << QStringList{"move", "1", "5", "--vmax", "10", "--amax", "0"} << true << 2 << "\"Max. Accel.\" parameter should not be less than";
    QTest::newRow("unknown mode") << QStringList{"move", "--mode", "jog", "1", "5"} << true << 2 << "Unknown mode";
    QTest::newRow("no such motor") << QStringList{"stop", "4"} << true << 2 << "motor = 4 is out of its range 1..3";
    QTest::newRow("no such port") << QStringList{"--port", "/dev/qvr-none", "info"} << false << 3 << "No such device";
  }
  void exitCodes() {
    QFETCH(QStringList, args);
    QFETCH(bool, onBoard);
    QFETCH(int, code);
    QFETCH(QString, error);
    const Run r = onBoard ? OnBoard(args) : Ctl(args);
    QCOMPARE(r.Code, code);
    QVERIFY2(r.Err.contains(error.toUtf8()), r.Err.constData());
    QVERIFY(r.Out.isEmpty());
    QCOMPARE(Writes(*Board), QStringList{});  // a refused command sends nothing
  }

  void portInUseOrSilentBoard() {
    const int fd = ::open(Board->DevicePath().c_str(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0);
    const Run busy = OnBoard({"info"});
    ::close(fd);
    QCOMPARE(busy.Code, 3);
    QVERIFY2(busy.Err.contains("busy"), busy.Err.constData());
    Board->SetSilent(true);
    const Run silent = OnBoard({"info"});
    QCOMPARE(silent.Code, 1);
    QVERIFY2(silent.Err.contains("The board does not respond!"), silent.Err.constData());
  }

  // The writes each command sends, in order; a shared field is read first and written with the
  // other field as the board holds it.
  void writes_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("writes");
    QTest::newRow("one register") << QStringList{"set", "V_MAX.2=1000"} << QStringList{"W26=0003E8"};
    QTest::newRow("two registers, hex") << QStringList{"set", "P_DIV.1=3", "V_MIN.3=0x10"} << QStringList{"W12=000003", "W44=000010"};
    QTest::newRow("shared field keeps P_DIV") << QStringList{"set", "p_mul.1=200"} << QStringList{"W12=00C803"};
    QTest::newRow("go ramp") << QStringList{"move", "1", "5000", "--vmin", "5", "--vmax", "1000", "--amax", "100"}
                             << QStringList{"W12=00BE06", "W14=000000", "W0C=000064", "W06=0003E8", "W04=000005", "W00=001388"};
    QTest::newRow("go velocity, negative") << QStringList{"move", "--mode", "velocity", "--amax", "50", "3", "--", "-800"}
                                           << QStringList{"W54=000002", "W4C=000032", "W46=000320", "W48=000CE0"};
    QTest::newRow("stop one") << QStringList{"stop", "2"} << QStringList{"W34=000002", "W28=000000", "W2A=000000"};
    QTest::newRow("get sends none") << QStringList{"get", "V_MAX.2", "TBL.2"} << QStringList{};
  }
  void writes() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, writes);
    const Run r = OnBoard(args);
    QVERIFY2(r.Code == 0, r.Err.constData());
    QCOMPARE(Writes(*Board), writes);
  }

  void moveWaitsForTheTarget() {
    const Run reached = OnBoard({"move", "2", "300", "--vmax", "2047", "--amax", "2047", "--wait"});
    QVERIFY2(reached.Code == 0, reached.Err.constData());
    const QJsonObject motor2 = OnBoard({"--json", "status"}).Json().toObject()["motors"].toArray()[1].toObject();
    QCOMPARE(motor2["X_ACTUAL"].toInt(), 300);
    QCOMPARE(OnBoard({"move", "2", "8000000", "--vmax", "1", "--amax", "2047", "--wait", "--timeout", "1"}).Code, 4);
    QCOMPARE(OnBoard({"stop", "all"}).Code, 0);
  }

  // Ctrl+C while the motor runs: the motor's Stop goes out before the tool ends.
  void interruptedWaitStopsTheMotor() {
    QProcess p;
    p.start(QStringLiteral(QVR_CTL_PATH), {"--port", Port, "move", "1", "8000000", "--vmax", "1", "--amax", "2047", "--wait"});
    // A poll request after the Go's last write: the tool waits for the target.
    QVERIFY(QTest::qWaitFor([this] {
      const QStringList r = Requests(Board.get());
      return r.contains(QStringLiteral("W00=7A1200")) && r.last() != QStringLiteral("W00=7A1200");
    }, 10000));
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 130);
    QCOMPARE(Writes(*Board).mid(Writes(*Board).indexOf(QStringLiteral("W00=7A1200")) + 1),
             (QStringList{"W14=000002", "W08=000000", "W0A=000000"}));
  }

  void lostReplyToTheReadOfASharedFieldWritesNothing() {
    Board->DropReplyTo(Matching(QStringLiteral("R13")));
    const Run r = OnBoard({"set", "P_MUL.1=150"});
    QCOMPARE(r.Code, 1);
    QVERIFY2(r.Err.contains("The board does not respond!"), r.Err.constData());
    QCOMPARE(Writes(*Board), QStringList{});
  }

  void jsonReports() {
    QVERIFY(OnBoard({"set", "V_MAX.3=777", "RAMP_MODE.3=2"}).Code == 0);
    const QJsonObject got = OnBoard({"--json", "get", "v_max.3", "RAMP_MODE.3"}).Json().toObject();
    QCOMPARE(got, (QJsonObject{{"V_MAX.3", 777}, {"RAMP_MODE.3", 2}}));
    const QJsonObject info = OnBoard({"--json", "info"}).Json().toObject();
    QCOMPARE(info["board"].toString(), QStringLiteral("QVR710+QVR53x-EVAL"));
    QVERIFY(info["controllerVersion"].toString().startsWith(QStringLiteral("QVR710 V")));
    const QJsonObject status = OnBoard({"--json", "status"}).Json().toObject();
    const QJsonArray motors = status["motors"].toArray();
    QCOMPARE(motors.size(), 3);
    QCOMPARE(status["status"].toObject().size(), 8);
    const QJsonObject motor3 = motors[2].toObject();  // runs away from its target at -800
    QCOMPARE(status["status"].toObject()["X_ACTUAL3 = X_TARGET3"].toBool(), motor3["X_ACTUAL"] == motor3["X_TARGET"]);
    const QJsonArray ports = Ctl({"--json", "ports"}).Json().toArray();
    QVERIFY(ports.contains(QJsonObject{{"port", "SIM2"}, {"entry", "SIM2  [Simulator]"}, {"mark", "Simulator"}}));
  }

  // Saved from one board, applied onto another of its kind: no difference; then one.
  void setupRoundTrip() {
    sim::SimulatedBoard other(1);
    const QString otherPort = QString::fromStdString(other.DevicePath());
    const QString file = Dir.filePath(QStringLiteral("a.qvrsetup"));
    QVERIFY(OnBoard({"set", "A_MAX.1=99", "TBL.3=1", "RAM_3F=0xAB"}).Code == 0);
    QCOMPARE(OnBoard({"setup", "save", file}).Code, 0);
    QCOMPARE(Ctl({"--port", otherPort, "setup", "diff", file}).Code, 4);
    const Run dry = Ctl({"--port", otherPort, "setup", "apply", file, "--dry-run"});
    QVERIFY(dry.Out.contains("A_MAX.1: datagram 0C 00 00 63"));
    const Run apply = Ctl({"--port", otherPort, "setup", "apply", file});
    QVERIFY2(apply.Code == 0, apply.Err.constData());
    QCOMPARE(Ctl({"--port", otherPort, "setup", "diff", file}).Code, 0);
    QVERIFY(Ctl({"--port", otherPort, "set", "A_MAX.1=98"}).Code == 0);
    const Run diff = Ctl({"--port", otherPort, "--json", "setup", "diff", file});
    QCOMPARE(diff.Code, 4);
    QCOMPARE(diff.Json().toArray(), (QJsonArray{QJsonObject{{"name", "A_MAX.1"}, {"file", "99"}, {"board", "98"}}}));
    // A lost reply stops the apply and says what was not written.
    other.SetRecording(true);
    other.DropReplyTo([](const std::array<uint8_t, 9> &f) { return f[1] == 71 && f[4] == 0x80; });
    const Run lost = Ctl({"--port", otherPort, "setup", "apply", file});
    QCOMPARE(lost.Code, 1);
    QVERIFY2(lost.Err.contains("Not written") && lost.Err.contains("RAM_02"), lost.Err.constData());
    QVERIFY(!Writes(other).contains(QStringLiteral("W82=000000")));
  }
};

QTEST_GUILESS_MAIN(TestCtl)
#include "tst_ctl.moc"
