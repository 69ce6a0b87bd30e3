// The data log in the program against the simulated boards: the header and the lines for each
// board kind, values whose window is closed, start failures and refusals, replacing a file, a run
// appended after another, a file system that fills up while logging, and the log closed with the
// port and the program.
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <sys/mount.h>
#include <unistd.h>
#include "Ev710Logging.h"
#include "SpinEdit.h"
#include "poll/MainSession.h"

namespace {
const QString CannotWrite = QStringLiteral("Cannot write to selected log file!");
const QString NoFile = QStringLiteral("No log file is named. Type its name or choose it with \"...\".");
const QString NoValue = QStringLiteral("No value is chosen to log. Tick \"Log\" and at least one value of a motor.");

// The file's lines; every line, the last included, ends with CR LF.
QStringList LinesOf(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QString text = QString::fromLatin1(f.readAll());
  if (!text.endsWith(QLatin1String("\r\n"))) return {QStringLiteral("(no line end at the end)")};
  QStringList lines = text.split(QStringLiteral("\r\n"));
  lines.removeLast();
  return lines;
}

// Runs the event loop until `done` holds: unlike QTest::qWait, which sleeps 10 ms between
// rounds, it lets the poll cycle run at the simulated board's speed.
bool RunUntil(const std::function<bool()> &done, int ms = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) {
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return done();
}

// A small file system that is unmounted again however the test ends.
struct SmallFileSystem {
  QTemporaryDir dir;
  bool mounted = geteuid() == 0 && dir.isValid() &&
                 mount("tmpfs", qPrintable(dir.path()), "tmpfs", 0, "size=4k") == 0;
  ~SmallFileSystem() {
    if (mounted) umount2(qPrintable(dir.path()), MNT_DETACH);
  }
};
}  // namespace

class TestLogging : public QObject {
  Q_OBJECT
  MainSession s;
  TFormLogging *logging = nullptr;
  QTemporaryDir dir;
  QTimer answerBoxes;                                  // answers every question box...
  QMessageBox::StandardButton answer = QMessageBox::Yes;  // ...with this
  QStringList asked;

  QString PathOf(const char *name) const { return dir.filePath(QLatin1String(name)); }
  void Tick(const QStringList &boxes) {
    for (const QString &name : boxes) logging->findChild<QCheckBox *>(name)->click();
  }
  void Start(const QString &path, bool append = false) {
    logging->findChild<QLineEdit *>(QStringLiteral("EditLogFileName"))->setText(path);
    logging->findChild<QCheckBox *>(QStringLiteral("CheckAppendFile"))->setChecked(append);
    s.Click("BtnLogStart");
  }
  bool Idle() const { return !logging->LoggingRunning() && s.Button("BtnLogStart")->isEnabled() &&
                             !s.Button("BtnLogStop")->isEnabled() && s.Child<QCheckBox>("CheckLogMotor1")->isEnabled(); }
  static bool WaitLines(const QString &path, int count) {
    return RunUntil([&] { return LinesOf(path).size() >= count; });
  }
  void RunMotor1Backwards() {
    s.Child<QComboBox>("CbRampMode1")->setCurrentIndex(2);  // VELOCITY
    s.Child<TSpinEdit>("EditVTarget1")->SetValue(-600);
    s.Child<TSpinEdit>("EditAMax1")->SetValue(50);
    s.Click("BtnGo1");
  }

private slots:
  void initTestCase() {
    QVERIFY(dir.isValid());
    s.Start();
    logging = s.Main->findChild<TFormLogging *>(QStringLiteral("FormLogging"));
    QVERIFY(logging);
    connect(&answerBoxes, &QTimer::timeout, this, [this] {
      if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
        asked << box->text();
        box->button(answer)->click();
      }
    });
    answerBoxes.start(10);
  }
  void cleanupTestCase() { s.Stop(); }
  void cleanup() {
    answer = QMessageBox::Yes;
    asked.clear();
    logging->StopLogging();
    for (QCheckBox *box : logging->findChildren<QCheckBox *>()) box->setChecked(false);
    for (int m = 0; m < 3; ++m) logging->CheckLogMotor1Click(m);
    s.CloseChecked();
  }

  void linesForEachBoardKind_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("header");
    QTest::newRow("newer drivers") << "SIM1" << "TIME;X_ACTUAL_1;V_ACTUAL_1;THRIFTLEVEL_1;LOADPROBE_1";
    QTest::newRow("older drivers") << "SIM2" << "TIME;X_ACTUAL_1;V_ACTUAL_1;LOADPROBE_1";
    QTest::newRow("QVR550") << "SIM3" << "TIME;X_ACTUAL_1;V_ACTUAL_1;THRIFTLEVEL_1;LOADPROBE_1";
  }
  void linesForEachBoardKind() {
    QFETCH(QString, port);
    QFETCH(QString, header);
    s.OpenFresh(qPrintable(port));
    MainSession::Board(qPrintable(port))->SetPaced(true);  // lines some milliseconds apart
    RunMotor1Backwards();
    QTRY_COMPARE(s.Text("StaticVAct1"), QStringLiteral("-600"));
    Tick({"CheckLogMotor1", "CheckLogActPosMotor1", "CheckLogActVelMotor1", "CheckLogTLMotor1", "CheckLogLDMotor1"});
    const QString path = PathOf("kinds.csv");
    Start(path);
    QVERIFY(WaitLines(path, 5));
    s.Click("BtnLogStop");
    QVERIFY(Idle());
    const QStringList lines = LinesOf(path);
    QCOMPARE(lines.first(), header);
    const int columns = int(header.count(u';')) + 1;
    qint64 elapsed = -1;
    for (const QString &line : lines.mid(1)) {
      const QStringList fields = line.split(u';');
      QCOMPARE(fields.size(), columns);
      QVERIFY2(fields[0].toLongLong() > elapsed, qPrintable(line));
      elapsed = fields[0].toLongLong();
      QVERIFY2(fields[1].toInt() < 0, qPrintable(line));  // signed: the motor runs backwards
      QCOMPARE(fields[2], QStringLiteral("-600"));
      QVERIFY2(fields.last().toInt() > 0, qPrintable(line));  // the running driver's load
    }
    s.Click("BtnStop1");
    QTRY_COMPARE(s.Text("StaticVAct1"), QStringLiteral("0"));
    MainSession::Board(qPrintable(port))->WithModel([](sim::BoardModel &m) {
      m.Controller().WriteRegister(0, 0, 0);
      m.Controller().WriteRegister(0, 1, 0);
      m.Controller().WriteRegister(0, 10, 0);
    });
  }

  void startFailsWithoutAWritableFile_data() {
    QTest::addColumn<QString>("port");  // empty: no port open
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("append");
    QTest::addColumn<QString>("error");
    const QStringList position1{"CheckLogMotor1", "CheckLogActPosMotor1"};
    QTest::newRow("append to a missing file") << "" << position1 << PathOf("missing.csv") << true << CannotWrite;
    QTest::newRow("missing folder") << "" << position1 << PathOf("no/such/folder.csv") << false << CannotWrite;
    QTest::newRow("device that takes nothing") << "" << position1 << "/dev/full" << false << CannotWrite;
    QTest::newRow("no name") << "" << position1 << " " << false << NoFile;
    QTest::newRow("no value") << "" << QStringList{"CheckLogMotor1"} << PathOf("missing.csv") << false << NoValue;
    QTest::newRow("only a motor the QVR550 board lacks")
        << "SIM3" << QStringList{"CheckLogMotor2", "CheckLogActPosMotor2"} << PathOf("missing.csv") << false << NoValue;
    QTest::newRow("only a box the older drivers lack")
        << "SIM2" << QStringList{"CheckLogMotor1", "CheckLogTLMotor1"} << PathOf("missing.csv") << false << NoValue;
  }
  void startFailsWithoutAWritableFile() {
    QFETCH(QString, port);
    QFETCH(QStringList, boxes);
    QFETCH(QString, path);
    QFETCH(bool, append);
    QFETCH(QString, error);
    if (!port.isEmpty()) s.OpenFresh(qPrintable(port));
    Tick(boxes);
    Start(path, append);
    QCOMPARE(s.Errors, QStringList{error});
    s.Errors.clear();
    QVERIFY(Idle());
    QVERIFY(!QFile::exists(PathOf("missing.csv")));
  }

  // A value whose window is closed is read all the same: the older drivers' loads are read by
  // the cycle only while their window is shown, unless the log takes them.
  void loggedWhileItsWindowIsClosed() {
    s.OpenFresh("SIM2");
    QWidget *drivers = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
      if (w->objectName() == QLatin1String("TFormQVR51x")) drivers = w;
    QVERIFY(drivers);
    drivers->show();
    drivers->close();
    Tick({"CheckLogMotor2", "CheckLogLDMotor2", "CheckLogMotor3", "CheckLogLDMotor3"});
    const QString path = PathOf("closed-window.csv");
    Start(path);
    QVERIFY(WaitLines(path, 4));
    s.Click("BtnLogStop");
    const QStringList lines = LinesOf(path);
    QCOMPARE(lines.first(), QStringLiteral("TIME;LOADPROBE_2;LOADPROBE_3"));
    for (const QString &line : lines.mid(1)) QCOMPARE(line.count(u';'), 2);
  }

  // Without "Append", a file that exists is replaced only when the user says so.
  void replacingAFileAsksFirst_data() {
    QTest::addColumn<bool>("append");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("question");
    QTest::addColumn<QStringList>("firstLines");
    QTest::newRow("replace: yes") << false << int(QMessageBox::Yes) << true << QStringList{"TIME;X_ACTUAL_1"};
    QTest::newRow("replace: no") << false << int(QMessageBox::No) << true << QStringList{"old", "lines"};
    QTest::newRow("append") << true << int(QMessageBox::No) << false << QStringList{"old", "lines", "TIME;X_ACTUAL_1"};
  }
  void replacingAFileAsksFirst() {
    QFETCH(bool, append);
    QFETCH(int, answer);
    QFETCH(bool, question);
    QFETCH(QStringList, firstLines);
    const QString path = PathOf("existing.csv");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write("old\r\nlines\r\n") > 0);
    file.close();
    this->answer = QMessageBox::StandardButton(answer);
    Tick({"CheckLogMotor1", "CheckLogActPosMotor1"});
    Start(path, append);
    QCOMPARE(asked.size(), int(question));
    if (question) QVERIFY2(asked[0].contains(QLatin1String("already exists")), qPrintable(asked[0]));
    QCOMPARE(logging->LoggingRunning(), answer == QMessageBox::Yes || append);
    s.Click("BtnLogStop");
    QVERIFY(Idle());
    QCOMPARE(LinesOf(path).mid(0, firstLines.size()), firstLines);
  }

  // A second run appended after a first: its own header, then only its own lines.
  void appendedRunFollowsTheFirst() {
    s.OpenFresh("SIM1");
    MainSession::Board("SIM1")->SetPaced(true);
    Tick({"CheckLogMotor1", "CheckLogActPosMotor1"});
    const QString path = PathOf("append.csv");
    Start(path);
    QVERIFY(WaitLines(path, 6));
    s.Click("BtnLogStop");  // the next line is complete but not yet written
    Start(path, true);
    const int firstRun = int(LinesOf(path).size());
    QVERIFY(WaitLines(path, firstRun + 3));
    s.Click("BtnLogStop");
    const QStringList lines = LinesOf(path);
    QCOMPARE(lines.count(QStringLiteral("TIME;X_ACTUAL_1")), 2);
    QCOMPARE(lines[firstRun - 1], QStringLiteral("TIME;X_ACTUAL_1"));
    const qint64 lastOfFirstRun = lines[firstRun - 2].section(u';', 0, 0).toLongLong();
    qint64 elapsed = -1;
    for (const QString &line : lines.mid(firstRun)) {
      QVERIFY2(line.section(u';', 0, 0).toLongLong() > elapsed, qPrintable(line));
      elapsed = line.section(u';', 0, 0).toLongLong();
    }
    QVERIFY(lines[firstRun].section(u';', 0, 0).toLongLong() < lastOfFirstRun);
  }

  // The file system fills up while logging: logging stops with one message, the file keeps
  // whole lines only, and the poll cycle goes on.
  void fullFileSystemStopsLogging() {
    SmallFileSystem fs;
    if (!fs.mounted) QSKIP("needs root to mount a small tmpfs");
    s.OpenFresh("SIM1");
    for (int m = 1; m <= 3; ++m)
      for (const char *box : {"CheckLogMotor", "CheckLogTargPosMotor", "CheckLogActPosMotor", "CheckLogTargVelMotor",
                              "CheckLogActVelMotor", "CheckLogActAccMotor", "CheckLogTLMotor", "CheckLogLDMotor"})
        Tick({QLatin1String(box) + QString::number(m)});
    const QString path = fs.dir.filePath(QStringLiteral("full.csv"));
    Start(path);
    QVERIFY(logging->LoggingRunning());
    QVERIFY(RunUntil([this] { return !logging->LoggingRunning(); }));
    QVERIFY(Idle());
    QTRY_COMPARE(s.Errors.size(), 1);
    QCOMPARE(s.Errors[0], CannotWrite + QStringLiteral(" Logging has stopped (No space left on device)."));
    s.Errors.clear();
    const QStringList lines = LinesOf(path);
    QVERIFY(lines.size() > 10);
    for (const QString &line : lines) QCOMPARE(line.count(u';'), 21);
    sim::SimulatedBoard *board = MainSession::Board("SIM1");
    const uint64_t answered = board->RequestsAnswered();
    QVERIFY(RunUntil([&] { return board->RequestsAnswered() > answered + 100; }));
    QVERIFY(s.Errors.isEmpty());
  }

  // Closing the port or the program stops logging with the lines so far in the file.
  void closingStopsLogging_data() {
    QTest::addColumn<bool>("program");
    QTest::newRow("port") << false;
    QTest::newRow("program") << true;  // last: the main window stays closed
  }
  void closingStopsLogging() {
    QFETCH(bool, program);
    s.OpenFresh("SIM1");
    Tick({"CheckLogMotor1", "CheckLogActPosMotor1"});
    const QString path = PathOf("closed.csv");
    Start(path);
    QVERIFY(WaitLines(path, 3));
    if (program) s.Main->close();
    else s.Close();
    QVERIFY(Idle());
    const int written = int(LinesOf(path).size());
    QVERIFY(written >= 3);
    QTest::qWait(100);
    QCOMPARE(int(LinesOf(path).size()), written);
  }
};

QTEST_MAIN(TestLogging)
#include "tst_logging.moc"
