// Frames of the board link, the version texts and the wrapping millisecond tick.
#include <QtTest>
#include "BoardFrames.h"
#include "Ev710Version.h"
#include "Ticks.h"

class TestFrames : public QObject {
  Q_OBJECT
private slots:
  void requestFrames() {
    const BoardFrame version = BoardCommand::WithValue(1, GetVersion, 0, 0, 0).Frame();
    QCOMPARE(version, (BoardFrame{0x01, 0x88, 0, 0, 0, 0, 0, 0, 0x89}));

    // Negative values go out in two's complement; the checksum wraps at 256.
    const BoardFrame negative = BoardCommand::WithValue(1, SetParameter, 174, 0, -1).Frame();
    QCOMPARE(negative, (BoardFrame{1, 5, 174, 0, 0xFF, 0xFF, 0xFF, 0xFF, 176}));

    const BoardFrame bytes = BoardCommand::WithBytes(1, SpiTransfer, 4, 2, {0x08, 1, 2, 3}).Frame();
    QCOMPARE(bytes, (BoardFrame{1, 71, 4, 2, 0x08, 1, 2, 3, uint8_t(1 + 71 + 4 + 2 + 8 + 1 + 2 + 3)}));
    QCOMPARE(BoardCommand::WithValue(1, 5, 0, 0, 0x12345678).Value, (std::array<uint8_t, 4>{0x12, 0x34, 0x56, 0x78}));
  }

  void replies() {
    BoardReply spi{{2, 1, 100, 71, 0x81, 0xFF, 0xFF, 0xFE, 0}};
    QVERIFY(spi.IsSpiTransfer());
    QVERIFY(!spi.IsVersion());
    QCOMPARE(spi.Value(), int32_t(0x81FFFFFE));

    BoardReply parameter{{2, 1, 100, 6, 0xFF, 0xFF, 0xFF, 0xFF, 0}};
    QVERIFY(parameter.IsGetParameter());
    QCOMPARE(parameter.Value(), -1);

    // Anything that is neither 71 nor 6 in byte 3 is a version answer: bytes 1..8 are its text.
    BoardReply version{{2, '7', '1', '0', 'V', '2', '.', '1', '0'}};
    QVERIFY(version.IsVersion());
    QCOMPARE(QByteArray(version.VersionText().data(), 8), QByteArray("710V2.10"));
  }

  void shortVersion_data() {
    QTest::addColumn<QString>("full");
    QTest::addColumn<QString>("shortened");
    QTest::newRow("program") << "1.0.9.0" << "1.09";
    QTest::newRow("four parts") << "1.2.3.4" << "1.23";
    QTest::newRow("two-digit third") << "1.2.30.0" << "1.230";
    QTest::newRow("two-digit major") << "10.1.5.0" << "10.15";
    QTest::newRow("two parts") << "1.2" << "1.20";
    QTest::newRow("three parts") << "1.2.3" << "1.20";
    QTest::newRow("no dot") << "abc" << "abc0";
    QTest::newRow("empty") << "" << "";
  }
  void shortVersion() {
    QFETCH(QString, full);
    QTEST(ShortVersionText(full), "shortened");
  }

  void programVersion() {
    QCOMPARE(GetFileVersionText(), QStringLiteral("1.0.9.0"));
    QCOMPARE(ShortVersionText(GetFileVersionText()), QStringLiteral("1.09"));
  }

  void elapsedTimeAcrossTheWrap() {
    // Elapsed times are 32-bit differences: a start just before the wrap still gives a small,
    // positive time.
    const uint32_t beforeWrap = 0xFFFFFF00u, afterWrap = 0x00000100u;
    QCOMPARE(uint32_t(afterWrap - beforeWrap), 0x200u);
    const uint32_t start = TickCount();
    QVERIFY(TicksSince(start) < 1000);
  }
};

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
