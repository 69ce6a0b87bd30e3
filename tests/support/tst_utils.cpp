// Conversion routines and the error guard.
#include <QtTest>
#include "Ev710Guard.h"
#include "Ev710Utils.h"

class TestUtils : public QObject {
  Q_OBJECT
private slots:
  void extractField_data();
  void extractField();
  void signExtend_data();
  void signExtend();
  void intToBin_data();
  void intToBin();
  void binToInt_data();
  void binToInt();
  void binToIntRejects_data();
  void binToIntRejects();
  void binaryRoundTrip();
  void guardReportsAndContains();
};

void TestUtils::extractField_data()
{
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("n");
  QTest::addColumn<QString>("field");
  QTest::newRow("first") << "COM5  [Board]" << 1 << "COM5";
  QTest::newRow("empty between delimiters") << "COM5  [Board]" << 2 << "";
  QTest::newRow("third") << "COM5  [Board]" << 3 << "[Board]";
  QTest::newRow("beyond last") << "COM5  [Board]" << 4 << "";
  QTest::newRow("no delimiter") << "Abc" << 1 << "Abc";
  QTest::newRow("no delimiter, field 2") << "Abc" << 2 << "";
  QTest::newRow("empty text") << "" << 1 << "";
  QTest::newRow("leading delimiter") << " ttyUSB0 x" << 2 << "ttyUSB0";
  QTest::newRow("trailing delimiter") << "ttyS0 " << 2 << "";
}

void TestUtils::extractField()
{
  QFETCH(QString, text);
  QFETCH(int, n);
  QFETCH(QString, field);
  QCOMPARE(ExtractField(text, QLatin1Char(' '), n), field);
}

void TestUtils::signExtend_data()
{
  QTest::addColumn<int>("value");
  QTest::addColumn<int>("signBit");
  QTest::addColumn<int>("result");
  QTest::newRow("24 bit all ones") << 16777215 << 23 << -1;
  QTest::newRow("24 bit largest positive") << 8388607 << 23 << 8388607;
  QTest::newRow("24 bit smallest negative") << 8388608 << 23 << -8388608;
  QTest::newRow("12 bit smallest negative") << 2048 << 11 << -2048;
  QTest::newRow("12 bit largest positive") << 2047 << 11 << 2047;
  QTest::newRow("12 bit all ones") << 4095 << 11 << -1;
  QTest::newRow("31 bit all ones") << 0x7FFFFFFF << 30 << -1;
  QTest::newRow("31 bit smallest negative") << 0x40000000 << 30 << -0x40000000;
  QTest::newRow("unsigned 0") << 2048 << 0 << 2048;
  QTest::newRow("hex digits -6") << 16777215 << -6 << 16777215;
  QTest::newRow("zero") << 0 << 23 << 0;
}

void TestUtils::signExtend()
{
  QFETCH(int, value);
  QFETCH(int, signBit);
  QFETCH(int, result);
  QCOMPARE(SignExtend(value, signBit), result);
}

void TestUtils::intToBin_data()
{
  QTest::addColumn<int>("value");
  QTest::addColumn<int>("digits");
  QTest::addColumn<QString>("text");
  QTest::newRow("5/4") << 5 << 4 << "0101";
  QTest::newRow("165/8") << 165 << 8 << "10100101";
  QTest::newRow("0/4") << 0 << 4 << "0000";
  QTest::newRow("higher bits dropped") << 255 << 4 << "1111";
  QTest::newRow("no digits") << 7 << 0 << "";
  QTest::newRow("negative digits") << 7 << -3 << "";
  QTest::newRow("sign bit") << int(0x80000000u) << 32 << "1" + QString(31, QLatin1Char('0'));
  QTest::newRow("-1 in 32") << -1 << 32 << QString(32, QLatin1Char('1'));
}

void TestUtils::intToBin()
{
  QFETCH(int, value);
  QFETCH(int, digits);
  QFETCH(QString, text);
  QCOMPARE(IntToBin(value, digits), text);
}

void TestUtils::binToInt_data()
{
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("value");
  QTest::newRow("blanks around") << "  0101 " << 5;
  QTest::newRow("control characters around") << "\t101\r\n" << 5;
  QTest::newRow("empty") << "" << 0;
  QTest::newRow("all blank") << "   " << 0;
  QTest::newRow("blank ends the walk") << "1111 0101" << 5;
  QTest::newRow("left of blank not validated") << "1x 11" << 3;
  QTest::newRow("32 ones") << QString(32, QLatin1Char('1')) << -1;
  QTest::newRow("33rd digit carries no weight") << "1" + QString(32, QLatin1Char('0')) << 0;
  QTest::newRow("digits beyond 32 ignored") << QString(40, QLatin1Char('1')) << -1;
}

void TestUtils::binToInt()
{
  QFETCH(QString, text);
  QFETCH(int, value);
  QCOMPARE(BinToInt(text), value);
}

void TestUtils::binToIntRejects_data()
{
  QTest::addColumn<QString>("text");
  QTest::newRow("digit 2") << "102";
  QTest::newRow("right of blank") << "11 1x";
  QTest::newRow("inner tab") << "10\t1";
  QTest::newRow("beyond 32 digits still checked") << "x" + QString(32, QLatin1Char('1'));
}

void TestUtils::binToIntRejects()
{
  QFETCH(QString, text);
  try {
    BinToInt(text);
    QFAIL("no conversion error");
  } catch (const EConvertError &e) {
    QCOMPARE(e.Text, QStringLiteral("Ungültige Binärzahl"));
  }
}

void TestUtils::binaryRoundTrip()
{
  for (int v : {0, 1, 6, 165, 0x7FFFFFFF, -1, int(0x80000001u)})
    QCOMPARE(BinToInt(IntToBin(v, 32)), v);
}

void TestUtils::guardReportsAndContains()
{
  QStringList reported;
  SetGuardErrorSink([&](const QString &text) { reported << text; });
  RunGuarded(nullptr, [] { throw EEvalError(QStringLiteral("The board does not respond!")); });
  RunGuarded(nullptr, [] { BinToInt(QStringLiteral("2")); });
  RunGuarded(nullptr, [] { throw std::runtime_error("disk full"); });
  RunGuarded(nullptr, [] { throw 42; });
  int ran = 0;
  RunGuarded(nullptr, [&] { ++ran; });
  SetGuardErrorSink({});
  QCOMPARE(ran, 1);
  QCOMPARE(reported.size(), 4);
  QCOMPARE(reported[0], QStringLiteral("The board does not respond!"));
  QCOMPARE(reported[1], QStringLiteral("Ungültige Binärzahl"));
  QCOMPARE(reported[2], QStringLiteral("disk full"));
  QVERIFY(!reported[3].isEmpty());
}

QTEST_GUILESS_MAIN(TestUtils)
#include "tst_utils.moc"
