// The microstep waveform and the RAM table file: its exact bytes, what a load accepts, the
// file errors, and a seeded fuzz run of the loader.
#include <QRandomGenerator>
#include <algorithm>
#include <cctype>
#include <QTemporaryDir>
#include <QtTest>

#include "Ev710Calc.h"
#include "Ev710Utils.h"
#include "RamTableFile.h"

namespace {

QString TableText(double sigma) {
  Ev710Calc::ShapeTableValues table;
  Ev710Calc::ShapeTable(sigma, table);
  QStringList hex;
  for (int v : table) hex << RamWordText(uint8_t(v));
  return hex.join(u' ');
}

RamWords Counting() {  // word i holds 2i + 1
  RamWords words{};
  for (int i = 0; i < RamWordCount; ++i) words[i] = uint8_t(i * 2 + 1);
  return words;
}

const QByteArray CountingFile =
    "01,03,05,07,09,0B,0D,0F,11,13,15,17,19,1B,1D,1F\r\n"
    "21,23,25,27,29,2B,2D,2F,31,33,35,37,39,3B,3D,3F\r\n"
    "41,43,45,47,49,4B,4D,4F,51,53,55,57,59,5B,5D,5F\r\n"
    "61,63,65,67,69,6B,6D,6F,71,73,75,77,79,7B,7D,7F\r\n"
    "81,83,85,87,89,8B,8D,8F,91,93,95,97,99,9B,9D,9F\r\n"
    "A1,A3,A5,A7,A9,AB,AD,AF,B1,B3,B5,B7,B9,BB,BD,BF\r\n"
    "C1,C3,C5,C7,C9,CB,CD,CF,D1,D3,D5,D7,D9,DB,DD,DF\r\n"
    "E1,E3,E5,E7,E9,EB,ED,EF,F1,F3,F5,F7,F9,FB,FD,FF\r\n";

// The table a file holds, read plainly: the first 16 fields of the first 8 lines (less a CR at
// the end), each one or two hexadecimal digits.
std::optional<RamWords> PlainReading(const QByteArray &content) {
  const QList<QByteArray> lines = content.split('\n');
  if (lines.size() < RamTableRows) return std::nullopt;
  RamWords words{};
  for (int row = 0; row < RamTableRows; ++row) {
    QByteArray line = lines[row];
    if (line.endsWith('\r')) line.chop(1);
    const QList<QByteArray> fields = line.split(',');
    if (fields.size() < RamTableColumns) return std::nullopt;
    for (int column = 0; column < RamTableColumns; ++column) {
      const QByteArray &field = fields[column];
      if (field.isEmpty() || field.size() > 2 ||
          !std::all_of(field.begin(), field.end(), [](char c) { return std::isxdigit(uchar(c)); }))
        return std::nullopt;
      words[row * RamTableColumns + column] = uint8_t(field.toUInt(nullptr, 16));
    }
  }
  return words;
}

QString ErrorOf(const std::function<void()> &f) {
  try {
    f();
  } catch (const EEvalError &e) {
    return e.Text;
  }
  return QString();
}

}  // namespace

class TestRamTable : public QObject {
  Q_OBJECT
private slots:
  void waveform_data() {
    QTest::addColumn<double>("sigma");
    QTest::addColumn<QString>("table");
    QStringList ramp;  // entry i = i up to 32 (just above 32 - 0.5 there), then i - 1
    for (int i = 0; i < 64; ++i) ramp << RamWordText(uint8_t(i <= 32 ? i : i - 1));
    const QString clipped = "00 01 03 04 06 07 08 0A 0B 0D 0E 0F 11 12 13 15 16 18 19 1A 1C 1D 1F 20 21 23 24 26 27 "
                            "28 2A 2B" + QStringLiteral(" 2D").repeated(32);
    QTest::newRow("sine") << 0.0 << "00 02 03 05 06 08 09 0B 0C 0E 0F 11 12 14 15 17 18 1A 1B 1C 1E 1F 20 22 23 24 26 27 "
                                    "28 29 2A 2B 2D 2E 2F 30 31 32 33 34 34 35 36 37 38 38 39 3A 3A 3B 3B 3C 3C 3D 3D 3D "
                                    "3E 3E 3E 3F 3F 3F 3F 3F";
    QTest::newRow("triangle") << -1.0 << ramp.join(u' ');
    QTest::newRow("clipped") << 1.0 << clipped;
    QTest::newRow("beyond +1") << 2.5 << clipped;
    QTest::newRow("beyond -1") << -7.0 << ramp.join(u' ');
  }
  void waveform() {
    QFETCH(double, sigma);
    QFETCH(QString, table);
    QCOMPARE(TableText(sigma), table);
  }
  void waveformBlends() {
    QVERIFY(TableText(0.5).endsWith(QStringLiteral(" 36")));
    QVERIFY(TableText(-0.5).endsWith(QStringLiteral(" 3E")));
  }

  void fileTextIsExact() { QCOMPARE(RamTableFileText(Counting()), CountingFile); }

  void cellTexts() {
    RamTexts texts;
    for (int i = 0; i < RamWordCount; ++i) texts[i] = RamWordText(Counting()[i]).toLower();
    QCOMPARE(RamWordsFromTexts(texts), std::optional<RamWords>(Counting()));  // lower case is fine
    for (const QString bad : {"", "1", "1FF", "G0", " 1", "\u00BD1"}) {
      texts[77] = bad;
      QVERIFY2(!RamWordsFromTexts(texts), qPrintable(bad));
    }
  }

  void loadAccepts_data() {
    QTest::addColumn<QByteArray>("content");
    QByteArray oneDigit = CountingFile;
    oneDigit.replace("01,03,05", "1,3,5").replace("0B,0D", "b,D");
    QTest::newRow("as saved") << CountingFile;
    QTest::newRow("lower case") << CountingFile.toLower();
    QTest::newRow("LF line ends") << QByteArray(CountingFile).replace("\r\n", "\n");
    QTest::newRow("last line end missing") << CountingFile.chopped(2);
    QTest::newRow("one-digit fields") << oneDigit;
    QTest::newRow("trailing empty line") << CountingFile + "\r\n";
    QTest::newRow("lines after the eighth") << CountingFile + "not,a,table\r\n\r\nzz\r\n";
    QTest::newRow("fields after the sixteenth") << QByteArray(CountingFile).replace("1F\r\n", "1F,,zz,1FF\r\n");
  }
  void loadAccepts() {
    QFETCH(QByteArray, content);
    const RamTableParse parsed = ParseRamTableFile(content);
    QCOMPARE(parsed.Error, QString());
    QCOMPARE(parsed.Words, std::optional<RamWords>(Counting()));
  }

  // What follows the table is not read, however long.
  void loadStopsAfterTheTable() {
    QTemporaryDir dir;
    QFile file(dir.filePath("long.705"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(CountingFile + QByteArray(1 << 20, 'x'));
    file.close();
    QCOMPARE(LoadRamTableFile(file.fileName()), Counting());
  }

  void fileErrors() {
    QTemporaryDir dir;
    QVERIFY(ErrorOf([&] { LoadRamTableFile(dir.filePath("none.705")); }).startsWith("Cannot open "));
    QVERIFY(ErrorOf([&] { SaveRamTableFile(dir.filePath("no/such/dir.705"), Counting()); }).startsWith("Cannot create "));
  }

  // Random bytes and mutated tables: the loader answers every one with exactly one of a table
  // or a message, and a table only when the file holds exactly that table.
  void fuzzLoader() {
    QRandomGenerator random(7100705);
    const char chars[] = "0123456789ABCDEFabcdefxX ,,,\r\n\n\t-+\0\xFF";
    const QByteArray alphabet(chars, sizeof chars - 1);
    int accepted = 0;
    for (int n = 0; n < 4000; ++n) {
      QByteArray content;
      if (n % 4 == 0) {
        content.resize(random.bounded(600));
        for (char &c : content) c = char(random.bounded(256));
      } else {
        content = random.bounded(2) ? CountingFile : CountingFile.toLower().replace("\r\n", "\n");
        for (int edits = random.bounded(1, 4); edits > 0; --edits) {
          const int at = random.bounded(int(content.size()) + 1);
          const char c = alphabet[random.bounded(int(alphabet.size()))];
          switch (random.bounded(4)) {
            case 0: if (at < content.size()) content[at] = c; break;
            case 1: content.insert(at, c); break;
            case 2: content.remove(at, random.bounded(1, 4)); break;
            default: content.truncate(at);
          }
        }
      }
      const RamTableParse parsed = ParseRamTableFile(content);
      QVERIFY(parsed.Words.has_value() != !parsed.Error.isEmpty());
      QCOMPARE(parsed.Words, PlainReading(content));
      if (parsed.Words) ++accepted;
    }
    QVERIFY(accepted > 100);  // the mutations reach accepted files as well
  }
};

QTEST_GUILESS_MAIN(TestRamTable)
#include "tst_ramtable.moc"
