// qvr710-ctl watch run as a process against a simulated board served by this test: the lines
// and their columns in each format, the values the board holds, and the ways it ends.
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>
#include <csignal>
#include <memory>
#include "SimulatedBoard.h"

namespace {

constexpr int StandingAt = -123;  // motor 2's position and target: it stands there

// The output's lines as fields by column name; the CSV and text formats have a header line.
QList<QMap<QString, QString>> Table(const QByteArray &out, const QString &format) {
  QStringList lines = QString::fromUtf8(out).split(u'\n');
  if (lines.takeLast() != QString()) return {};  // the last line is incomplete
  if (format != "json" && lines.isEmpty()) return {};  // no header
  QList<QMap<QString, QString>> rows;
  const auto fieldsOf = [&format](const QString &line) {
    return format == "csv" ? line.split(u',') : line.split(u' ', Qt::SkipEmptyParts);
  };
  const QStringList header = format == "json" ? QStringList() : fieldsOf(lines.takeFirst());
  for (const QString &line : lines) {
    QMap<QString, QString> row;
    if (format == "json") {
      const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
      for (auto i = o.begin(); i != o.end(); ++i) row[i.key()] = i.value().isDouble() ? QString::number(i.value().toInteger()) : "?";
    } else {
      const QStringList fields = fieldsOf(line);
      for (qsizetype i = 0; i < std::max(header.size(), fields.size()); ++i) row[header.value(i, "?")] = fields.value(i, "?");
    }
    rows << row;
  }
  return rows;
}

}  // namespace

class TestCtlWatch : public QObject {
  Q_OBJECT
  std::unique_ptr<sim::SimulatedBoard> Board;  // newer drivers
  QString Port;

  void Start(QProcess &p, const QStringList &args) {
    p.start(QStringLiteral(QVR_CTL_PATH), QStringList{"--port", Port, "watch"} + args);
  }
  struct Finished {
    int Code = -1;
    QByteArray Out, Err;
  };
  Finished Watch(const QStringList &args) {
    QProcess p;
    Start(p, args);
    if (!p.waitForFinished(20000)) p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
  }

private slots:
  void initTestCase() {
    Board = std::make_unique<sim::SimulatedBoard>(1);
    Port = QString::fromStdString(Board->DevicePath());
    Board->WithModel([](sim::BoardModel &m) {
      m.Controller().WriteRegister(1, sim::ControllerModel::XTarget, uint32_t(StandingAt) & 0xFFFFFF);
      m.Controller().WriteRegister(1, sim::ControllerModel::XActual, uint32_t(StandingAt) & 0xFFFFFF);
    });
  }
  void init() { Board->SetSilent(false); }

  void lines_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("lines");  // -1: at least one
    QTest::addColumn<QStringList>("columns");
    const QStringList two{"TIME", "V_ACTUAL_1", "X_ACTUAL_2"};
    QTest::newRow("csv, columns in the log's order") << QStringList{"--csv", "--count", "3", "x_actual.2", "V_ACTUAL_1"} << "csv" << 3 << two;
    QTest::newRow("text") << QStringList{"--count", "2", "X_ACTUAL_2", "V_ACTUAL_1"} << "text" << 2 << two;
    QTest::newRow("json") << QStringList{"--json", "--count", "2", "X_ACTUAL_2", "V_ACTUAL_1"} << "json" << 2 << two;
    QTest::newRow("for a time") << QStringList{"--csv", "--seconds", "1", "X_ACTUAL_2", "V_ACTUAL_1"} << "csv" << -1 << two;
    QTest::newRow("default set") << QStringList{"--csv", "--count", "1"} << "csv" << 1
                                 << QStringList{"TIME", "X_ACTUAL_1", "V_ACTUAL_1", "X_ACTUAL_2", "V_ACTUAL_2", "X_ACTUAL_3",
                                                "V_ACTUAL_3", "LOADPROBE_1", "LOADPROBE_2", "LOADPROBE_3"};
  }
  void lines() {
    QFETCH(QStringList, args);
    QFETCH(QString, format);
    QFETCH(int, lines);
    QFETCH(QStringList, columns);
    const Finished run = Watch(args);
    QCOMPARE(run.Code, 0);
    const QByteArray &out = run.Out;
    if (format == "csv") QVERIFY(out.startsWith(columns.join(u',').toUtf8() + '\n'));
    const QList<QMap<QString, QString>> rows = Table(out, format);
    QVERIFY(lines < 0 ? !rows.isEmpty() : rows.size() == lines);
    QStringList sorted = columns;
    sorted.sort();
    qint64 lastTime = -1;
    for (const auto &row : rows) {
      QCOMPARE(row.keys(), sorted);
      bool isNumber = false;
      const qint64 time = row["TIME"].toLongLong(&isNumber);
      QVERIFY2(isNumber && time > lastTime, qPrintable(row["TIME"]));
      lastTime = time;
      for (const QString &column : columns.mid(1))
        QCOMPARE(row[column], column == "X_ACTUAL_2" ? QString::number(StandingAt) : QStringLiteral("0"));
    }
  }

  void refused_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");
    QTest::newRow("unknown row") << QStringList{"X_ACTUAL_1", "X_ACTUAL_4"} << "Unknown row \"X_ACTUAL_4\"";
    QTest::newRow("no count") << QStringList{"--count", "0"} << "out of its range";
    QTest::newRow("count and time") << QStringList{"--count", "2", "--seconds", "2"} << "not both";
  }
  void refused() {
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    const Finished run = Watch(args);
    QCOMPARE(run.Code, 2);
    QVERIFY(run.Out.isEmpty());
    QVERIFY2(run.Err.contains(error.toUtf8()), run.Err.constData());
  }

  // Ctrl+C and a board that falls silent end the watch after whole lines only.
  void ends_data() {
    QTest::addColumn<bool>("interrupt");
    QTest::addColumn<int>("code");
    QTest::newRow("Ctrl+C") << true << 130;
    QTest::newRow("board falls silent") << false << 1;
  }
  void ends() {
    QFETCH(bool, interrupt);
    QFETCH(int, code);
    QProcess p;
    Start(p, {"--csv", "X_ACTUAL_2"});
    QByteArray out;
    QVERIFY(QTest::qWaitFor([&] { return (out += p.readAllStandardOutput()).count('\n') >= 3; }, 10000));
    if (interrupt) ::kill(pid_t(p.processId()), SIGINT);
    else Board->SetSilent(true);
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), code);
    out += p.readAllStandardOutput();
    const auto rows = Table(out, "csv");
    QVERIFY(rows.size() >= 2);
    for (const auto &row : rows) QCOMPARE(row["X_ACTUAL_2"], QString::number(StandingAt));
    QCOMPARE(p.readAllStandardError().contains("The board does not respond!"), !interrupt);
  }
};

QTEST_GUILESS_MAIN(TestCtlWatch)
#include "tst_ctlwatch.moc"
