// Register map of the motion controller: address bytes, compose/decode of every register,
// status byte and display texts.
#include <QtTest>

#include "Ev710Registers.h"

using namespace ctl;
#include "Ev710Utils.h"

namespace {

QByteArray Bytes(const DataBytes &d) {
  return QByteArray(reinterpret_cast<const char *>(d.data()), 3);
}

// The multi-field registers, each seen as a flat list of its fields so that one data table
// can drive them all.
using Fields = QList<int>;

DataBytes ComposeFields(const QString &reg, const Fields &f) {
  if (reg == "CURRENT_SCALE") return ComposeCurrentScale({f[0], f[1], f[2], f[3]});
  if (reg == "P_MUL_P_DIV") return ComposePMulPDiv({f[0], f[1]});
  if (reg == "REF_CONF_RAMP_MODE") return ComposeRefConf({f[0] != 0, f[1], f[2]});
  if (reg == "INTERRUPT_MASK_FLAGS") return ComposeInterrupts({f[0], f[1]});
  if (reg == "DIVIDERS") return ComposeDividers({f[0], f[1], f[2]});
  if (reg == "SPI_COVER_POS_LEN") return ComposeCover({f[0], f[1]});
  if (reg == "IF_CONFIG_710") {
    return ComposeIfConfig({f[0] != 0, f[1], f[2] != 0, f[3] != 0, f[4] != 0, f[5] != 0,
                            f[6] != 0, f[7] != 0});
  }
  if (reg == "POS_COMP_INT_710") return ComposePosCompInt({f[0] != 0, f[1] != 0});
  if (reg == "GLOBAL_PARAMETERS") {
    return ComposeGlobalParameters({f[0] != 0, f[1] != 0, f[2] != 0, f[3], f[4] != 0, f[5] != 0,
                                    f[6] != 0, f[7] != 0, f[8] != 0, f[9] != 0, f[10]});
  }
  if (reg == "RAM") return ComposeRamPair({uint8_t(f[0]), uint8_t(f[1])});
  qFatal("unknown register %s", qPrintable(reg));
}

Fields DecodeFields(const QString &reg, const QByteArray &b) {
  const uint8_t b1 = b[0], b2 = b[1], b3 = b[2];
  if (reg == "CURRENT_SCALE") {
    const auto r = DecodeCurrentScale(b1, b2, b3);
    return {r.I_S_AGTAT, r.I_S_ALEAT, r.I_S_V0, r.A_THRESHOLD};
  }
  if (reg == "P_MUL_P_DIV") {
    const auto r = DecodePMulPDiv(b1, b2, b3);
    return {r.P_MUL, r.P_DIV};
  }
  if (reg == "REF_CONF_RAMP_MODE") {
    const auto r = DecodeRefConf(b1, b2, b3);
    return {r.LP, r.REF_CONF, r.RAMP_MODE};
  }
  if (reg == "INTERRUPT_MASK_FLAGS") {
    const auto r = DecodeInterrupts(b1, b2, b3);
    return {r.INTERRUPT_MASK, r.INTERRUPT_FLAGS};
  }
  if (reg == "DIVIDERS") {
    const auto r = DecodeDividers(b1, b2, b3);
    return {r.PULSDIV, r.RAMPDIV, r.USTEP_RES};
  }
  if (reg == "SPI_COVER_POS_LEN") {
    const auto r = DecodeCover(b1, b2, b3);
    return {r.SPI_COVER_POS, r.SPI_COVER_LEN};
  }
  if (reg == "IF_CONFIG_710") {
    const auto r = DecodeIfConfig(b1, b2, b3);
    return {r.EN_REFR, r.POS_COMP_SEL, r.EN_SD,   r.INV_DIR,
            r.INV_STP, r.STEP_HALF,    r.SDO_INT, r.INV_REF};
  }
  if (reg == "POS_COMP_INT_710") {
    const auto r = DecodePosCompInt(b1, b2, b3);
    return {r.MASK, r.INTERRUPT};
  }
  if (reg == "GLOBAL_PARAMETERS") {
    const auto r = DecodeGlobalParameters(b1, b2, b3);
    return {r.M1R_REF, r.REFMUX, r.SPI_CONTINUOUS_UPD, r.SPI_CLK_DIV, r.csComInd, r.PoDAC,
            r.PoFD,    r.PoPH,   r.SPI_CLK,            r.SPI_CS,      r.LSMD};
  }
  if (reg == "RAM") {
    const auto r = DecodeRamPair(b1, b2, b3);
    return {r.EvenWord, r.OddWord};
  }
  qFatal("unknown register %s", qPrintable(reg));
}

}  // namespace

class TestRegisters : public QObject {
  Q_OBJECT

private slots:
  void addressBytes() {
    QCOMPARE(MotorRegisterAddress(2, X_TARGET, false), uint8_t(0x20));
    QCOMPARE(MotorRegisterAddress(3, V_MAX, true), uint8_t(0x47));
    QCOMPARE(MotorRegisterAddress(1, USTEP_710, true), uint8_t(0x1F));
    QCOMPARE(RegisterAddress(0, DIVIDERS, false), uint8_t(0x18));
    QCOMPARE(GlobalRegisterAddress(GLOBAL_PARAMETERS, false), uint8_t(0x7E));
    QCOMPARE(GlobalRegisterAddress(CHIP_TYPE_REVISION, true), uint8_t(0x73));
    QCOMPARE(GlobalRegisterAddress(SPI_TELEGRAM_LOW_WORD, false), uint8_t(0x60));
    QCOMPARE(GlobalRegisterAddress(REF_SWITCH_STATES, true), uint8_t(0x7D));
    QCOMPARE(RamPairAddress(0, true), uint8_t(0x81));
    QCOMPARE(RamPairAddress(63, false), uint8_t(0xFE));
    QCOMPARE(RamPairAddress(63, true), uint8_t(0xFF));
  }

  // Single-value motor registers: exact bytes at the limits, and the decode gives them back.
  void singleValues_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("bytes");
    for (int index : {X_TARGET, X_ACTUAL}) {
      const QByteArray name = MotorRegisters[index].ItemText;
      QTest::newRow(name + " min") << index << -8388608 << QByteArray("\x80\x00\x00", 3);
      QTest::newRow(name + " max") << index << 8388607 << QByteArray("\x7F\xFF\xFF", 3);
      QTest::newRow(name + " -1") << index << -1 << QByteArray("\xFF\xFF\xFF", 3);
    }
    for (int index : {V_MIN, V_MAX, A_MAX}) {
      const QByteArray name = MotorRegisters[index].ItemText;
      QTest::newRow(name + " min") << index << 0 << QByteArray("\x00\x00\x00", 3);
      QTest::newRow(name + " max") << index << 2047 << QByteArray("\x00\x07\xFF", 3);
    }
    for (int index : {V_TARGET, V_ACTUAL}) {
      const QByteArray name = MotorRegisters[index].ItemText;
      QTest::newRow(name + " min") << index << -2048 << QByteArray("\x00\x08\x00", 3);
      QTest::newRow(name + " max") << index << 2047 << QByteArray("\x00\x07\xFF", 3);
      QTest::newRow(name + " -1") << index << -1 << QByteArray("\x00\x0F\xFF", 3);
    }
    QTest::newRow("DX_REF_TOLERANCE max") << int(DX_REF_TOLERANCE) << 4095
                                          << QByteArray("\x00\x0F\xFF", 3);
  }
  void singleValues() {
    QFETCH(int, index);
    QFETCH(int, value);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Bytes(ComposeMotorValue(index, value)), bytes);
    QCOMPARE(DecodeMotorValue(index, bytes[0], bytes[1], bytes[2]), value);
  }

  // Every writable single-value register survives compose/decode at both ends of its range;
  // the read-only ones compose zero data and decode with their own signedness.
  void singleValueTableLimits() {
    for (int index = 0; index < MotorRegisterCount; ++index) {
      const MotorRegisterInfo &info = MotorRegisters[index];
      if (info.Min == info.Max) continue;  // multi-field register
      for (int v : {info.Min, info.Max}) {
        const DataBytes d = ComposeMotorValue(index, v);
        if (info.Writable) {
          QCOMPARE(DecodeMotorValue(index, d[0], d[1], d[2]), v);
        } else {
          QCOMPARE(Bytes(d), QByteArray(3, '\0'));
        }
      }
    }
    QCOMPARE(DecodeMotorValue(A_ACTUAL, 0x00, 0x08, 0x00), -2048);
    QCOMPARE(DecodeMotorValue(X_LATCHED, 0x80, 0x00, 0x00), -8388608);
    QCOMPARE(DecodeMotorValue(USTEP_710, 0xFF, 0xFF, 0xFF), 16777215);
    QCOMPARE(DecodeMotorValue(V_MAX, 0x00, 0x08, 0x00), 2048);  // unsigned: no sign
    QCOMPARE(Bytes(SplitValue(-8388608)), QByteArray("\x80\x00\x00", 3));
    QCOMPARE(DecodeValue(0x80, 0x00, 0x00, FormSigned24), -8388608);
    QCOMPARE(DecodeValue(0xFF, 0xFF, 0xFF, FormHex6), 16777215);
  }

  // Multi-field registers: the fields in declaration order, the exact bytes, and back.
  void multiField_data() {
    QTest::addColumn<QString>("reg");
    QTest::addColumn<Fields>("fields");
    QTest::addColumn<QByteArray>("bytes");
    auto row = [](const char *tag, const char *reg, Fields f, const char *bytes) {
      QTest::newRow(tag) << QString(reg) << f << QByteArray(bytes, 3);
    };
    row("scale zero", "CURRENT_SCALE", {0, 0, 0, 0}, "\x00\x00\x00");
    row("scale max", "CURRENT_SCALE", {7, 7, 7, 2047}, "\x77\x77\xFF");
    row("scale 1500/3", "CURRENT_SCALE", {0, 0, 3, 1500}, "\x00\x35\xDC");
    row("scale agtat", "CURRENT_SCALE", {5, 2, 0, 0}, "\x52\x00\x00");
    row("pmul min", "P_MUL_P_DIV", {128, 0}, "\x00\x80\x00");
    row("pmul max", "P_MUL_P_DIV", {255, 13}, "\x00\xFF\x0D");
    row("refconf zero", "REF_CONF_RAMP_MODE", {0, 0, 0}, "\x00\x00\x00");
    row("refconf max", "REF_CONF_RAMP_MODE", {0, 15, 3}, "\x00\x0F\x03");
    row("refconf REF_RnL", "REF_CONF_RAMP_MODE", {0, 8, 1}, "\x00\x08\x01");
    row("interrupts max", "INTERRUPT_MASK_FLAGS", {255, 255}, "\x00\xFF\xFF");
    row("interrupts apart", "INTERRUPT_MASK_FLAGS", {0x80, 0x01}, "\x00\x80\x01");
    row("dividers zero", "DIVIDERS", {0, 0, 0}, "\x00\x00\x00");
    row("dividers max", "DIVIDERS", {13, 13, 7}, "\x00\xDD\x07");
    row("dividers apart", "DIVIDERS", {2, 9, 4}, "\x00\x29\x04");
    row("cover max", "SPI_COVER_POS_LEN", {63, 31}, "\x00\x3F\x1F");
    row("cover apart", "SPI_COVER_POS_LEN", {1, 30}, "\x00\x01\x1E");
    row("ifconfig all", "IF_CONFIG_710", {1, 3, 1, 1, 1, 1, 1, 1}, "\x00\x01\xFF");
    row("ifconfig sel 2", "IF_CONFIG_710", {0, 2, 0, 0, 0, 0, 0, 0}, "\x00\x00\x80");
    row("ifconfig EN_SD", "IF_CONFIG_710", {0, 0, 1, 0, 0, 0, 0, 0}, "\x00\x00\x20");
    row("ifconfig INV_STP", "IF_CONFIG_710", {0, 0, 0, 0, 1, 0, 0, 0}, "\x00\x00\x08");
    row("ifconfig SDO_INT", "IF_CONFIG_710", {0, 0, 0, 0, 0, 0, 1, 0}, "\x00\x00\x02");
    row("poscompint MASK", "POS_COMP_INT_710", {1, 0}, "\x00\x01\x00");
    row("poscompint INTERRUPT", "POS_COMP_INT_710", {0, 1}, "\x00\x00\x01");
    row("global all", "GLOBAL_PARAMETERS", {1, 1, 1, 255, 1, 1, 1, 1, 1, 1, 3}, "\x31\xFF\xFF");
    row("global M1R_REF", "GLOBAL_PARAMETERS", {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "\x20\x00\x00");
    row("global REFMUX", "GLOBAL_PARAMETERS", {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "\x10\x00\x00");
    row("global csComInd", "GLOBAL_PARAMETERS", {0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0},
        "\x00\x00\x80");
    row("global PoFD+SPI_CS", "GLOBAL_PARAMETERS", {0, 0, 0, 7, 0, 0, 1, 0, 0, 1, 2},
        "\x00\x07\x26");
    row("global SPI_CLK", "GLOBAL_PARAMETERS", {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}, "\x00\x00\x08");
    row("ram pair", "RAM", {0x12, 0xAB}, "\x00\xAB\x12");
    row("ram pair max", "RAM", {0xFF, 0xFF}, "\x00\xFF\xFF");
  }
  void multiField() {
    QFETCH(QString, reg);
    QFETCH(Fields, fields);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Bytes(ComposeFields(reg, fields)), bytes);
    QCOMPARE(DecodeFields(reg, bytes), fields);
  }

  // Decoding looks only at a register's own bits; LP is read back but never written.
  void decodeIgnoresForeignBits() {
    QCOMPARE(DecodeFields("CURRENT_SCALE", "\xFF\xFF\xFF"), Fields({15, 15, 15, 2047}));
    QCOMPARE(DecodeFields("P_MUL_P_DIV", "\xFF\xFF\xFF"), Fields({255, 15}));
    QCOMPARE(DecodeFields("DIVIDERS", "\xFF\xFF\xFF"), Fields({15, 15, 7}));
    QCOMPARE(DecodeFields("SPI_COVER_POS_LEN", "\xFF\xFF\xFF"), Fields({63, 31}));
    QCOMPARE(DecodeFields("RAM", "\xFF\x01\x02"), Fields({2, 1}));
    QCOMPARE(DecodeFields("REF_CONF_RAMP_MODE", "\x01\x08\x02"), Fields({1, 8, 2}));
    QCOMPARE(Bytes(ComposeRefConf({true, 8, 2})), QByteArray("\x00\x08\x02", 3));
    QCOMPARE(IntToBin(DecodeRefConf(0, 0x08, 0).REF_CONF, 4), QString("1000"));
    const RegRefSwitches sw = DecodeRefSwitches(0xFF, 0xFF, 0x06);
    QVERIFY(!sw.Right(1) && sw.Left(1) && sw.Right(2) && !sw.Left(2) && !sw.Right(3));
    QVERIFY(DecodeRefSwitches(0, 0, 0x20).Left(3));
  }

  void hexText() {
    QCOMPARE(Bytes(ComposeHexText("ABCDEF")), QByteArray("\xAB\xCD\xEF", 3));
    QCOMPARE(Bytes(ComposeHexText("0a1b2c")), QByteArray("\x0A\x1B\x2C", 3));
    QCOMPARE(Bytes(ComposeHexText("12 G34")), QByteArray("\x12\x00\x34", 3));  // bad pair -> 0
    QCOMPARE(Bytes(ComposeHexText("-1FFFF")), QByteArray("\x00\xFF\xFF", 3));
    QCOMPARE(Bytes(ComposeHexText("123")), QByteArray("\x12\x00\x00", 3));  // short text
  }

  void statusByte() {
    const ControllerStatus s = DecodeStatus(0x81);
    QVERIFY(s.PositionReached(1));
    QVERIFY(s.Interrupt());
    for (int i = 1; i < 7; ++i) QVERIFY2(!s.Bit[i], qPrintable(QString::number(i)));
    QCOMPARE(QString(StatusCaptions[0]), QString("X_ACTUAL1 = X_TARGET1"));
    QCOMPARE(QString(StatusCaptions[7]), QString("INTERRUPT"));
    // Each accessor reads its own bit.
    QVERIFY(DecodeStatus(0x02).ReferenceSwitch(1));
    QVERIFY(DecodeStatus(0x04).PositionReached(2));
    QVERIFY(DecodeStatus(0x08).ReferenceSwitch(2));
    QVERIFY(DecodeStatus(0x10).PositionReached(3));
    QVERIFY(DecodeStatus(0x20).ReferenceSwitch(3));
    QVERIFY(DecodeStatus(0x40).CoverWaiting());
    QVERIFY(!DecodeStatus(0x7F).Interrupt());
  }

  void chipVersion() {
    QCOMPARE(ChipVersionText(0x12, 0x34, 0x56), QString("QVR123 V4.56"));
    QCOMPARE(ChipVersionText(0x0A, 0xBC, 0x0F), QString("QVR0AB VC.0F"));
    QCOMPARE(ChipVersionText(0, 0, 0), QString("QVR000 V0.00"));
    const RegChipVersion v = DecodeChipVersion(0x71, 0x02, 0x10);
    QCOMPARE(v.ChipType, 0x710);
    QCOMPARE(v.MajorRevision, 2);
    QCOMPARE(v.MinorRevision, 0x10);
  }

  void valueText_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("text");
    QTest::newRow("hex 43981") << 43981 << -6 << "00ABCD";
    QTest::newRow("hex raw") << 0xABCDEF << -6 << "ABCDEF";
    QTest::newRow("hex -1") << -1 << -6 << "FFFFFF";
    QTest::newRow("hex 0") << 0 << -6 << "000000";
    QTest::newRow("s24 -1") << -1 << 23 << "-1";
    QTest::newRow("s24 raw -1") << 0xFFFFFF << 23 << "-1";
    QTest::newRow("s24 max") << 8388607 << 23 << "8388607";
    QTest::newRow("s24 min raw") << 8388608 << 23 << "-8388608";
    QTest::newRow("s12 raw -1") << 0xFFF << 11 << "-1";
    QTest::newRow("s12 -1") << -1 << 11 << "-1";
    QTest::newRow("s12 min raw") << 2048 << 11 << "-2048";
    QTest::newRow("s12 max") << 2047 << 11 << "2047";
    QTest::newRow("unsigned all") << 0xFFFFFF << 0 << "16777215";
    QTest::newRow("unsigned 0") << 0 << 0 << "0";
  }
  void valueText() {
    QFETCH(int, value);
    QFETCH(int, format);
    QFETCH(QString, text);
    QCOMPARE(ValueText(value, format), text);
  }
};

QTEST_MAIN(TestRegisters)
#include "tst_registers.moc"
