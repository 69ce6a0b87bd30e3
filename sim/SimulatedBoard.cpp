#include "SimulatedBoard.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <exception>
#include <functional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto ByteTime = std::chrono::nanoseconds(86806);  // ten bits at 115200 bit/s
// A request interrupted for longer than this is dropped: the next byte starts a new frame.
constexpr auto ResyncPause = std::chrono::milliseconds(50);

[[noreturn]] void ThrowErrno(const char *what) {
  throw std::system_error(errno, std::generic_category(), what);
}

void CloseFd(int &fd) {
  if (fd >= 0)
    ::close(fd);
  fd = -1;
}

// A private folder for the device link: under $XDG_RUNTIME_DIR when usable, else /tmp.
std::string MakeRunTimeFolder() {
  const char *base = std::getenv("XDG_RUNTIME_DIR");
  const std::string dir = (base && *base && ::access(base, W_OK) == 0) ? base : "/tmp";
  std::string name = dir + "/qvr710-sim-" + std::to_string(::getpid()) + "-XXXXXX";
  if (!::mkdtemp(name.data()))
    ThrowErrno("mkdtemp");
  return name;
}

struct Pty {
  int master = -1;
  int slave = -1;  // kept open by the server so the master never sees "no slave"
  std::string slavePath;
};

// The settings a new terminal starts with: 9600 bit/s, canonical input with echo, XON/XOFF,
// CR to NL on input, NL to CR NL on output. The program must set its side of the line itself.
void SetNewTerminalLine(int slave) {
  termios t{};
  if (::tcgetattr(slave, &t) != 0)
    return;
  t.c_iflag = ICRNL | IXON;
  t.c_oflag = OPOST | ONLCR;
  t.c_cflag = CS8 | CREAD | HUPCL;
  t.c_lflag = ISIG | ICANON | ECHO | ECHOE | ECHOK | ECHOCTL | ECHOKE | IEXTEN;
  ::cfsetspeed(&t, B9600);
  ::tcsetattr(slave, TCSANOW, &t);
}

// A real board understands the program only at 115200 bit/s, eight data bits, no parity and
// one stop bit; and only a raw line passes its frames unchanged (no echo, no line editing,
// no XON/XOFF, no CR/NL translation either way).
bool LineSetForBoard(int slave) {
  termios t{};
  if (::tcgetattr(slave, &t) != 0)
    return false;
  const bool speed = ::cfgetospeed(&t) == B115200 && (::cfgetispeed(&t) == B115200 || ::cfgetispeed(&t) == B0);
  const bool frame = (t.c_cflag & (CSIZE | PARENB | CSTOPB)) == CS8;
  const bool rawInput = !(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) &&
                        !(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | PARMRK));
  const bool rawOutput = !(t.c_oflag & OPOST);
  return speed && frame && rawInput && rawOutput;
}

Pty OpenPty() {
  Pty p;
  p.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (p.master < 0)
    ThrowErrno("posix_openpt");
  std::array<char, 128> name{};
  termios t{};
  if (::grantpt(p.master) != 0 || ::unlockpt(p.master) != 0 ||
      ::ptsname_r(p.master, name.data(), name.size()) != 0 ||
      ::fcntl(p.master, F_SETFL, O_NONBLOCK) != 0 ||
      (p.slave = ::open(name.data(), O_RDWR | O_NOCTTY | O_CLOEXEC)) < 0 ||
      ::tcgetattr(p.slave, &t) != 0) {
    const int error = errno;
    CloseFd(p.slave);
    CloseFd(p.master);
    errno = error;
    ThrowErrno("pseudo-terminal");
  }
  SetNewTerminalLine(p.slave);
  p.slavePath = name.data();
  return p;
}

// Points `link` at `target` atomically: a reader sees either the old or the new device.
void PointLink(const std::string &link, const std::string &target) {
  const std::string fresh = link + ".new";
  ::unlink(fresh.c_str());
  if (::symlink(target.c_str(), fresh.c_str()) != 0)
    ThrowErrno("symlink");
  if (::rename(fresh.c_str(), link.c_str()) != 0) {
    const int error = errno;
    ::unlink(fresh.c_str());
    errno = error;
    ThrowErrno("rename");
  }
}

}  // namespace

struct SimulatedBoard::Private {
  struct Chunk {
    Clock::time_point due;
    std::vector<uint8_t> bytes;
  };
  struct Request {
    Clock::time_point due;  // when its last byte has arrived
    Frame frame;
  };

  Private(int kind, bool paced) : kind(kind), model(kind), paced(paced) {}

  const int kind;
  std::string folder;
  std::string link;

  // The model, shared with WithModel().
  std::mutex modelMutex;
  BoardModel model;
  Clock::time_point modelTime = Clock::now();

  // Settings and records shared with the controlling threads, under `mutex`.
  mutable std::mutex mutex;
  bool paced;
  Delivery delivery = Delivery::ByteByByte;
  std::chrono::milliseconds replyDelay{0};
  Clock::time_point silentUntil{};
  bool silent = false;
  int splitFirst = 0;
  std::chrono::milliseconds splitGap{0};
  std::chrono::milliseconds processing{0};
  struct Fault {
    std::function<bool(const Frame &)> request;
    ReplyFault kind = ReplyFault::Drop;
    std::chrono::milliseconds after{0};
  } fault;
  bool recording = false;
  std::vector<Frame> received;
  std::deque<std::function<void()>> commands;  // run by the server thread
  uint64_t commandsPosted = 0;
  uint64_t commandsDone = 0;
  std::condition_variable commandDone;
  bool stopping = false;
  bool serverGone = false;  // the thread ended on an unexpected poll error

  std::atomic<uint64_t> answered{0};
  std::atomic<uint64_t> wakeups{0};

  // Owned by the server thread once it runs.
  int master = -1;
  int slave = -1;
  bool masterLost = false;  // the master reported an error: do not poll it again
  int wake = -1;
  std::vector<uint8_t> partial;
  Clock::time_point lastRead{};
  Clock::time_point rxLineFree{};
  Clock::time_point txLineFree{};
  std::deque<Request> requests;
  std::deque<Chunk> output;
  std::thread thread;

  void Wake() const {
    const uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(wake, &one, sizeof one);
  }

  // Runs f on the server thread and waits for it; f's exception is rethrown here.
  void RunOnServer(std::function<void()> f) {
    std::exception_ptr error;
    std::unique_lock lock(mutex);
    if (serverGone) {
      lock.unlock();
      f();
      return;
    }
    commands.push_back([&f, &error] {
      try {
        f();
      } catch (...) {
        error = std::current_exception();
      }
    });
    const uint64_t ticket = ++commandsPosted;
    Wake();
    commandDone.wait(lock, [&] { return commandsDone >= ticket; });
    if (error)
      std::rethrow_exception(error);
  }

  void AdvanceModelTo(Clock::time_point now) {
    const std::chrono::duration<double> elapsed = now - modelTime;
    if (elapsed.count() > 0) {
      model.AdvanceTime(elapsed.count());
      modelTime = now;
    }
  }

  void Attach(const Pty &pty) {
    master = pty.master;
    slave = pty.slave;
    masterLost = false;
  }

  void Detach() {
    CloseFd(master);
    CloseFd(slave);
    partial.clear();
    requests.clear();
    output.clear();
  }

  void Serve() {
    // Paced bytes leave every 87 us; the kernel's default 50 us timer slack would stretch
    // each byte's wait and make the line look slower than it is.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    for (;;) {
      std::array<pollfd, 2> fds{{{wake, POLLIN, 0}, {master, POLLIN, 0}}};
      const nfds_t count = (master >= 0 && !masterLost) ? 2 : 1;
      timespec timeout{};
      const int ready = ::ppoll(fds.data(), count, NextTimeout(timeout), nullptr);
      if (ready < 0 && errno != EINTR) {
        // Cannot happen with valid descriptors; rather than spin, hand control to the callers.
        {
          std::lock_guard lock(mutex);
          serverGone = true;
        }
        RunCommands();
        return;
      }
      ++wakeups;
      if (count == 2 && fds[1].revents)
        ReadRequests(fds[1].revents);
      if (fds[0].revents & POLLIN) {
        uint64_t value;
        [[maybe_unused]] auto n = ::read(wake, &value, sizeof value);
        if (RunCommands())
          return;
      }
      RunDueWork();
    }
  }

  // Poll timeout until the next timed work; none (wait forever) when nothing is pending.
  const timespec *NextTimeout(timespec &ts) const {
    std::optional<Clock::time_point> next;
    if (!requests.empty())
      next = requests.front().due;
    if (!output.empty())
      next = next ? std::min(*next, output.front().due) : output.front().due;
    if (!next)
      return nullptr;
    const auto wait = std::max(Clock::duration::zero(), *next - Clock::now());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
    ts.tv_sec = ns / 1000000000;
    ts.tv_nsec = ns % 1000000000;
    return &ts;
  }

  bool RunCommands() {
    std::unique_lock lock(mutex);
    while (!commands.empty()) {
      auto command = std::move(commands.front());
      commands.pop_front();
      lock.unlock();
      command();
      lock.lock();
      ++commandsDone;
    }
    commandDone.notify_all();
    return stopping;
  }

  void ReadRequests(short revents) {
    if (revents & POLLIN) {
      std::array<uint8_t, 512> buffer;
      for (;;) {
        const ssize_t n = ::read(master, buffer.data(), buffer.size());
        if (n > 0) {
          Assemble(buffer.data(), size_t(n), Clock::now());
          continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
          return;
        break;  // end of file or an error: the line is gone
      }
    }
    masterLost = true;
  }

  void Assemble(const uint8_t *data, size_t size, Clock::time_point now) {
    if (!partial.empty() && now - lastRead > ResyncPause)
      partial.clear();
    lastRead = now;
    const bool pacedNow = CurrentPacing().paced;
    for (size_t i = 0; i < size; ++i) {
      Clock::time_point arrival = now;
      if (pacedNow) {
        arrival = std::max(now, rxLineFree) + ByteTime;
        rxLineFree = arrival;
      }
      partial.push_back(data[i]);
      if (partial.size() == 9) {
        Request r{arrival, {}};
        std::copy(partial.begin(), partial.end(), r.frame.begin());
        requests.push_back(r);
        partial.clear();
      }
    }
  }

  struct Pacing {
    bool paced;
    Delivery delivery;
  };
  Pacing CurrentPacing() const {
    std::lock_guard lock(mutex);
    return {paced, delivery};
  }

  void RunDueWork() {
    const auto now = Clock::now();
    while (!requests.empty() && requests.front().due <= now) {
      const Frame frame = requests.front().frame;
      requests.pop_front();
      Answer(frame, now);
    }
    while (!output.empty() && output.front().due <= now) {
      WriteOut(output.front().bytes);
      output.pop_front();
    }
  }

  void Answer(const Frame &frame, Clock::time_point now) {
    std::chrono::milliseconds delay, gap, work;
    int first;
    Pacing pacing;
    Fault spoil;
    {
      std::lock_guard lock(mutex);
      if (recording) received.push_back(frame);
      if (silent || now < silentUntil || !LineSetForBoard(slave))
        return;
      if (fault.request && fault.request(frame))
        spoil = std::exchange(fault, Fault{});
      if (spoil.request && spoil.kind == ReplyFault::Drop)
        return;
      delay = replyDelay;
      first = splitFirst;
      gap = splitGap;
      work = processing;
      pacing = {paced, delivery};
    }
    std::optional<Frame> reply;
    {
      std::lock_guard lock(modelMutex);
      AdvanceModelTo(now);
      reply = model.HandleFrame(frame);
    }
    if (!reply)
      return;
    ++answered;
    if (spoil.request)
      Spoil(*reply, spoil, delay, pacing, now);
    // Requests are worked off one after the other: a reply leaves no sooner than the working
    // time after the previous reply has left.
    const auto due = std::max(now + delay, work.count() > 0 ? txLineFree + work : now + delay);
    if (first > 0 && first < 9) {
      Enqueue({reply->begin(), reply->begin() + first}, due, pacing);
      Enqueue({reply->begin() + first, reply->end()}, txLineFree + gap, pacing);
    } else {
      Enqueue({reply->begin(), reply->end()}, due, pacing);
    }
  }

  void Spoil(Frame &reply, const Fault &spoil, std::chrono::milliseconds &delay, Pacing pacing,
             Clock::time_point now) {
    if (spoil.kind == ReplyFault::JunkFirst)
      Enqueue({0x02, 0x01, 0x64, 0x47}, now + delay, pacing);
    else if (spoil.kind == ReplyFault::WrongChecksum)
      reply[7] ^= 0x5A;  // a value byte changed on the line: the checksum no longer holds
    else if (spoil.kind == ReplyFault::Late)
      delay += spoil.after;
    else if (spoil.kind == ReplyFault::Twice)
      // The copy leaves on its own, between whatever replies are on the line by then.
      InsertInTime({Clock::now() + spoil.after, {reply.begin(), reply.end()}});
  }

  void InsertInTime(Chunk chunk) {
    auto at = std::upper_bound(output.begin(), output.end(), chunk.due,
                               [](Clock::time_point due, const Chunk &c) { return due < c.due; });
    output.insert(at, std::move(chunk));
  }

  // Queues bytes to leave at `due`, in line order. Paced, they take the line's time: handed over
  // one by one, or all together once the last of them has crossed the line.
  void Enqueue(const std::vector<uint8_t> &bytes, Clock::time_point due, Pacing pacing) {
    if (!pacing.paced || pacing.delivery == Delivery::WholePieces) {
      const auto lineTime = pacing.paced ? ByteTime * long(bytes.size()) : Clock::duration{};
      txLineFree = std::max(due, txLineFree) + lineTime;
      InsertInTime({txLineFree, bytes});
      return;
    }
    for (uint8_t b : bytes) {
      txLineFree = std::max(due, txLineFree) + ByteTime;
      InsertInTime({txLineFree, {b}});
    }
  }

  void WriteOut(const std::vector<uint8_t> &bytes) {
    if (master < 0)
      return;
    // A full input queue on the other side loses the bytes, as a serial line would.
    [[maybe_unused]] auto n = ::write(master, bytes.data(), bytes.size());
  }
};

SimulatedBoard::SimulatedBoard(int kind, bool paced) : d(std::make_unique<Private>(kind, paced)) {
  d->folder = MakeRunTimeFolder();
  d->link = d->folder + "/SIM" + std::to_string(kind);
  try {
    const Pty pty = OpenPty();
    d->Attach(pty);
    PointLink(d->link, pty.slavePath);
    d->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (d->wake < 0)
      ThrowErrno("eventfd");
  } catch (...) {
    d->Detach();
    ::unlink(d->link.c_str());
    ::rmdir(d->folder.c_str());
    throw;
  }
  d->thread = std::thread([p = d.get()] { p->Serve(); });
}

SimulatedBoard::~SimulatedBoard() {
  {
    std::lock_guard lock(d->mutex);
    d->stopping = true;
  }
  d->Wake();
  d->thread.join();
  d->Detach();
  CloseFd(d->wake);
  ::unlink(d->link.c_str());
  ::rmdir(d->folder.c_str());
}

std::string SimulatedBoard::DevicePath() const { return d->link; }
int SimulatedBoard::Kind() const { return d->kind; }

void SimulatedBoard::SetPaced(bool paced) {
  std::lock_guard lock(d->mutex);
  d->paced = paced;
}

void SimulatedBoard::SetDelivery(Delivery delivery) {
  std::lock_guard lock(d->mutex);
  d->delivery = delivery;
}

void SimulatedBoard::SetReplyDelay(int ms) {
  std::lock_guard lock(d->mutex);
  d->replyDelay = std::chrono::milliseconds(std::max(ms, 0));
}

void SimulatedBoard::StaySilent(int ms) {
  std::lock_guard lock(d->mutex);
  d->silentUntil = Clock::now() + std::chrono::milliseconds(std::max(ms, 0));
}

void SimulatedBoard::SetSilent(bool silent) {
  std::lock_guard lock(d->mutex);
  d->silent = silent;
}

void SimulatedBoard::SetProcessingTime(int ms) {
  std::lock_guard lock(d->mutex);
  d->processing = std::chrono::milliseconds(std::max(ms, 0));
}

void SimulatedBoard::SplitReplies(int firstBytes, int gapMs) {
  std::lock_guard lock(d->mutex);
  d->splitFirst = firstBytes;
  d->splitGap = std::chrono::milliseconds(std::max(gapMs, 0));
}

void SimulatedBoard::SendStray(const std::vector<uint8_t> &bytes) {
  const Private::Pacing pacing = d->CurrentPacing();
  d->RunOnServer([this, &bytes, pacing] { d->Enqueue(bytes, Clock::now(), pacing); });
}

void SimulatedBoard::HangUp() {
  // The device name goes away with the line, as a USB device's does when unplugged; left in
  // place it would name a pseudo-terminal number that another program may be given next.
  d->RunOnServer([this] {
    d->Detach();
    ::unlink(d->link.c_str());
  });
}

void SimulatedBoard::ComeBack() {
  d->RunOnServer([this] {
    d->Detach();
    const Pty pty = OpenPty();
    d->Attach(pty);
    PointLink(d->link, pty.slavePath);
  });
}

void SimulatedBoard::DropReplyTo(std::function<bool(const std::array<uint8_t, 9> &)> request) {
  FaultReplyTo(std::move(request), ReplyFault::Drop);
}

void SimulatedBoard::FaultReplyTo(std::function<bool(const std::array<uint8_t, 9> &)> request, ReplyFault fault,
                                  int ms) {
  std::lock_guard lock(d->mutex);
  d->fault = {std::move(request), fault, std::chrono::milliseconds(ms)};
}

void SimulatedBoard::ResetLine() {
  d->RunOnServer([p = d.get()] {
    if (p->slave >= 0)
      SetNewTerminalLine(p->slave);
  });
}

void SimulatedBoard::ForgetPending() {
  DropReplyTo(nullptr);
  d->RunOnServer([this] {
    if (d->master >= 0) {
      std::array<uint8_t, 512> unread;
      while (::read(d->master, unread.data(), unread.size()) > 0) {
      }
    }
    d->partial.clear();
    d->requests.clear();
    d->output.clear();
  });
}

void SimulatedBoard::SetRecording(bool on) {
  std::lock_guard lock(d->mutex);
  d->recording = on;
  if (!on) d->received.clear();
}

std::vector<std::array<uint8_t, 9>> SimulatedBoard::ReceivedFrames() const {
  std::lock_guard lock(d->mutex);
  // An empty record from a board that does not record would let "nothing was sent" pass.
  if (!d->recording) throw std::logic_error("ReceivedFrames: the board does not record (SetRecording)");
  return d->received;
}

void SimulatedBoard::ClearReceivedFrames() {
  std::lock_guard lock(d->mutex);
  d->received.clear();
}

uint64_t SimulatedBoard::RequestsAnswered() const { return d->answered; }
uint64_t SimulatedBoard::Wakeups() const { return d->wakeups; }

std::mutex &SimulatedBoard::ModelMutex() { return d->modelMutex; }

BoardModel &SimulatedBoard::ModelAtNow() {
  d->AdvanceModelTo(Clock::now());
  return d->model;
}

SimulatedBoard *SimulatedBoardNamed(const std::string &name) {
  static std::mutex mutex;
  static std::array<std::unique_ptr<SimulatedBoard>, 3> boards;
  if (name.size() != 4 || name.compare(0, 3, "SIM") != 0 || name[3] < '1' || name[3] > '3')
    return nullptr;
  const int kind = name[3] - '0';
  std::lock_guard lock(mutex);
  auto &board = boards[kind - 1];
  if (!board) {
    try {
      // Paced like a real board's line, so that the program behaves as with a board attached,
      // and delivering whole replies as the board's USB port does; tests that want speed
      // switch pacing off.
      board = std::make_unique<SimulatedBoard>(kind, true);
      board->SetDelivery(Delivery::WholePieces);
    } catch (const std::exception &) {
      return nullptr;
    }
  }
  return board.get();
}

}  // namespace sim
