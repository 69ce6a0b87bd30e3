// qvr710-ctl's register, driver and RAM commands and an interrupted setup apply, run as a
// process against simulated boards: the exact requests, refusals that send nothing, lost replies.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <memory>
#include "CtlProcess.h"

namespace {

// Every request as Describe writes it, a parameter set with its value ("S140/1=4").
QStringList Received(sim::SimulatedBoard &board) {
  QStringList out;
  for (const auto &f : board.ReceivedFrames()) {
    const int32_t value = int32_t(uint32_t(f[4]) << 24 | f[5] << 16 | f[6] << 8 | f[7]);
    out << (f[1] == 5 ? Describe(f) + u'=' + QString::number(value) : Describe(f));
  }
  return out;
}

// The command's requests follow one another: the poll cycle is paused while it runs.
bool HasInOrder(const QStringList &received, const QStringList &requests) {
  for (qsizetype i = 0; i + requests.size() <= received.size(); ++i)
    if (received.mid(i, requests.size()) == requests) return true;
  return false;
}

QByteArray RamFile(int seed) {
  QByteArray text;
  for (int row = 0; row < 8; ++row) {
    QStringList fields;
    for (int column = 0; column < 16; ++column) fields << QStringLiteral("%1").arg((seed + 16 * row + column) & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
    text += fields.join(u',').toLatin1() + "\r\n";
  }
  return text;
}

}  // namespace

class TestCtlRegisters : public QObject {
  Q_OBJECT
  std::unique_ptr<sim::SimulatedBoard> Board;  // newer drivers
  QTemporaryDir Dir;

  Run OnBoard(const QStringList &args) {
    return Ctl(QStringList{QStringLiteral("--port"), QString::fromStdString(Board->DevicePath())} + args);
  }
  QString File(const QString &name, const QByteArray &content) {
    QFile f(Dir.filePath(name));
    if (f.open(QIODevice::WriteOnly)) f.write(content);
    return f.fileName();
  }

private slots:
  void initTestCase() { Board = std::make_unique<sim::SimulatedBoard>(1); }
  void init() {
    Board->SetRecording(false);
    Board->SetRecording(true);
  }

  // What the board receives, in one run of requests.
  void requests_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("requests");
    QTest::newRow("get live registers") << QStringList{"get", "X_TARGET.1", "v_actual.2", "LP.2"} << QStringList{"R01", "R2B", "R35"};
    QTest::newRow("the editor's spelling") << QStringList{"get", "\u00B5STEP_RES.2"} << QStringList{"R39"};
    QTest::newRow("set a live register") << QStringList{"set", "X_TARGET.3=-2"} << QStringList{"W40=FFFFFE"};
    QTest::newRow("set a global register") << QStringList{"set", "spi_cover_telegram=0xABCDEF"} << QStringList{"W66=ABCDEF"};
    QTest::newRow("configuration first, then a shared live field read first")
        << QStringList{"set", "INTERRUPT_FLAGS.2=1", "INTERRUPT_MASK.2=5"} << QStringList{"W36=000500", "R37", "W36=000501"};
    QTest::newRow("driver get reads the group") << QStringList{"driver", "get", "MRES.2"} << QStringList{"P160/1", "P161/1", "P140/1"};
    QTest::newRow("driver set") << QStringList{"driver", "set", "MRES.2=4", "INTPOL.1=1"} << QStringList{"S160/0=1", "S140/1=4"};
  }
  void requests() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, requests);
    const Run r = OnBoard(args);
    QVERIFY2(r.Code == 0, r.Err.constData());
    QVERIFY2(HasInOrder(Received(*Board), requests), qPrintable(Received(*Board).join(u' ')));
  }

  // Refused before anything is sent.
  void refusals_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");
    QTest::newRow("position out of range") << QStringList{"set", "V_MAX.1=7", "X_TARGET.1=8388608"} << "X_TARGET.1 = 8388608 is out of its range -8388608..8388607";
    QTest::newRow("field out of range") << QStringList{"set", "INTERRUPT_FLAGS.1=256"} << "out of its range 0..255";
    QTest::newRow("read only") << QStringList{"set", "A_ACTUAL.1=0"} << "A_ACTUAL.1 is read only";
    QTest::newRow("read-only global") << QStringList{"set", "CHIP_TYPE_REVISION=0"} << "read only";
    QTest::newRow("no such motor") << QStringList{"get", "X_TARGET.4"} << "Unknown name \"X_TARGET.4\"";
    QTest::newRow("other driver family") << QStringList{"driver", "set", "CSYNC=1"} << "CSYNC is a parameter of the QVR550 drivers; this board (QVR710+QVR53x-EVAL) has the QVR53x drivers";
    QTest::newRow("no driver parameter") << QStringList{"driver", "get", "V_MAX.1"} << "V_MAX.1 is no driver parameter";
    QTest::newRow("bad RAM file") << QStringList{"ram", "write", "BAD"} << "line 3";
  }
  void refusals() {
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    if (args.last() == QLatin1String("BAD")) args.last() = File(QStringLiteral("bad.705"), RamFile(0).replace("20,", "G0,"));
    const Run r = OnBoard(args);
    QCOMPARE(r.Code, 2);
    QVERIFY2(r.Err.contains(error.toUtf8()), r.Err.constData());
    QCOMPARE(Writes(*Board), QStringList{});
  }

  // A lost reply: to the read of a shared field nothing is written; in the middle of a RAM
  // write the report says how many pairs were written.
  void lostReplies_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("lost");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("writes");
    QTest::newRow("shared field's read") << QStringList{"set", "INTERRUPT_FLAGS.1=3"} << "R17" << "Not written (1): INTERRUPT_FLAGS.1" << 0;
    QTest::newRow("RAM pair 16") << QStringList{"ram", "write", "RAM"} << "WA0=002120" << "Written: 16 of the 64 pairs (words 00..1F)" << 17;
  }
  void lostReplies() {
    QFETCH(QStringList, args);
    QFETCH(QString, lost);
    QFETCH(QString, error);
    QFETCH(int, writes);
    if (args.last() == QLatin1String("RAM")) args.last() = File(QStringLiteral("lost.705"), RamFile(0));
    Board->DropReplyTo(Matching(lost));
    const Run r = OnBoard(args);
    QCOMPARE(r.Code, 1);
    QVERIFY2(r.Err.contains("The board does not respond!") && r.Err.contains(error.toUtf8()), r.Err.constData());
    QCOMPARE(Writes(*Board).size(), writes);
  }

  // The older drivers' parameters are set as their windows set them, and never read back.
  void olderDriversAreSetOnly() {
    sim::SimulatedBoard older(2);
    older.SetRecording(true);
    const QStringList port{"--port", QString::fromStdString(older.DevicePath())};
    QCOMPARE(Ctl(port + QStringList{"driver", "set", "SDT.1=3", "pwm=200"}).Code, 0);
    QVERIFY2(HasInOrder(Received(older), {"S205/0=5", "S6/1=200"}), qPrintable(Received(older).join(u' ')));
    const Run get = Ctl(port + QStringList{"driver", "get", "SDT.1"});
    QCOMPARE(get.Code, 2);
    QVERIFY2(get.Err.contains("SDT.1 is only ever set"), get.Err.constData());
  }

  void ramRoundTrip() {
    const QString written = File(QStringLiteral("a.705"), RamFile(0x35));
    const QString read = Dir.filePath(QStringLiteral("b.705"));
    QCOMPARE(OnBoard({"ram", "write", written}).Code, 0);
    QCOMPARE(Writes(*Board).size(), 64);
    QCOMPARE(Writes(*Board).first(), QStringLiteral("W80=003635"));
    QCOMPARE(OnBoard({"ram", "read", read}).Code, 0);
    QFile f(read);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), RamFile(0x35));
  }

  // Ctrl+C in the middle of an apply: no write after the one in flight, and the report says
  // what was and was not written.
  void interruptedApply() {
    const QString file = Dir.filePath(QStringLiteral("s.qvrsetup"));
    QCOMPARE(OnBoard({"setup", "save", file}).Code, 0);
    sim::SimulatedBoard slow(1, true);
    slow.SetReplyDelay(15);
    slow.SetRecording(true);
    QProcess p;
    p.start(QStringLiteral(QVR_CTL_PATH), {"--port", QString::fromStdString(slow.DevicePath()), "setup", "apply", file});
    QVERIFY(QTest::qWaitFor([&slow] { return Writes(slow).size() >= 5; }, 10000));
    ::kill(pid_t(p.processId()), SIGINT);
    const qsizetype sentBefore = Writes(slow).size();
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 130);
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(err.contains("Interrupted (Ctrl+C)") && err.contains("Not written") && err.contains("Written"), err.constData());
    QVERIFY(Writes(slow).size() <= sentBefore + 1);
  }
};

QTEST_GUILESS_MAIN(TestCtlRegisters)
#include "tst_ctlregisters.moc"
