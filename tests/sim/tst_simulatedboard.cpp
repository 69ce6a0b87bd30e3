// The simulated board through its pseudo-terminal, with plain POSIX calls as a client.
#include "SimulatedBoard.h"

#include <QtTest>

#include <chrono>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using sim::Frame;
using sim::SimulatedBoard;
using Clock = std::chrono::steady_clock;

namespace {

const Frame GetVersion = sim::MakeRequest(136, 0, 0, 0);

int Ms(Clock::duration d) { return int(std::chrono::duration_cast<std::chrono::milliseconds>(d).count()); }

class Client {
public:
  // Opens the device and sets the line as the board needs it.
  explicit Client(const std::string &path, speed_t speed = B115200)
      : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    termios t{};
    if (fd_ < 0 || ::tcgetattr(fd_, &t) != 0)
      return;
    ::cfmakeraw(&t);
    ::cfsetspeed(&t, speed);
    ::tcsetattr(fd_, TCSANOW, &t);
  }
  ~Client() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  bool IsOpen() const { return fd_ >= 0; }
  void Write(const std::vector<uint8_t> &bytes) const {
    QCOMPARE(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  void Send(const Frame &f) const { Write({f.begin(), f.end()}); }
  // Waits up to timeoutMs for readable bytes and returns what one read gives.
  std::vector<uint8_t> ReadSome(int timeoutMs) const {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN))
      return {};
    std::vector<uint8_t> buffer(64);
    const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
    buffer.resize(n > 0 ? size_t(n) : 0);
    return buffer;
  }
  // Collects `count` bytes, or fewer when the board stays quiet for timeoutMs.
  std::vector<uint8_t> Read(size_t count, int timeoutMs) const {
    std::vector<uint8_t> all;
    while (all.size() < count) {
      const auto some = ReadSome(timeoutMs);
      if (some.empty())
        break;
      all.insert(all.end(), some.begin(), some.end());
    }
    return all;
  }
  std::vector<uint8_t> Exchange(const Frame &f, int timeoutMs = 1000) const {
    Send(f);
    return Read(9, timeoutMs);
  }
  int fd() const { return fd_; }

private:
  int fd_;
};

std::string TextOf(const std::vector<uint8_t> &reply) {
  return reply.size() == 9 ? std::string(reply.begin() + 1, reply.end()) : std::string();
}

}  // namespace

class TestSimulatedBoard : public QObject {
  Q_OBJECT
private slots:
  void answersThroughItsDevice() {
    SimulatedBoard board(2);
    board.SetRecording(true);
    QCOMPARE(board.Kind(), 2);
    Client client(board.DevicePath());
    QVERIFY(client.IsOpen());
    QCOMPARE(TextOf(client.Exchange(GetVersion)), std::string("515V1.12"));
    const auto chip = client.Exchange(sim::MakeRequestBytes(71, 0, 0, {0x73, 0, 0, 0}));
    QCOMPARE(chip.size(), size_t(9));
    QCOMPARE(int(chip[3]), 71);
    QCOMPARE(int(chip[5]), 0x71);
    QCOMPARE(board.RequestsAnswered(), uint64_t(2));
    QCOMPARE(board.ReceivedFrames().size(), size_t(2));
    QVERIFY(board.ReceivedFrames()[0] == GetVersion);
    QCOMPARE(board.WithModel([](sim::BoardModel &m) { return m.Kind(); }), 2);

    // An idle board sleeps: no wake-ups without work.
    const uint64_t before = board.Wakeups();
    QTest::qSleep(200);
    QVERIFY(board.Wakeups() - before <= 1);
  }

  // A board keeps no record unless asked (a program runs for hours); reading an absent record
  // is an error, not an empty list.
  void recordsOnlyWhenAsked() {
    SimulatedBoard board(1);
    Client client(board.DevicePath());
    QCOMPARE(client.Exchange(GetVersion).size(), size_t(9));
    QVERIFY_THROWS_EXCEPTION(std::logic_error, board.ReceivedFrames());
    board.SetRecording(true);
    QCOMPARE(client.Exchange(GetVersion).size(), size_t(9));
    QCOMPARE(board.ReceivedFrames().size(), size_t(1));
    board.SetRecording(false);
    board.SetRecording(true);
    QVERIFY(board.ReceivedFrames().empty());
  }

  // Like a real board, it understands only a line set to 115200 8N1 raw.
  void answersOnlyTheBoardsLine() {
    SimulatedBoard board(1);
    const auto answers = [&](const std::function<void(termios &)> &change) {
      Client client(board.DevicePath());
      termios t{};
      ::tcgetattr(client.fd(), &t);
      change(t);
      ::tcsetattr(client.fd(), TCSANOW, &t);
      return client.Exchange(GetVersion, 300).size() == 9;
    };
    QVERIFY(answers([](termios &) {}));
    QVERIFY(!answers([](termios &t) { ::cfsetspeed(&t, B9600); }));
    QVERIFY(!answers([](termios &t) { t.c_cflag |= CSTOPB; }));
    QVERIFY(!answers([](termios &t) { t.c_iflag |= IXON; }));
    QVERIFY(!answers([](termios &t) { t.c_oflag |= OPOST; }));
    QVERIFY(!answers([](termios &t) { t.c_lflag |= ICANON | ECHO; }));
    board.ResetLine();  // as a new terminal starts
    const int fd = ::open(board.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    ::tcgetattr(fd, &t);
    ::close(fd);
    QCOMPARE(::cfgetospeed(&t), speed_t(B9600));
    QVERIFY((t.c_lflag & ICANON) && (t.c_iflag & IXON));
  }

  void namedBoards() {
    SimulatedBoard *sim1 = sim::SimulatedBoardNamed("SIM1");
    QVERIFY(sim1);
    QCOMPARE(sim1->Kind(), 1);
    QCOMPARE(sim::SimulatedBoardNamed("SIM1"), sim1);
    QCOMPARE(sim::SimulatedBoardNamed("SIM3")->Kind(), 3);
    QVERIFY(!sim::SimulatedBoardNamed("SIM4"));
    QVERIFY(!sim::SimulatedBoardNamed("ttyUSB0"));
    QVERIFY(sim1->DevicePath() != sim::SimulatedBoardNamed("SIM3")->DevicePath());
    QCOMPARE(TextOf(Client(sim1->DevicePath()).Exchange(GetVersion)).substr(0, 3), std::string("710"));
  }

  void lateSplitAndStrayBytes() {
    SimulatedBoard board(1);
    board.SetRecording(true);
    Client client(board.DevicePath());

    board.SetReplyDelay(150);
    auto start = Clock::now();
    QCOMPARE(client.Exchange(GetVersion).size(), size_t(9));
    QVERIFY(Ms(Clock::now() - start) >= 140);
    board.SetReplyDelay(0);

    board.SplitReplies(4, 100);
    client.Send(GetVersion);
    QCOMPARE(client.ReadSome(1000).size(), size_t(4));
    start = Clock::now();
    QCOMPARE(client.Read(5, 1000).size(), size_t(5));
    QVERIFY(Ms(Clock::now() - start) >= 80);
    board.SplitReplies(0, 0);

    board.SendStray({0xAA, 0x55});
    QCOMPARE(client.Read(2, 1000), (std::vector<uint8_t>{0xAA, 0x55}));

    // A broken-off request is forgotten after a pause; the next frame is read whole.
    board.ClearReceivedFrames();
    client.Write({0x01, 0x47, 0x00});
    QTest::qSleep(100);
    QCOMPARE(TextOf(client.Exchange(GetVersion)), std::string("710V2.31"));
    QCOMPARE(board.ReceivedFrames().size(), size_t(1));
    QVERIFY(board.ReceivedFrames()[0] == GetVersion);
  }

  void silence() {
    SimulatedBoard board(3);
    board.SetRecording(true);
    Client client(board.DevicePath());
    board.SetSilent(true);
    QVERIFY(client.Exchange(GetVersion, 300).empty());
    QCOMPARE(board.ReceivedFrames().size(), size_t(1));  // heard, not answered
    QCOMPARE(board.RequestsAnswered(), uint64_t(0));
    board.SetSilent(false);
    QCOMPARE(client.Exchange(GetVersion).size(), size_t(9));

    board.StaySilent(300);
    const auto start = Clock::now();
    QVERIFY(client.Exchange(GetVersion, 100).empty());
    // Ask until it answers again: not before the silence is over.
    QTRY_VERIFY_WITH_TIMEOUT(client.Exchange(GetVersion, 50).size() == 9, 3000);
    QVERIFY(Ms(Clock::now() - start) >= 290);
  }

  void hangUpAndComeBack() {
    SimulatedBoard board(1);
    const std::string path = board.DevicePath();
    Client client(path);
    QCOMPARE(client.Exchange(GetVersion).size(), size_t(9));

    board.HangUp();
    pollfd p{client.fd(), POLLIN, 0};
    QCOMPARE(::poll(&p, 1, 1000), 1);
    QVERIFY(p.revents & POLLHUP);
    char byte;
    const ssize_t n = ::read(client.fd(), &byte, 1);
    QVERIFY(n == 0 || (n < 0 && errno == EIO));
    QVERIFY(!Client(path).IsOpen());  // the device is gone
    const uint64_t wakeups = board.Wakeups();
    QTest::qSleep(100);
    QVERIFY(board.Wakeups() - wakeups <= 1);  // nothing left to poll: no spinning

    board.ComeBack();
    QCOMPARE(board.DevicePath(), path);
    Client again(path);
    QVERIFY(again.IsOpen());
    QCOMPARE(TextOf(again.Exchange(GetVersion)), std::string("710V2.31"));
    // A second come-back without a hang-up replaces the device as well.
    board.ComeBack();
    QCOMPARE(Client(path).Exchange(GetVersion).size(), size_t(9));
  }

  void motionThroughTheLine() {
    SimulatedBoard board(1);
    Client client(board.DevicePath());
    auto datagram = [&](std::array<uint8_t, 4> bytes) {
      const auto r = client.Exchange(sim::MakeRequestBytes(71, 0, 0, bytes));
      return r.size() == 9 ? r : std::vector<uint8_t>(9, 0);
    };
    datagram({0x4C, 0, 0, 100});       // motor 3: A_MAX 100
    datagram({0x46, 0, 0x03, 0xE8});   // V_MAX 1000
    datagram({0x40, 0, 0x03, 0xE8});   // X_TARGET 1000
    QCOMPARE(datagram({0x41, 0, 0, 0})[4] & 0x10, 0);  // motor 3 not at its target
    QTRY_VERIFY_WITH_TIMEOUT(datagram({0x43, 0, 0, 0})[4] & 0x10, 5000);
    const auto x = datagram({0x43, 0, 0, 0});
    QCOMPARE((x[5] << 16) | (x[6] << 8) | x[7], 1000);
    QCOMPARE(board.WithModel([](sim::BoardModel &m) { return m.Controller().Position(2); }), 1000.0);
  }

  void pacingTakesLineTime_data() {
    QTest::addColumn<sim::Delivery>("delivery");
    QTest::newRow("byte by byte") << sim::Delivery::ByteByByte;
    QTest::newRow("whole replies") << sim::Delivery::WholePieces;
  }
  void pacingTakesLineTime() {
    QFETCH(sim::Delivery, delivery);
    SimulatedBoard board(1, true);
    board.SetDelivery(delivery);
    Client client(board.DevicePath());
    const auto start = Clock::now();
    for (int i = 0; i < 100; ++i)
      QCOMPARE(client.Exchange(GetVersion).size(), size_t(9));
    // 100 x (9 + 9 bytes) x 10 bits at 115200 bit/s = 156 ms at the least.
    QVERIFY2(Ms(Clock::now() - start) >= 150, qPrintable(QString::number(Ms(Clock::now() - start))));
  }
};

QTEST_GUILESS_MAIN(TestSimulatedBoard)
#include "tst_simulatedboard.moc"
