// Board setups: the file read and written, and a setup read from, applied to and compared with
// the simulated boards over their pseudo-terminals.
#include "BoardSetup.h"
#include "SetupBoard.h"
#include "DriverParameterMap.h"
#include "Ev710Registers.h"
#include "SetupRequests.h"

using namespace setup;

namespace {

// Every item of a newer-driver board at its lowest value, the chopper modes standard.
BoardSetup LowestSetup() {
  BoardSetup s{TBoardKind::NewerDrivers, {}};
  for (const SetupItem &item : SetupItems(s.BoardKind))
    if (item.ModeItem.isEmpty() || item.ModeValue == 0) s.Values[item.Name] = item.Min;
  return s;
}

// The text with line `from` (whole line, as written) replaced by `to`; the line number it is on.
QByteArray Replaced(const QByteArray &text, const QString &from, const QString &to, int *line) {
  QStringList lines = QString::fromUtf8(text).split(u'\n');
  const int at = int(lines.indexOf(from));
  *line = at + 1;
  lines[at] = to;
  return lines.join(u'\n').toUtf8();
}

}  // namespace

class TestSetup : public QObject {
  Q_OBJECT
  MainSession s;

private slots:
  void initTestCase() { s.Start(); }
  void cleanupTestCase() { s.Stop(); }

  void textGoesThereAndBack() {
    BoardSetup setup = LowestSetup();
    setup.Values[QStringLiteral("LDT.2")] = -64;
    setup.Values[QStringLiteral("RAM_7F")] = 0xAB;
    const SetupParse parsed = ParseSetupText(SetupText(setup), TBoardKind::NewerDrivers);
    QVERIFY2(parsed.Setup, qPrintable(parsed.Error));
    QCOMPARE(*parsed.Setup, setup);
  }

  void refusals_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("expectedKind");
    QTest::addColumn<QString>("error");  // empty: taken
    QTest::newRow("any case") << "V_MAX.1 = 0" << "v_max.1 = 7" << 1 << "";
    QTest::newRow("unknown name") << "V_MAX.1 = 0" << "V_MAXX.1 = 0" << 1 << "unknown name \"V_MAXX.1\"";
    QTest::newRow("no motor 4") << "V_MAX.1 = 0" << "V_MAX.4 = 0" << 1 << "unknown name";
    QTest::newRow("above range") << "V_MAX.1 = 0" << "V_MAX.1 = 2048" << 1 << "V_MAX.1 = 2048 is out of its range 0..2047";
    QTest::newRow("below range") << "LDT.3 = -64" << "LDT.3 = -65" << 1 << "out of its range -64..63";
    QTest::newRow("no number") << "V_MAX.1 = 0" << "V_MAX.1 = 1x" << 1 << "is no whole number";
    QTest::newRow("RAM word") << "RAM_10 = 00" << "RAM_10 = 100" << 1 << "is no hexadecimal byte";
    QTest::newRow("twice") << "A_MAX.1 = 0" << "v_max.1 = 3" << 1 << "V_MAX.1 is set twice";
    QTest::newRow("wrong section") << "V_MIN.1 = 0" << "LSMD = 1" << 1 << "LSMD belongs in [global]";
    QTest::newRow("other chopper mode") << "HDEC.2 = 0" << "FDMODE.2 = 0" << 1 << "FDMODE.2 belongs to CHM.2 = 1";
    QTest::newRow("missing") << "TST.3 = 0" << "# TST.3 = 0" << 1 << "the file ends without TST.3";
    QTest::newRow("board kind") << "board = QVR710+QVR53x-EVAL" << "board = QVR710+QVR53x-EVAL" << 3
                                << "the setup is for the QVR710+QVR53x-EVAL board, this is the QVR710+QVR550-EVAL board";
    QTest::newRow("unknown board") << "board = QVR710+QVR53x-EVAL" << "board = QVR999" << 0 << "unknown board";
    QTest::newRow("format") << "format = 1" << "format = 2" << 0 << "not a board setup of format 1";
    QTest::newRow("section header") << "[global]" << "[global" << 0 << "is no section header";
  }
  void refusals() {
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, error);
    QFETCH(int, expectedKind);
    int line = 0;
    const QByteArray text = Replaced(SetupText(LowestSetup()), from, to, &line);
    QVERIFY(line > 0);
    const SetupParse parsed = ParseSetupText(text, TBoardKind(expectedKind));
    if (error.isEmpty()) {
      QVERIFY2(parsed.Setup, qPrintable(parsed.Error));
      return;
    }
    QVERIFY(!parsed.Setup);
    if (!error.startsWith(QLatin1String("the file ends"))) QCOMPARE(parsed.Line, line);
    QVERIFY2(parsed.Error.startsWith(QStringLiteral("line %1: ").arg(parsed.Line)), qPrintable(parsed.Error));
    QVERIFY2(parsed.Error.contains(error), qPrintable(parsed.Error));
  }

  // Saved from SIM1, changed, applied to a SIM1 back at power-on: the board then holds exactly
  // the changed setup, and the apply sent exactly the writes its dry run listed.
  void applyThenReadBackShowsNoDifference() {
    s.OpenFresh("SIM1");
    TBoardAccess &board = s.Access();
    const BoardSetup saved = ReadSetup(board);
    const SetupParse reread = ParseSetupText(SetupText(saved), TBoardKind::NewerDrivers);
    QVERIFY2(reread.Setup, qPrintable(reread.Error));
    QCOMPARE(*reread.Setup, saved);

    BoardSetup changed = saved;
    const QMap<QString, int> changes = {{"V_MAX.2", 1234}, {"P_DIV.1", 5}, {"REF_CONF.3", 9}, {"LSMD", 2},
                                        {"POS_COMP_710", -77}, {"RAM_41", 0x5A}, {"LDT.3", -5}, {"MRES.2", 8}};
    for (const auto &[name, value] : changes.asKeyValueRange()) changed.Values[name] = value;
    // Motor 1's chopper in constant off-time mode: other fields carry parameters 164..166.
    for (const char *name : {"HDEC.1", "HEND.1", "HSTRT.1"}) changed.Values.remove(QLatin1String(name));
    const QMap<QString, int> offTime = {{"CHM.1", 1}, {"FDMODE.1", 1}, {"SINE_WAVE_OFFSET.1", -2}, {"FAST_DECAY_TIME.1", 9}};
    changed.Values.insert(offTime);
    QCOMPARE(int(DiffSetups(saved, changed).size()), changes.size() + 7);

    sim::SimulatedBoard *sim = MainSession::Board("SIM1");
    sim->WithModel([](sim::BoardModel &m) {
      m.Controller() = sim::ControllerModel();
      m.Drivers() = sim::DriverModel(1);
    });
    sim->ClearReceivedFrames();
    int progressCalls = 0;
    const ApplyReport report = ApplySetup(board, changed, [&](int, int) { ++progressCalls; });
    QVERIFY2(report.Complete && report.ReadBack && report.Error.isEmpty(), qPrintable(report.Summary()));
    QVERIFY2(report.ReadBackDifferences.empty(), qPrintable(report.Summary()));
    QVERIFY(report.Unconfirmed.isEmpty() && report.NotWritten.isEmpty());
    QVERIFY(DiffSetups(changed, ReadSetup(board)).empty());

    const std::vector<PlannedWrite> plan = PlanWrites(changed.BoardKind, changed.Values);
    QCOMPARE(progressCalls, int(plan.size()));
    CompareWithPlan(Writes(sim), plan);
    s.CloseChecked();
  }

  // The other boards: the older drivers keep no driver section, the QVR550's one driver is
  // addressed as its window does (motor index 2) and named without a motor.
  void otherBoardsGoThereAndBack_data() {
    QTest::addColumn<QByteArray>("port");
    QTest::addColumn<QString>("driverItem");  // empty: none
    QTest::newRow("older drivers") << QByteArray("SIM2") << QString();
    QTest::newRow("QVR550") << QByteArray("SIM3") << QStringLiteral("HYST");
  }
  void otherBoardsGoThereAndBack() {
    QFETCH(QByteArray, port);
    QFETCH(QString, driverItem);
    s.OpenFresh(port.constData());
    TBoardAccess &board = s.Access();
    BoardSetup setup = ReadSetup(board);
    QCOMPARE(*ParseSetupText(SetupText(setup), board.Identity().Kind).Setup, setup);
    QCOMPARE(SetupText(setup).contains("[driver"), !driverItem.isEmpty());
    if (!driverItem.isEmpty()) setup.Values[driverItem] = 33;
    sim::SimulatedBoard *sim = MainSession::Board(port.constData());
    sim->ClearReceivedFrames();
    const ApplyReport report = ApplySetup(board, setup);
    QVERIFY2(report.Complete && report.ReadBack && report.ReadBackDifferences.empty(), qPrintable(report.Summary()));
    if (!driverItem.isEmpty()) QVERIFY(Writes(sim).contains(QStringLiteral("S188/2")));
    s.CloseChecked();
  }

  // A reply lost in the middle of the RAM table: nothing after that write is sent, and the report
  // says which items were written, which may have been, and which were not.
  void lostReplyStopsTheApply() {
    s.OpenFresh("SIM1");
    TBoardAccess &board = s.Access();
    BoardSetup setup = ReadSetup(board);
    sim::SimulatedBoard *sim = MainSession::Board("SIM1");
    const uint8_t pair32 = ctl::RamPairAddress(32, false);
    sim->DropReplyTo([pair32](const std::array<uint8_t, 9> &f) { return IsWriteOf(f, pair32); });
    sim->ClearReceivedFrames();
    const ApplyReport report = ApplySetup(board, setup);
    QVERIFY(!report.Complete && !report.ReadBack);
    QCOMPARE(report.Error, QStringLiteral("The board does not respond!"));
    QCOMPARE(report.Unconfirmed, QStringList({"RAM_40", "RAM_41"}));
    QVERIFY(report.Written.contains("DX_REF_TOLERANCE.3") && report.Written.contains("RAM_3F"));
    QVERIFY(report.NotWritten.contains("RAM_42") && report.NotWritten.contains("LSMD") && report.NotWritten.contains("TST.3"));
    QCOMPARE(report.Written.size() + report.Unconfirmed.size() + report.NotWritten.size(), int(ItemsOf(setup).size()));
    const QStringList sent = Writes(sim);
    QVERIFY(sent.last().startsWith(QStringLiteral("W%1=").arg(pair32, 2, 16, QLatin1Char('0')).toUpper()));
    QVERIFY(report.Summary().contains(QLatin1String("Not written (")));
    s.CloseChecked();
  }

  // One field of a shared register is written with the others as the board holds them; a lost
  // reply to that read writes nothing.
  void sharedFieldIsReadFirst() {
    s.OpenFresh("SIM1");
    TBoardAccess &board = s.Access();
    QVERIFY(WriteSetupValues(board, {{"P_MUL.2", 200}, {"P_DIV.2", 3}}).Complete);
    sim::SimulatedBoard *sim = MainSession::Board("SIM1");
    const uint8_t readAddress = ctl::MotorRegisterAddress(2, ctl::P_MUL_P_DIV, true);
    sim->DropReplyTo([readAddress](const std::array<uint8_t, 9> &f) { return f[1] == 71 && f[4] == readAddress; });
    sim->ClearReceivedFrames();
    const ApplyReport lost = WriteSetupValues(board, {{"p_div.2", 9}});
    QCOMPARE(lost.NotWritten, QStringList{"P_DIV.2"});
    QVERIFY(Writes(sim).isEmpty());
    QVERIFY(WriteSetupValues(board, {{"p_div.2", 9}}).Complete);
    const BoardSetup now = ReadSetup(board);
    QCOMPARE(now.Values.value("P_MUL.2"), 200);
    QCOMPARE(now.Values.value("P_DIV.2"), 9);
    QVERIFY(!WriteSetupValues(board, {{"P_DIV.2", 16}}).Error.isEmpty());  // out of range: nothing sent
    s.CloseChecked();
  }
};

QTEST_MAIN(TestSetup)
#include "tst_setup.moc"
