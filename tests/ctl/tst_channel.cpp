// qvr710-ctl against the window program of this test holding SIM1: every command gives the same
// output and exit code through the program's command channel as on a board the tool opens
// itself; the channel's socket, bad clients and many clients leave the program polling.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include "ChannelServer.h"
#include "poll/MainSession.h"

namespace {

struct Run {
  int Code = -1;
  QByteArray Out, Err;
};

// The tool as a process; this test's event loop runs meanwhile, so the window can answer.
std::unique_ptr<QProcess> StartCtl(const QStringList &args, const QString &folder = QString()) {
  auto p = std::make_unique<QProcess>();
  if (!folder.isEmpty()) p->setWorkingDirectory(folder);
  p->start(QStringLiteral(QVR_CTL_PATH), args);
  return p;
}

Run Finished(QProcess &p) {
  if (!QTest::qWaitFor([&p] { return p.state() == QProcess::NotRunning; }, 20000)) p.kill();
  p.waitForFinished();
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
}

Run Ctl(const QStringList &args, const QString &folder = QString()) { return Finished(*StartCtl(args, folder)); }

QStringList Writes(sim::SimulatedBoard *board) {
  QStringList out;
  for (const QString &r : Requests(board))
    if (r.startsWith(u'W')) out << r;
  return out;
}

// One request over a socket of our own: the answer lines up to the final one.
QList<QJsonObject> Ask(QLocalSocket &socket, const QByteArray &line) {
  socket.write(line);
  QList<QJsonObject> answers;
  [[maybe_unused]] const bool ended = QTest::qWaitFor([&] {
    while (socket.canReadLine()) answers << QJsonDocument::fromJson(socket.readLine()).object();
    return (!answers.isEmpty() && answers.last().contains(QLatin1String("code"))) || socket.state() != QLocalSocket::ConnectedState;
  }, 10000);
  return answers;
}

// What the answers wrote on the stream `key` ("out" or "err").
QString Written(const QList<QJsonObject> &answers, const char *key) {
  QString text;
  for (const QJsonObject &a : answers) text += a[QLatin1String(key)].toString();
  return text;
}

}  // namespace

class TestChannel : public QObject {
  Q_OBJECT
  QTemporaryDir Runtime, Direct, Through;
  MainSession S;
  std::unique_ptr<sim::SimulatedBoard> Other;  // the same kind as SIM1, opened by the tool itself
  int Polls = 0;

  QString SocketPath() const { return S.Main->Channel->SocketPath(); }
  bool KeepsPolling() {
    const int before = Polls;
    return QTest::qWaitFor([&] { return Polls > before + 10; }, 3000);
  }

private slots:
  void initTestCase() {
    qputenv("XDG_RUNTIME_DIR", Runtime.path().toUtf8());  // no program of the user's own is met
    Other = std::make_unique<sim::SimulatedBoard>(1);
    S.Start();
    S.OpenFresh("SIM1");
    connect(S.Main->Session, &TBoardSession::StatusByte, this, [this] { ++Polls; });
  }
  void cleanupTestCase() { S.Stop(); }

  // Each row runs once on the other board and once through the window, in the same order, so
  // both boards go through the same states.
  void sameBothWays_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("info") << QStringList{"info"};
    QTest::newRow("info json") << QStringList{"--json", "info"};
    QTest::newRow("set") << QStringList{"set", "V_MAX.2=1000", "P_MUL.1=200"};
    QTest::newRow("get json") << QStringList{"--json", "get", "v_max.2", "P_MUL.1", "TBL.2"};
    QTest::newRow("get unknown") << QStringList{"get", "V_MAXX.1"};
    QTest::newRow("set out of range") << QStringList{"set", "V_MAX.1=2048"};
    QTest::newRow("move refused") << QStringList{"move", "1", "5", "--vmax", "10", "--amax", "0"};
    QTest::newRow("move wait") << QStringList{"move", "2", "300", "--vmax", "2047", "--amax", "2047", "--wait"};
    QTest::newRow("status") << QStringList{"--json", "status"};
    QTest::newRow("move timeout") << QStringList{"move", "3", "8000000", "--vmax", "1", "--amax", "2047", "--wait", "--timeout", "1"};
    QTest::newRow("stop") << QStringList{"stop", "all"};
    QTest::newRow("setup save") << QStringList{"setup", "save", "a.qvrsetup"};
    QTest::newRow("setup apply dry") << QStringList{"setup", "apply", "a.qvrsetup", "--dry-run"};
    QTest::newRow("setup apply") << QStringList{"setup", "apply", "a.qvrsetup"};
    QTest::newRow("set after save") << QStringList{"set", "A_MAX.1=98"};
    QTest::newRow("setup diff") << QStringList{"--json", "setup", "diff", "a.qvrsetup"};
    QTest::newRow("missing file") << QStringList{"setup", "diff", "none.qvrsetup"};
  }
  void sameBothWays() {
    QFETCH(QStringList, args);
    const Run direct = Ctl(QStringList{"--port", QString::fromStdString(Other->DevicePath())} + args, Direct.path());
    const Run through = Ctl(QStringList{"--port", "SIM1"} + args, Through.path());
    QCOMPARE(through.Err, direct.Err);
    QCOMPARE(through.Out, direct.Out);
    QCOMPARE(through.Code, direct.Code);
    QVERIFY(S.Text("StaticInfo2").startsWith(QLatin1String("A script drives the board: ")));
    QVERIFY(S.Text("StaticInfo2").endsWith(args.join(u' ')));
    QCOMPARE(S.Errors, QStringList{});
  }

  // watch through the window streams its cycles beside the window's own data log.
  void watchThroughTheWindow() {
    const Run through = Ctl({"--port", "SIM1", "watch", "X_ACTUAL_1", "--count", "3", "--csv"}, Through.path());
    QCOMPARE(through.Code, 0);
    const QList<QByteArray> lines = through.Out.trimmed().split('\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QByteArray("TIME,X_ACTUAL_1"));
    QVERIFY(KeepsPolling());
  }

  // The port's other spellings find the same channel; only the user may open its socket.
  void socketOfTheUserAndThePort() {
    for (const char *port : {"SIM1", "SIM1  [Simulator]", " SIM1"}) QCOMPARE(ctltool::ChannelPath(port), SocketPath());
    QCOMPARE(ctltool::ChannelPath("/dev/ttyACM0"), ctltool::ChannelPath("ttyACM0"));
    QVERIFY(SocketPath().startsWith(Runtime.path()));
    struct stat info {};
    QCOMPARE(::stat(SocketPath().toLocal8Bit().constData(), &info), 0);
    QVERIFY(S_ISSOCK(info.st_mode));
    QCOMPARE(info.st_mode & 0777, mode_t(0600));
  }

  // A socket left behind by a program that ended abruptly is replaced; Close removes it.
  void staleSocketAndClose() {
    const QString path = SocketPath();
    S.Close();
    QVERIFY(!QFile::exists(path));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, path.toLocal8Bit().constData(), sizeof address.sun_path);
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(fd);  // the file stays, nobody listens
    S.OpenFresh("SIM1");
    QCOMPARE(SocketPath(), path);
    QCOMPARE(Ctl({"--port", "SIM1", "get", "P_MUL.1"}).Out, QByteArray("P_MUL.1 = 200\n"));  // as set through the window
  }

  // Garbage gets an error answer and the connection goes on; an over-long line ends it.
  void badRequests_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("closes");
    QTest::newRow("no json") << QByteArray("get V_MAX.1\n") << false;
    QTest::newRow("no args") << QByteArray("{\"arg\":[\"info\"]}\n") << false;
    QTest::newRow("args not texts") << QByteArray("{\"args\":[1,2]}\n") << false;
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe{\n", 5) << false;
    QTest::newRow("unknown command") << QByteArray("{\"args\":[\"jump\"]}\n") << false;
    QTest::newRow("over-long") << QByteArray(ctltool::ChannelLineLimit + 10, 'x') << true;
  }
  void badRequests() {
    QFETCH(QByteArray, line);
    QFETCH(bool, closes);
    QLocalSocket socket;
    socket.connectToServer(SocketPath());
    QVERIFY(socket.waitForConnected(1000));
    const QList<QJsonObject> answers = Ask(socket, line);
    QVERIFY(!answers.isEmpty());
    QCOMPARE(answers.last()["code"].toInt(), 2);
    QVERIFY(!Written(answers, "err").isEmpty());
    if (closes) QVERIFY(QTest::qWaitFor([&] { return socket.state() == QLocalSocket::UnconnectedState; }, 3000));
    else {
      const QList<QJsonObject> get = Ask(socket, "{\"args\":[\"get\",\"P_MUL.1\"]}\n");
      QCOMPARE(Written(get, "err"), QString());
      QVERIFY(Written(get, "out").startsWith(QLatin1String("P_MUL.1 = ")));
    }
    QVERIFY(KeepsPolling());
  }

  // The script gone (killed) or interrupted (Ctrl+C) in the middle of move --wait: the window
  // stops the motor, as the tool does on Ctrl+C.
  void clientGoneStopsTheMotor_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("killed") << int(SIGKILL);
    QTest::newRow("ctrl+c") << int(SIGINT);
  }
  void clientGoneStopsTheMotor() {
    QFETCH(int, signal);
    sim::SimulatedBoard *board = MainSession::Board("SIM1");
    board->ClearReceivedFrames();
    auto p = StartCtl({"--port", "SIM1", "move", "1", "8000000", "--vmax", "1", "--amax", "2047", "--wait"});
    // The window's wait for the target runs inside this test's waits, so the signal is sent
    // from the event loop: once the Go went out and the cycle went on polling after it.
    int pollsAtGo = -1;
    QTimer check;
    connect(&check, &QTimer::timeout, this, [&] {
      if (pollsAtGo < 0 && Writes(board).contains(QStringLiteral("W00=7A1200"))) pollsAtGo = Polls;
      if (pollsAtGo >= 0 && Polls > pollsAtGo + 10 && p->state() == QProcess::Running) ::kill(pid_t(p->processId()), signal);
    });
    check.start(20);
    const Run r = Finished(*p);
    check.stop();
    if (signal == SIGINT) {
      QCOMPARE(r.Code, 130);
      QCOMPARE(r.Err, QByteArray("Interrupted: motor 1 stopped.\n"));
    }
    QVERIFY(QTest::qWaitFor([&] { return Writes(board).endsWith(QStringLiteral("W0A=000000")); }, 5000));
    const QStringList writes = Writes(board);
    QCOMPARE(writes.mid(writes.indexOf(QStringLiteral("W00=7A1200")) + 1), (QStringList{"W14=000002", "W08=000000", "W0A=000000"}));
    QVERIFY(KeepsPolling());
  }

  // A hundred scripts one after another, then ten at once: all answered, the cycle goes on.
  void manyClients() {
    const QByteArray get = "{\"args\":[\"--json\",\"get\",\"P_MUL.1\"]}\n";
    QString expected;
    for (int i = 0; i < 100; ++i) {
      QLocalSocket socket;
      socket.connectToServer(SocketPath());
      QVERIFY(socket.waitForConnected(1000));
      if (i % 2) {
        socket.write("{\"args\":[\"get\"");  // half of them leave halfway
        continue;
      }
      const QList<QJsonObject> answers = Ask(socket, get);
      QCOMPARE(Written(answers, "err"), QString());
      if (i == 0) expected = Written(answers, "out");
      QCOMPARE(Written(answers, "out"), expected);
    }
    std::vector<std::unique_ptr<QProcess>> scripts;
    for (int i = 0; i < 10; ++i) scripts.push_back(StartCtl({"--port", "SIM1", "--json", "get", "P_MUL.1"}));
    const int before = Polls;
    for (auto &p : scripts) {
      const Run r = Finished(*p);
      QCOMPARE(r.Err, QByteArray());
      QCOMPARE(r.Code, 0);
      QCOMPARE(QString::fromUtf8(r.Out), expected);
    }
    QVERIFY(Polls > before);
    QVERIFY(KeepsPolling());
    QCOMPARE(S.Errors, QStringList{});
  }
};

QTEST_MAIN(TestChannel)
#include "tst_channel.moc"
