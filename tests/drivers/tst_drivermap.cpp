// The driver parameter map: coding both ways per board kind, status decoding, the coil current
// and the load graph's history and geometry.
#include <QtTest>
#include "DriverParameterMap.h"
#include "LoadGraph.h"

namespace {
const DriverField &FieldOf(int kind, const char *control, uint8_t param) {
  static std::vector<DriverField> all[4];
  if (all[kind].empty()) all[kind] = AllFields(TBoardKind(kind));
  for (const DriverField &f : all[kind])
    if (f.Param == param && QByteArray(f.Control) == control) return f;
  qFatal("no field %s/%d", control, param);
}
}  // namespace

class TestDriverMap : public QObject {
  Q_OBJECT
private slots:
  void controlToCode_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("control");
    QTest::addColumn<int>("param");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("code");
    QTest::newRow("LDT -1") << 1 << QByteArray("EditLDSConfLDT") << 174 << -1 << int(0xFFFFFFFF);
    QTest::newRow("LDT -64 QVR550") << 3 << QByteArray("EditLDSConfLDT") << 174 << -64 << -64;
    QTest::newRow("HEND -3") << 1 << QByteArray("EditChopConfHEnd") << 165 << -3 << 0;
    QTest::newRow("HEND 12") << 1 << QByteArray("EditChopConfHEnd") << 165 << 12 << 15;
    QTest::newRow("offset -3") << 1 << QByteArray("EditChopConfSineWaveOffset") << 165 << -3 << 0;
    QTest::newRow("HSTRT 1") << 1 << QByteArray("EditChopConfHStart") << 166 << 1 << 0;
    QTest::newRow("HSTRT 8") << 1 << QByteArray("EditChopConfHStart") << 166 << 8 << 7;
    QTest::newRow("flag") << 1 << QByteArray("CheckDrvConfTestMode") << 185 << 1 << 1;
    QTest::newRow("CSYNC item") << 3 << QByteArray("CbChopConfCSync") << 185 << 1 << 1;
    QTest::newRow("HYST 63") << 3 << QByteArray("EditChopConfHyst") << 188 << 63 << 63;
    QTest::newRow("stall speed") << 3 << QByteArray("EditStopOnStallSpeed") << 181 << 2047 << 2047;
  }
  void controlToCode() {
    QFETCH(int, kind);
    QFETCH(QByteArray, control);
    QFETCH(int, param);
    QFETCH(int, shown);
    QFETCH(int, code);
    QCOMPARE(EncodeField(FieldOf(kind, control, uint8_t(param)), shown), code);
  }

  void codeToControl_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("control");
    QTest::addColumn<int>("param");
    QTest::addColumn<int>("reply");
    QTest::addColumn<int>("shown");
    QTest::newRow("LDT all 32 bits") << 1 << QByteArray("EditLDSConfLDT") << 174 << int(0xFFFFFFFF) << -1;
    QTest::newRow("LDT 63") << 3 << QByteArray("EditLDSConfLDT") << 174 << 63 << 63;
    QTest::newRow("HEND 0") << 1 << QByteArray("EditChopConfHEnd") << 165 << 0 << -3;
    QTest::newRow("HSTRT 7") << 1 << QByteArray("EditChopConfHStart") << 166 << 7 << 8;
    QTest::newRow("low byte only") << 1 << QByteArray("CbDrvCtrlMRes") << 140 << 0x1208 << 8;
    QTest::newRow("flag: code not 0") << 3 << QByteArray("CheckLDSConfSSpd") << 189 << 2 << 1;
    QTest::newRow("flag: upper bytes ignored") << 1 << QByteArray("CheckDrvCtrlIntpol") << 160 << 0x100 << 0;
    QTest::newRow("CS") << 1 << QByteArray("EditLDSConfCurrentScale") << 6 << 31 << 31;
  }
  void codeToControl() {
    QFETCH(int, kind);
    QFETCH(QByteArray, control);
    QFETCH(int, param);
    QFETCH(int, reply);
    QFETCH(int, shown);
    QCOMPARE(DecodeField(FieldOf(kind, control, uint8_t(param)), reply, TBoardKind(kind)), shown);
  }

  // Every spin edit's range survives the trip to the board and back.
  void rangesGoThereAndBack() {
    for (TBoardKind kind : {TBoardKind::NewerDrivers, TBoardKind::Qvr550})
      for (const DriverField &f : AllFields(kind))
        for (int v : {f.Min, f.Max})
          QVERIFY2(DecodeField(f, EncodeField(f, v), kind) == v, f.Control);
  }

  void fastDecayShares164And166() {
    const FastDecay fd{true, 9};  // "9 - 288 clk"
    QCOMPARE(FastDecayHighCode(fd), 3);
    QCOMPARE(FastDecayLowCode(fd), 1);
    const FastDecay back = DecodeFastDecay(3, 1);
    QVERIFY(back.FDMode);
    QCOMPARE(back.Index, 9);
    QCOMPARE(DecodeFastDecay(FastDecayHighCode({false, 7}), FastDecayLowCode({false, 7})).Index, 7);
  }

  // The chopper mode decides what 164..166 mean; the QVR550 has no chopper mode at all.
  void chopConfFollowsTheChopperMode() {
    auto controls = [](int kind, int chm) {
      QStringList names;
      for (const DriverField &f : GroupFields(TBoardKind(kind), DriverGroup::ChopConf, chm)) names << QString::number(f.Param) + u':' + f.Control;
      return names;
    };
    QVERIFY(controls(1, 0).contains("164:CbChopConfHDec"));
    QVERIFY(controls(1, 1).contains("164:CheckChopConfFDMode"));
    QVERIFY(controls(1, 1).contains("166:CbChopConfFastDecayTime"));
    QCOMPARE(controls(3, 0), controls(3, 1));
    QVERIFY(!controls(3, 0).join(u' ').contains("163:"));
  }

  void meaningDependsOnTheBoard() {
    QCOMPARE(DriverParameterName(185, TBoardKind::NewerDrivers), QStringLiteral("TST"));
    QCOMPARE(DriverParameterName(185, TBoardKind::Qvr550), QStringLiteral("CSYNC"));
    QCOMPARE(DriverParameterName(6, TBoardKind::Qvr550), QStringLiteral("CS"));
    QCOMPARE(DriverParameterName(6, TBoardKind::OlderDrivers), QStringLiteral("PWM"));
    QCOMPARE(ReadCode(DriverParam::LDValue, TBoardKind::NewerDrivers, 0x12345), 0x2345);
    QCOMPARE(ReadCode(DriverParam::LDValue, TBoardKind::OlderDrivers, 0x12345), 0x45);
  }

  void statusDecoding() {
    const Microstep a = DecodeMicrostep(0x02, 0xFF), b = DecodeMicrostep(0x01, 0x00);
    QCOMPARE(a.Position, 767);
    QVERIFY(a.PhaseA && a.PhaseB);
    QCOMPARE(b.Position, 256);
    QVERIFY(!b.PhaseA && b.PhaseB);
    auto ledsLitBy = [](int kind, int bits) {
      QStringList lit;
      for (const StatusFlag &f : StatusFlagsOf(TBoardKind(kind)))
        if (f.Led && (bits >> f.Bit & 1)) lit << f.Led;
      return lit;
    };
    QCOMPARE(ledsLitBy(1, 0x10), QStringList{"LedDrvStatusS2GB"});
    QCOMPARE(ledsLitBy(3, 0x10), QStringList{});
    QCOMPARE(ledsLitBy(3, 0x28), (QStringList{"LedDrvStatusS2GA", "LedDrvStatusOLA"}));
    QCOMPARE(ledsLitBy(1, 0x81), (QStringList{"LedDrvStatusLD", "LedDrvStatusSTST"}));
  }

  void coilCurrent() {
    const auto c = CoilCurrentOf(0.31, 0.068, 31);
    QVERIFY(c);
    QCOMPARE(CurrentText(c->Peak), QStringLiteral("4.559"));
    QCOMPARE(CurrentText(c->Rms), QStringLiteral("3.224"));
    QCOMPARE(CurrentText(CoilCurrentOf(SenseVoltageOf(1), 0.15, 0)->Peak), QStringLiteral("0.034"));
    for (double bad : {0.0, -0.1, std::nan("")}) QVERIFY(!CoilCurrentOf(0.31, bad, 31));
  }

  void historyKeeps421Samples() {
    TLoadHistory h;
    h.Add(5, 1);
    QCOMPARE(h.Count(), 1);
    QCOMPARE(h.LD(1), uint16_t(5));
    for (int i = 2; i <= 422; ++i) h.Add(uint16_t(i * 2), uint8_t(i % 32));
    QCOMPARE(h.Count(), 421);
    QCOMPARE(h.LD(421), uint16_t(844));  // the 422nd sample is the newest...
    QCOMPARE(h.LD(0), uint16_t(5));      // ...and the first has moved to index 0
    h.Add(1000, 0);
    QCOMPARE(h.Count(), 421);
    QCOMPARE(h.LD(0), uint16_t(4));      // the 423rd drops the first
    h.Restart();
    QCOMPARE(h.Count(), 0);
    QCOMPARE(h.LD(421), uint16_t(1000));  // a motor change keeps the samples
  }

  void graphGeometry() {
    QCOMPARE(LoadGraph::CurrentBar({31, 1, 0, 0}).Top, 0);
    QCOMPARE(LoadGraph::CurrentBar({31, 1, 0, 0}).Bottom, 168);
    QCOMPARE(LoadGraph::CurrentBar({31, 0, 0, 0}).Bottom, 7 * 16);
    const TSpan band = LoadGraph::HysteresisBand({0, 0, 2, 15}, 225);
    QCOMPARE(band.Bottom, 225 - 2 * 32 * 225 / 1023);
    QCOMPARE(band.Top, 225 - 18 * 32 * 225 / 1023);
    QCOMPARE(LoadGraph::LDY(1023, 225), 0);
    QCOMPARE(LoadGraph::TLStartY(0, 225), 225);
  }
};

QTEST_MAIN(TestDriverMap)
#include "tst_drivermap.moc"
