// The serial component against pseudo-terminals (whose master side plays the board) and
// against the simulated board.
#include "Ticks.h"
#include "BoardFrames.h"
#include "SimulatedBoard.h"
#include "async32.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

// The kernel's termios2, to read back bit rates that have no Bxxx constant.
struct termios2 {
  tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
  cc_t c_line;
  cc_t c_cc[19];
  speed_t c_ispeed, c_ospeed;
};

namespace {

// A pseudo-terminal in raw mode. The component opens the slave by its path; the test keeps a
// slave descriptor of its own to read the line settings back.
struct Pty {
  int master = -1, slave = -1;
  QString path;

  Pty() {
    termios raw{};
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    char name[128];
    if (openpty(&master, &slave, name, &raw, nullptr) == 0) {
      fcntl(master, F_SETFL, O_NONBLOCK);
      path = QString::fromLocal8Bit(name);
    }
  }
  ~Pty() { HangUp(); }
  void HangUp() {
    if (master >= 0) ::close(master);
    if (slave >= 0) ::close(slave);
    master = slave = -1;
  }
  void Send(const QByteArray &bytes) const {
    QCOMPARE(::write(master, bytes.data(), size_t(bytes.size())), ssize_t(bytes.size()));
  }
  // Appends everything the component has sent so far to `into`.
  void ReceiveInto(QByteArray &into) const {
    char buf[4096];
    ssize_t n;
    while ((n = ::read(master, buf, sizeof buf)) > 0) into.append(buf, int(n));
  }
  QByteArray Received() const {
    QByteArray bytes;
    ReceiveInto(bytes);
    return bytes;
  }
  termios SlaveLine() const {
    termios t{};
    tcgetattr(slave, &t);
    return t;
  }
};

// CPU seconds the whole process uses while the event loop runs for `ms`.
double CpuWhileRunning(int ms) {
  const double start = ProcessCpuSeconds();
  QTest::qWait(ms);
  return ProcessCpuSeconds() - start;
}

int OpenDescriptors() { return int(QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::System).size()); }

// Writes until the device takes no more; returns the bytes written at once (the last write,
// which went pending, not counted).
qint64 FillOutput(TComm32 &port, int chunkSize = 4096) {
  const QByteArray chunk(chunkSize, 'x');
  qint64 accepted = 0;
  for (int i = 0; i < 100000; ++i) {
    const int r = port.Write(chunk.data(), chunk.size());
    if (r != chunk.size()) {
      if (r != 0) qWarning("Write returned %d", r);
      return accepted;
    }
    accepted += r;
  }
  return -1;
}

const QByteArray kFrame("\x01\x02\x03\x04\x05\x06\x07\x08\x09", 9);

}  // namespace

class TestComm32 : public QObject {
  Q_OBJECT

private slots:
  void devicePaths();
  void openFailsAndExclusiveUse();
  void openWithoutPermission();
  void splitReplyRaisesTwoEvents();
  void purgeInDiscardsQueuedInput();
  void writeWhilePreviousPendingSendsNothing();
  void closeWithStalledOutputReturnsQuickly();
  void closeFromReceiveHandler();
  void lineSettingsFollowSetters();
  void rtsToggleOnDeviceWithoutModemLines();
  void hangUpIsQuietAndDeviceComesBack();
  void noDescriptorLeaks();
  void simulatedBoardExchange();
  void pacedSplitReplies_data();
  void pacedSplitReplies();
};

// A name is /dev/NAME unless the resolver the application installs knows it; a path stays.
void TestComm32::devicePaths() {
  TComm32 port;
  SetDeviceResolver([](const QString &name) { return name == "SIM1" ? QStringLiteral("/run/sim/SIM1") : QString(); });
  const QList<QPair<QString, QString>> cases = {
      {"ttyUSB0", "/dev/ttyUSB0"}, {"/tmp/link", "/tmp/link"}, {"SIM1", "/run/sim/SIM1"}};
  for (const auto &[name, path] : cases) {
    port.DeviceName = name;
    QCOMPARE(port.DevicePath(), path);
  }
  SetDeviceResolver(nullptr);
  QCOMPARE(port.DevicePath(), QStringLiteral("/dev/SIM1"));
}

// A device the user may not open reports the system's reason (EACCES) through OnOpen. Run as
// an unprivileged user in a child process, which needs the test to run as root.
void TestComm32::openWithoutPermission() {
  if (geteuid() != 0) QSKIP("needs root to take an unprivileged user's place");
  sim::SimulatedBoard board(1);  // its device lies in a folder only its owner may enter
  const QString path = QString::fromStdString(board.DevicePath());
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    TComm32 port;
    port.DeviceName = path;
    int error = 0;
    QObject::connect(&port, &TCustomComm32::OnOpen, [&error](int, int e) { error = e; });
    port.Open();
    _exit(!port.Enabled() && error == EACCES ? 0 : 1);
  }
  int status = 0;
  QCOMPARE(waitpid(child, &status, 0), child);
  QVERIFY(WIFEXITED(status));
  QCOMPARE(WEXITSTATUS(status), 0);
}

void TestComm32::openFailsAndExclusiveUse() {
  TComm32 port;
  QSignalSpy opened(&port, &TCustomComm32::OnOpen);
  char byte = 0;

  for (const char *missing : {"/nonexistent/ttyQVR", "/dev/null"}) {  // missing; not a terminal
    port.DeviceName = missing;
    port.Open();
    QVERIFY(!port.Enabled());
    QCOMPARE(opened.size(), 1);
    QVERIFY(opened.takeFirst().at(1).toInt() != 0);
    QCOMPARE(port.Write(&byte, 1), -1);
    QCOMPARE(port.Read(&byte, 1), -1);
  }

  Pty pty;
  port.DeviceName = pty.path;
  port.Open();
  QVERIFY(port.Enabled());
  QCOMPARE(opened.takeFirst(), (QList<QVariant>{1, 0}));

  TComm32 second;
  QSignalSpy secondOpened(&second, &TCustomComm32::OnOpen);
  second.DeviceName = pty.path;
  second.Open();
  QVERIFY(!second.Enabled());
  QVERIFY(secondOpened.takeFirst().at(1).toInt() != 0);

  port.Open();  // closes first, or its own lock would refuse it
  QVERIFY(port.Enabled());
  QCOMPARE(opened.takeFirst().at(1).toInt(), 0);

  port.Close();
  port.Close();
  QVERIFY(!port.Enabled());
  QCOMPARE(opened.size(), 0);
  second.Open();
  QVERIFY(second.Enabled());
}

void TestComm32::splitReplyRaisesTwoEvents() {
  Pty pty;
  TComm32 port;
  port.DeviceName = pty.path;
  QList<int> counts;
  connect(&port, &TCustomComm32::OnRxChar, this, [&](int count) { counts << count; });
  port.Open();
  QVERIFY(port.Enabled());

  pty.Send(kFrame.left(2));
  QTRY_COMPARE(counts.size(), 1);
  QVERIFY(counts[0] >= 2);
  // Two bytes waiting in the queue must neither raise more events nor keep the thread busy.
  QVERIFY(CpuWhileRunning(500) < 0.025);
  QCOMPARE(counts.size(), 1);
  QCOMPARE(port.InQueCount(), 2);

  pty.Send(kFrame.mid(2));
  QTRY_COMPARE(counts.size(), 2);
  QCOMPARE(counts[1], 9);
  QByteArray reply(9, 0);
  QCOMPARE(port.Read(reply.data(), 9), 9);
  QCOMPARE(reply, kFrame);
  QCOMPARE(port.InQueCount(), 0);
  QCOMPARE(port.Read(reply.data(), 9), 0);
}

void TestComm32::purgeInDiscardsQueuedInput() {
  Pty pty;
  TComm32 port;
  port.DeviceName = pty.path;
  QSignalSpy rx(&port, &TCustomComm32::OnRxChar);
  port.Open();

  pty.Send("stale");
  QTRY_COMPARE(port.InQueCount(), 5);
  port.PurgeIn();
  QCOMPARE(port.InQueCount(), 0);
  char buf[16];
  QCOMPARE(port.Read(buf, sizeof buf), 0);

  pty.Send(kFrame);
  QTRY_VERIFY(!rx.isEmpty() && rx.last().at(0).toInt() == 9);
  QCOMPARE(port.Read(buf, 9), 9);
  QCOMPARE(QByteArray(buf, 9), kFrame);
}

void TestComm32::writeWhilePreviousPendingSendsNothing() {
  Pty pty;
  TComm32 port;
  port.DeviceName = pty.path;
  port.Open();
  QCOMPARE(port.Write(kFrame.data(), 9), 9);  // goes out at once
  QCOMPARE(pty.Received(), kFrame);

  // Output stopped (as by XOFF): the write stays pending and the next one is dropped.
  QCOMPARE(tcflow(pty.slave, TCOOFF), 0);
  QCOMPARE(port.Write(kFrame.data(), 9), 0);
  QCOMPARE(port.OutQueCount(), 9);
  const QByteArray marker("MARKER!!!");
  QCOMPARE(port.Write(marker.data(), 9), 0);
  QCOMPARE(tcflow(pty.slave, TCOON), 0);
  QByteArray received;
  QTRY_COMPARE((pty.ReceiveInto(received), received), kFrame);
  QTRY_COMPARE(port.OutQueCount(), 0);
  QCOMPARE(port.Write(marker.data(), 9), 9);
  received.clear();
  QTRY_COMPARE((pty.ReceiveInto(received), received), marker);

  // A peer that does not read: the write that found the buffer full still goes out in full
  // once the peer reads.
  const qint64 accepted = FillOutput(port);
  QVERIFY(accepted > 0);
  received.clear();
  QTRY_VERIFY_WITH_TIMEOUT((pty.ReceiveInto(received), received.size() >= accepted + 4096), 10000);
  QCOMPARE(received.size(), accepted + 4096);
  QCOMPARE(received.count('x'), received.size());
  QTRY_COMPARE(port.OutQueCount(), 0);
}

void TestComm32::closeWithStalledOutputReturnsQuickly() {
  Pty pty;
  TComm32 port;
  port.DeviceName = pty.path;
  port.Open();
  QVERIFY(FillOutput(port) > 0);
  QElapsedTimer timer;
  timer.start();
  port.Close();
  QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
  QVERIFY(!port.Enabled());
  QCOMPARE(port.OutQueCount(), 0);
}

void TestComm32::closeFromReceiveHandler() {
  Pty pty;
  TComm32 port;
  port.DeviceName = pty.path;
  int events = 0;
  connect(&port, &TCustomComm32::OnRxChar, this, [&](int) {
    ++events;
    port.Close();
  });
  port.Open();
  pty.Send(kFrame);
  QTRY_VERIFY(!port.Enabled());
  QCOMPARE(events, 1);

  // Reopening from the handler works as well.
  disconnect(&port, &TCustomComm32::OnRxChar, this, nullptr);
  connect(&port, &TCustomComm32::OnRxChar, this, [&](int) {
    ++events;
    if (events == 2) port.Open();
  });
  port.Open();
  pty.Send(kFrame);
  QTRY_COMPARE(events, 2);
  QVERIFY(port.Enabled());
  pty.Send(kFrame);
  QTRY_COMPARE(events, 3);
}

void TestComm32::lineSettingsFollowSetters() {
  Pty pty;
  TComm32 port;
  port.DeviceName = pty.path;
  port.Open();
  termios line = pty.SlaveLine();
  QCOMPARE(cfgetospeed(&line), speed_t(B9600));
  QVERIFY(!(line.c_lflag & (ICANON | ECHO)));

  port.SetBaudRate(cbr115200);  // open: at once
  QCOMPARE(port.BaudRate, cbr115200);
  line = pty.SlaveLine();
  QCOMPARE(cfgetospeed(&line), speed_t(B115200));

  port.SetBaudRate(cbr14400);  // no Bxxx constant for this one
  termios2 line2{};
  QCOMPARE(ioctl(pty.slave, TCGETS2, &line2), 0);
  QCOMPARE(line2.c_ospeed, speed_t(14400));

  port.Close();
  port.SetBaudRate(cbr57600);  // closed: only at the next Open
  line = pty.SlaveLine();
  QVERIFY(cfgetospeed(&line) != speed_t(B57600));
  port.Open();
  line = pty.SlaveLine();
  QCOMPARE(cfgetospeed(&line), speed_t(B57600));

  port.SetFlowControl(fcSoftware);
  port.SetXonChar('Q');
  line = pty.SlaveLine();
  QVERIFY(line.c_iflag & IXON);
  QCOMPARE(line.c_cc[VSTART], cc_t('Q'));
  port.SetFlowControl(fcNone);
  QVERIFY(!(pty.SlaveLine().c_iflag & IXON));
}

void TestComm32::rtsToggleOnDeviceWithoutModemLines() {
  Pty pty;  // pseudo-terminals have neither RTS nor RS-485 mode
  TComm32 port;
  port.DeviceName = pty.path;
  port.FlowControl = fcRTSToggle;
  QSignalSpy opened(&port, &TCustomComm32::OnOpen);
  QSignalSpy rx(&port, &TCustomComm32::OnRxChar);
  port.Open();
  QVERIFY(port.Enabled());
  QCOMPARE(opened.first().at(1).toInt(), 0);

  for (int i = 0; i < 3; ++i) {
    QCOMPARE(port.Write(kFrame.data(), 9), 9);
    QByteArray received;
    QTRY_COMPARE((pty.ReceiveInto(received), received), kFrame);
    pty.Send(kFrame);
    QTRY_COMPARE(port.InQueCount(), 9);
    port.PurgeIn();
  }
  QVERIFY(CpuWhileRunning(500) < 0.025);
}

void TestComm32::hangUpIsQuietAndDeviceComesBack() {
  QTemporaryDir dir;
  const QString link = dir.filePath("ttyBoard");
  auto pointLink = [&](const QString &target) {
    const QString fresh = link + ".new";
    QCOMPARE(::symlink(target.toLocal8Bit().constData(), fresh.toLocal8Bit().constData()), 0);
    QCOMPARE(::rename(fresh.toLocal8Bit().constData(), link.toLocal8Bit().constData()), 0);
  };
  auto first = std::make_unique<Pty>();
  pointLink(first->path);

  TComm32 port;
  port.DeviceName = link;
  port.BaudRate = cbr115200;
  QSignalSpy rx(&port, &TCustomComm32::OnRxChar);
  port.Open();
  QVERIFY(port.Enabled());

  // Unplugged: the line hangs up and the device name goes away (the old pseudo-terminal's
  // number may be handed to another program meanwhile).
  first->HangUp();
  pointLink(dir.filePath("gone"));
  const double cpu = CpuWhileRunning(1500);
  QVERIFY2(cpu < 0.075, qPrintable(QString("%1 s of CPU in 1.5 s").arg(cpu)));
  QVERIFY(port.Enabled());
  QCOMPARE(port.Write(kFrame.data(), 9), -1);

  Pty second;
  pointLink(second.path);
  second.Send(kFrame);
  QTRY_VERIFY_WITH_TIMEOUT(!rx.isEmpty() && rx.last().at(0).toInt() == 9, 5000);
  QCOMPARE(port.InQueCount(), 9);
  termios line = second.SlaveLine();
  QCOMPARE(cfgetospeed(&line), speed_t(B115200));  // settings applied again
  QCOMPARE(port.Write(kFrame.data(), 9), 9);
  QByteArray received;
  QTRY_COMPARE((second.ReceiveInto(received), received), kFrame);
}

void TestComm32::noDescriptorLeaks() {
  Pty pty;
  TComm32 port;
  const int before = OpenDescriptors();
  for (int i = 0; i < 1000; ++i) {
    port.DeviceName = (i % 100 == 99) ? QStringLiteral("/nonexistent/tty") : pty.path;
    port.Open();
    if (i % 2) port.Close();  // every other one closed by the next Open
  }
  port.Close();
  QCOMPARE(OpenDescriptors(), before);
}

void TestComm32::simulatedBoardExchange() {
  sim::SimulatedBoard board(1);
  board.SetRecording(true);
  TComm32 port;
  port.DeviceName = QString::fromStdString(board.DevicePath());
  port.BaudRate = cbr115200;
  port.FlowControl = fcRTSToggle;
  QList<int> counts;
  connect(&port, &TCustomComm32::OnRxChar, this, [&](int count) { counts << count; });
  port.Open();
  QVERIFY(port.Enabled());

  const BoardFrame request = BoardCommand::WithBytes(1, SpiTransfer, 0, 0, {0x03, 0, 0, 0}).Frame();
  board.SplitReplies(2, 50);
  QCOMPARE(port.Write(request.data(), 9), 9);
  QTRY_VERIFY(!counts.isEmpty() && counts.last() == 9);
  QCOMPARE(counts.size(), 2);
  QVERIFY(counts.first() >= 2);
  BoardReply reply;
  QCOMPARE(port.Read(reply.Bytes.data(), 9), 9);
  QVERIFY(reply.IsSpiTransfer());
  QCOMPARE(board.ReceivedFrames().size(), size_t(1));
  QVERIFY(board.ReceivedFrames().front() == request);

  // Unplugged and plugged in again: the same port answers again without being reopened.
  board.SplitReplies(0, 0);
  board.HangUp();
  QTRY_COMPARE(port.Write(request.data(), 9), -1);
  board.ComeBack();
  counts.clear();
  int written = -1;  // once 9, the retry below does not write again
  QTRY_VERIFY_WITH_TIMEOUT(written == 9 || (written = port.Write(request.data(), 9)) == 9, 5000);
  QTRY_VERIFY(!counts.isEmpty() && counts.last() == 9);
  QVERIFY(port.Enabled());
}

void TestComm32::pacedSplitReplies_data() {
  QTest::addColumn<int>("first");
  QTest::addColumn<sim::Delivery>("delivery");
  QTest::newRow("2 + 7 byte by byte") << 2 << sim::Delivery::ByteByByte;
  QTest::newRow("4 + 5 byte by byte") << 4 << sim::Delivery::ByteByByte;
  QTest::newRow("2 + 7 in pieces") << 2 << sim::Delivery::WholePieces;
}

// At line speed the bytes trickle in: every event reports all bytes queued so far, the piece
// before the gap is reported whole, and there is at most one event per byte (exactly one per
// piece when the pieces come whole).
void TestComm32::pacedSplitReplies() {
  QFETCH(int, first);
  QFETCH(sim::Delivery, delivery);
  sim::SimulatedBoard board(1, true);
  board.SetDelivery(delivery);
  board.SplitReplies(first, 30);
  TComm32 port;
  port.DeviceName = QString::fromStdString(board.DevicePath());
  port.BaudRate = cbr115200;
  port.FlowControl = fcNone;
  QList<int> counts;
  connect(&port, &TCustomComm32::OnRxChar, this, [&](int count) { counts << count; });
  port.Open();
  QVERIFY(port.Enabled());
  const BoardFrame request = BoardCommand::WithBytes(1, SpiTransfer, 0, 0, {0x03, 0, 0, 0}).Frame();
  QCOMPARE(port.Write(request.data(), 9), 9);
  QTRY_VERIFY(!counts.isEmpty() && counts.last() == 9);
  QVERIFY(counts.contains(first));
  QVERIFY(counts.size() <= 9);
  QVERIFY(std::is_sorted(counts.begin(), counts.end()));
  QCOMPARE(std::adjacent_find(counts.begin(), counts.end()), counts.end());
  if (delivery == sim::Delivery::WholePieces) QCOMPARE(counts, (QList<int>{first, 9}));
}

QTEST_MAIN(TestComm32)
#include "tst_comm32.moc"
