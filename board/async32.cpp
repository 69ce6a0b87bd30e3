#include "async32.h"


#include <QCoreApplication>
#include <QEvent>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

// The kernel's termios2 (asm-generic layout), used only to set bit rates that have no Bxxx
// constant. glibc does not declare it, and the kernel's own header clashes with <termios.h>.
struct termios2 {
  tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
  cc_t c_line;
  cc_t c_cc[19];
  speed_t c_ispeed, c_ospeed;
};
static_assert(sizeof(termios2) == 44, "unexpected termios2 layout");

namespace {

constexpr tcflag_t kBaudOther = 0010000;  // BOTHER: the rate is given in c_ispeed/c_ospeed
constexpr int kProviderRs232 = 1;         // provider subtype reported for an opened device
constexpr unsigned kErrorRxOverflow = 1;  // OnError bit: input queue full, bytes dropped
constexpr int kReopenIntervalMs = 300;    // how often a lost device is looked for again
constexpr size_t kMinInputQueue = 64;

// What a hand-off asks of the GUI thread besides dispatching line events.
enum class DeviceChange { None, Lost, Back };

class HandOffEvent : public QEvent {
public:
  HandOffEvent(uint64_t generation, uint64_t seq, TC32EventType mask, DeviceChange change, int fd)
      : QEvent(Kind()), Generation(generation), Seq(seq), Mask(mask), Change(change), Fd(fd) {}
  static QEvent::Type Kind() {
    static const int type = QEvent::registerEventType();
    return QEvent::Type(type);
  }
  const uint64_t Generation, Seq;
  const TC32EventType Mask;
  const DeviceChange Change;
  const int Fd;
};

bool IsDeviceGone(int err) { return err == EIO || err == ENXIO || err == ENODEV; }

speed_t StandardSpeed(int bits) {
  switch (bits) {
  case 110: return B110;
  case 300: return B300;
  case 600: return B600;
  case 1200: return B1200;
  case 2400: return B2400;
  case 4800: return B4800;
  case 9600: return B9600;
  case 19200: return B19200;
  case 38400: return B38400;
  case 57600: return B57600;
  case 115200: return B115200;
  default: return B0;  // no constant: set through termios2
  }
}

tcflag_t ParityFlags(TParity parity) {
  switch (parity) {
  case paOdd: return PARENB | PARODD;
  case paEven: return PARENB;
  case paMark: return PARENB | CMSPAR | PARODD;
  case paSpace: return PARENB | CMSPAR;
  default: return 0;
  }
}

// Character size bits; 4 data bits do not exist on Linux, so the device's size is kept.
tcflag_t CharSize(TDatabits bits, tcflag_t deviceFlags) {
  static const tcflag_t sizes[] = {0, CS5, CS6, CS7, CS8};
  return bits == da4 ? (deviceFlags & CSIZE) : sizes[bits];
}

// Writes `t` in one call, at the given bit rate.
int WriteLine(int fd, termios t, int bits) {
  if (const speed_t speed = StandardSpeed(bits)) {
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return tcsetattr(fd, TCSANOW, &t) == 0 ? 0 : errno;
  }
  termios2 t2{};
  t2.c_iflag = t.c_iflag;
  t2.c_oflag = t.c_oflag;
  t2.c_cflag = (t.c_cflag & ~(CBAUD | CIBAUD)) | kBaudOther;
  t2.c_lflag = t.c_lflag;
  t2.c_line = t.c_line;
  std::copy_n(t.c_cc, std::size(t2.c_cc), t2.c_cc);
  t2.c_ispeed = t2.c_ospeed = speed_t(bits);
  return ioctl(fd, TCSETS2, &t2) == 0 ? 0 : errno;
}

// Modem-line calls; false where the device has no such lines (ENOTTY on pseudo-terminals).
bool ModemBits(int fd, unsigned long request, int bits) { return ioctl(fd, request, &bits) == 0; }

// The driver raises RTS for each transmission by itself (RS-485 mode), where it can.
bool SetRs485(int fd, bool on) {
  serial_rs485 rs{};
  if (ioctl(fd, TIOCGRS485, &rs) != 0) return false;
  if (on) {
    rs.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    rs.flags &= ~SER_RS485_RTS_AFTER_SEND;
  } else {
    rs.flags &= ~SER_RS485_ENABLED;
  }
  return ioctl(fd, TIOCSRS485, &rs) == 0;
}

// USB adapters answer within about 1 ms instead of 16 ms in low-latency mode; a refusal is fine.
void RequestLowLatency(int fd) {
  serial_struct ss{};
  if (ioctl(fd, TIOCGSERIAL, &ss) == 0 && !(ss.flags & ASYNC_LOW_LATENCY)) {
    ss.flags |= ASYNC_LOW_LATENCY;
    ioctl(fd, TIOCSSERIAL, &ss);
  }
}

// Opens a terminal device for our exclusive use; -1 with `err` set on failure. The lock keeps
// out every other opener (root included); TIOCEXCL makes their open() fail early.
int AcquireDevice(const std::string &path, int &err) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    err = errno;
    return -1;
  }
  termios t{};
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || tcgetattr(fd, &t) != 0) {
    err = errno;
    ::close(fd);
    return -1;
  }
  ioctl(fd, TIOCEXCL);
  return fd;
}

// Unsent output is discarded first, or close() may wait up to 30 s on a stalled line.
void ReleaseDevice(int fd) {
  tcflush(fd, TCOFLUSH);
  ioctl(fd, TIOCNXCL);
  flock(fd, LOCK_UN);
  ::close(fd);
}

}  // namespace

int BaudRateBits(TBaudRate rate) {
  static const int bits[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                             19200, 38400, 56000, 57600, 115200, 128000, 256000};
  return unsigned(rate) < std::size(bits) ? bits[rate] : 9600;
}

struct TCustomComm32::Private {
  // GUI-thread state. The event thread reads fd, path, wakeFd and monitored only while the GUI
  // thread cannot change them: before the thread starts, or while it waits in a hand-off.
  bool enabled = false;  // open; stays true while a lost device is awaited
  int fd = -1;           // -1 while closed and while the device is lost
  std::string path;
  int wakeFd = -1;       // eventfd that wakes the event thread
  bool rs485 = false;
  termios line{};        // line settings last read back from the device
  TC32EventType monitored = 0;
  std::unique_ptr<TC32Thread> thread;

  std::mutex m;  // guards everything below; held only around non-blocking calls
  std::condition_variable handedOff;
  std::string input;   // received bytes not read yet
  std::string output;  // the part of the last write the device has not taken yet
  size_t inputLimit = 4096;
  int lineRate = 9600;
  bool nullStrip = false;
  char evtChar = 0;
  bool softRts = false;  // RTS raised by Write, lowered by the event thread once output drained
  bool rtsRaised = false;
  uint64_t writes = 0;   // counts Write calls, so a drain can tell that more bytes followed
  unsigned errors = 0;
  bool stop = false;
  uint64_t generation = 0, posted = 0, taken = 0, done = 0;

  void Wake() {
    const uint64_t one = 1;
    if (wakeFd >= 0) (void)!::write(wakeFd, &one, sizeof one);
  }

  // Moves what the device holds into the input queue; sets `lost` when the device is gone.
  TC32EventType ReceiveLocked(bool &lost) {
    TC32EventType mask = 0;
    char buf[512];
    for (int reads = 0; reads < 16; ++reads) {
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n > 0) {
        mask |= QueueLocked(buf, size_t(n));
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) lost = true;
        break;
      }
    }
    return mask & monitored;
  }

  TC32EventType QueueLocked(const char *bytes, size_t count) {
    TC32EventType mask = 0;
    for (size_t i = 0; i < count; ++i) {
      const char c = bytes[i];
      if (c == 0 && nullStrip) continue;
      if (input.size() >= inputLimit) {
        errors |= kErrorRxOverflow;
        mask |= evError;
        continue;
      }
      input.push_back(c);
      mask |= evRxChar | (c == evtChar ? evRxFlag : 0);
    }
    return mask;
  }

  // Hands the rest of the last write to the device; false when the device is gone.
  bool SendPendingLocked() {
    while (!output.empty()) {
      const ssize_t n = ::write(fd, output.data(), output.size());
      if (n > 0) {
        output.erase(0, size_t(n));
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
        return true;
      } else {
        output.clear();
        return !IsDeviceGone(errno);
      }
    }
    return true;
  }

  // RTS comes down once the last byte has left the transmitter, not when the kernel's queue
  // first reads empty (the UART may still be shifting bytes out). tcdrain waits for that, for
  // at most the line time of one write; it runs without the lock so Write never waits for it.
  // Close discards the output first, which ends a drain in progress.
  void LowerRtsWhenSent(std::unique_lock<std::mutex> &lock) {
    if (!softRts || !rtsRaised || !output.empty()) return;
    const uint64_t writesBefore = writes;
    lock.unlock();
    const bool drained = tcdrain(fd) == 0;
    lock.lock();
    if (!drained || writes != writesBefore || !rtsRaised) return;  // a new write keeps RTS up
    ModemBits(fd, TIOCMBIC, TIOCM_RTS);
    rtsRaised = false;
  }

  // How long the event thread may sleep while RTS waits to be lowered (-1: no limit).
  int DrainWaitMsLocked() {
    if (!softRts || !rtsRaised) return -1;
    int queued = 0;
    ioctl(fd, TIOCOUTQ, &queued);
    const long bytes = long(output.size()) + std::max(queued, 0);
    return int(std::min(bytes * 10'000 / std::max(lineRate, 1) + 1, 1000L));
  }

  // Writes the configured line settings in one call and reads them back. Returns 0, or the
  // error code of the call that failed or EINVAL when the device did not take them.
  int ApplyLine(const TCustomComm32 &p) {
    {
      std::lock_guard lock(m);
      nullStrip = p.Options & osNullStrip;
      evtChar = p.EvtChar;
      lineRate = BaudRateBits(p.BaudRate);
    }
    termios t{};
    if (tcgetattr(fd, &t) != 0) return errno;
    const termios device = t;
    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD | CharSize(p.Databits, device.c_cflag) | ParityFlags(p.Parity);
    if (p.Stopbits != sb10) t.c_cflag |= CSTOPB;  // 1.5 with five data bits, else 2
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR);
    // Bytes with parity errors come in as zero bytes with osErrorChar, otherwise as received.
    // osDsrSensitivity and osIgnoreXOff have no terminal counterpart.
    if ((p.Options & osParityCheck) && (p.Options & osErrorChar)) t.c_iflag |= INPCK;
    switch (p.FlowControl) {
    case fcCTS: t.c_cflag |= CRTSCTS; break;
    case fcSoftware:
      t.c_iflag |= IXON | IXOFF;
      t.c_cc[VSTART] = cc_t(p.XonChar);
      t.c_cc[VSTOP] = cc_t(p.XoffChar);
      break;
    case fcDefault:
      t.c_cflag |= device.c_cflag & CRTSCTS;
      t.c_iflag |= device.c_iflag & (IXON | IXOFF | IXANY);
      break;
    default: break;  // fcNone, fcRTSToggle; DTR/DSR handshake has no terminal counterpart
    }
    if (const int err = WriteLine(fd, t, BaudRateBits(p.BaudRate))) return err;
    if (tcgetattr(fd, &line) != 0) return errno;
    const tcflag_t shape = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS;
    const speed_t speed = StandardSpeed(BaudRateBits(p.BaudRate));
    const bool speedOk = speed == B0 || cfgetospeed(&line) == speed;
    return p.Databits == da4 || (line.c_cflag & shape) != (t.c_cflag & shape) || !speedOk ? EINVAL : 0;
  }

  // RTS, DTR and the driver's RS-485 mode as the flow control asks.
  void ApplyFlowLines(TFlowControl flow) {
    const bool driverToggle = flow == fcRTSToggle && SetRs485(fd, true);
    if (rs485 && !driverToggle) SetRs485(fd, false);
    rs485 = driverToggle;
    bool toggleByUs = false;
    switch (flow) {
    case fcDefault: break;
    case fcCTS: ModemBits(fd, TIOCMBIS, TIOCM_DTR); break;
    case fcRTSToggle:
      ModemBits(fd, TIOCMBIS, TIOCM_DTR);
      toggleByUs = !rs485 && ModemBits(fd, TIOCMBIC, TIOCM_RTS);  // low until the next write
      break;
    default: ModemBits(fd, TIOCMBIS, TIOCM_RTS | TIOCM_DTR); break;
    }
    std::lock_guard lock(m);
    softRts = toggleByUs;
    rtsRaised = false;
  }

  int Configure(const TCustomComm32 &p) {
    const int err = ApplyLine(p);
    ApplyFlowLines(p.FlowControl);
    RequestLowLatency(fd);
    return err;
  }

  void Reconfigure(const TCustomComm32 &p, bool flowLines) {
    if (fd < 0) return;  // closed or lost: applied at the next (re)open
    ApplyLine(p);
    if (flowLines) ApplyFlowLines(p.FlowControl);
  }

  void ForgetDevice() {
    {
      std::lock_guard lock(m);
      output.clear();
      rtsRaised = false;
    }
    ReleaseDevice(fd);
    fd = -1;
  }

  void Dispatch(TCustomComm32 &owner, TC32EventType mask) {
    unsigned lineErrors;
    int count;
    {
      std::lock_guard lock(m);
      lineErrors = std::exchange(errors, 0);
      count = int(input.size());
    }
    if ((mask & evError) && lineErrors) emit owner.OnError(int(lineErrors));
    if ((mask & evRxChar) && count > 0) emit owner.OnRxChar(count);
    if (mask & evRxFlag) emit owner.OnRxFlag();
  }
};

// Waits for line events with poll() and hands each one to the GUI thread, waiting until the GUI
// thread has dispatched it. Received bytes go into the component's input queue, so bytes that
// wait there do not wake the thread again. A lost device is looked for again every few hundred
// milliseconds until it is back under the same path.
class TC32Thread {
public:
  explicit TC32Thread(TCustomComm32 &owner)
      : owner_(owner), d_(*owner.d), generation_(d_.generation), worker_([this] { Run(); }) {}
  ~TC32Thread() { worker_.join(); }

private:
  using Private = TCustomComm32::Private;

  bool Stopping() {
    std::lock_guard lock(d_.m);
    return d_.stop;
  }

  void Run() {
    bool lost = false;
    while (!Stopping()) {
      int timeout = kReopenIntervalMs;
      short events = POLLIN;
      if (!lost) {
        std::lock_guard lock(d_.m);
        timeout = d_.DrainWaitMsLocked();
        if (!d_.output.empty()) events |= POLLOUT;
      }
      pollfd fds[2] = {{d_.wakeFd, POLLIN, 0}, {lost ? -1 : d_.fd, events, 0}};
      if (poll(fds, 2, timeout) < 0 && errno != EINTR) break;
      if (fds[0].revents & POLLIN) {
        uint64_t count;
        (void)!::read(d_.wakeFd, &count, sizeof count);
      }
      if (Stopping()) break;
      if (lost) {
        lost = !TryReopen();
      } else if (!ServeDevice(fds[1].revents, lost)) {
        break;
      }
    }
  }

  // One round on the open device; false when the thread must end.
  bool ServeDevice(short revents, bool &lost) {
    bool gone = (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    TC32EventType mask = 0;
    {
      std::unique_lock lock(d_.m);
      if (revents & (POLLIN | POLLHUP | POLLERR)) mask = d_.ReceiveLocked(gone);
      if (!gone && !d_.SendPendingLocked()) gone = true;
      if (!gone) d_.LowerRtsWhenSent(lock);
    }
    if (mask && !HandOff(mask)) return false;
    if (!gone) return true;
    lost = true;  // the GUI thread closes it; nothing polls it any more
    return HandOff(0, DeviceChange::Lost);
  }

  // True once the lost device is back in use.
  bool TryReopen() {
    int err = 0;
    const int fd = AcquireDevice(d_.path, err);
    if (fd < 0) return false;
    if (HandOff(0, DeviceChange::Back, fd)) return true;
    ReleaseDevice(fd);  // stopping: the GUI thread never took it
    return false;
  }

  // Posts the event to the GUI thread and waits until it has been dispatched or the component
  // is closing. Returns whether the GUI thread took it.
  bool HandOff(TC32EventType mask, DeviceChange change = DeviceChange::None, int fd = -1) {
    uint64_t seq;
    {
      std::lock_guard lock(d_.m);
      if (d_.stop) return false;
      seq = ++d_.posted;
    }
    QCoreApplication::postEvent(&owner_, new HandOffEvent(generation_, seq, mask, change, fd));
    std::unique_lock lock(d_.m);
    d_.handedOff.wait(lock, [&] { return d_.stop || d_.done >= seq; });
    return d_.taken >= seq;
  }

  TCustomComm32 &owner_;
  Private &d_;
  const uint64_t generation_;
  std::thread worker_;  // last: starts once the members above are set
};

TCustomComm32::TCustomComm32(QObject *parent) : QObject(parent), d(std::make_unique<Private>()) {}

TCustomComm32::~TCustomComm32() { Close(); }

namespace {
TDeviceResolver &Resolver() {
  static TDeviceResolver resolver;
  return resolver;
}
}  // namespace

void SetDeviceResolver(TDeviceResolver resolver) { Resolver() = std::move(resolver); }

QString TCustomComm32::DevicePath() const {
  if (DeviceName.startsWith(QLatin1Char('/'))) return DeviceName;
  if (Resolver()) {
    const QString path = Resolver()(DeviceName);
    if (!path.isEmpty()) return path;
  }
  return QStringLiteral("/dev/") + DeviceName;
}

void TCustomComm32::Open() {
  Close();
  d->path = DevicePath().toStdString();
  int err = 0;
  const int fd = AcquireDevice(d->path, err);
  if (fd >= 0) {
    d->fd = fd;
    d->enabled = true;
    err = d->Configure(*this);
    {
      std::lock_guard lock(d->m);
      d->input.clear();
      d->output.clear();
      d->errors = 0;
      d->inputLimit = std::max(size_t(std::max(ReadBufferSize, 0)), kMinInputQueue);
      d->stop = false;
      ++d->generation;
      d->posted = d->taken = d->done = 0;
    }
    d->monitored = MonitorEvents;
    if (!Simple) StartEventThread(err);
  }
  emit OnOpen(d->enabled ? kProviderRs232 : 0, err);
}

void TCustomComm32::StartEventThread(int &err) {
  d->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (d->wakeFd < 0) {  // without it the thread could not be stopped
    err = errno;
    Close();
    return;
  }
  d->thread = std::make_unique<TC32Thread>(*this);
}

void TCustomComm32::Close() {
  if (!d->enabled) return;
  if (d->thread) {
    {
      std::lock_guard lock(d->m);
      d->stop = true;
    }
    if (d->fd >= 0) tcflush(d->fd, TCOFLUSH);  // ends a drain the thread may be waiting in
    d->handedOff.notify_all();
    d->Wake();
    d->thread.reset();  // joins; a hand-off in flight returns at once
    QCoreApplication::removePostedEvents(this, HandOffEvent::Kind());
  }
  if (d->wakeFd >= 0) ::close(d->wakeFd);
  d->wakeFd = -1;
  if (d->fd >= 0) {
    if (d->rs485) SetRs485(d->fd, false);  // leave the device as other programs expect it
    ReleaseDevice(d->fd);
  }
  d->fd = -1;
  std::lock_guard lock(d->m);
  d->input.clear();
  d->output.clear();
  d->softRts = d->rtsRaised = false;
  d->rs485 = false;
  d->enabled = false;
}

bool TCustomComm32::Enabled() const { return d->enabled; }

void TCustomComm32::customEvent(QEvent *event) {
  if (event->type() != HandOffEvent::Kind()) return QObject::customEvent(event);
  const auto &h = *static_cast<HandOffEvent *>(event);
  {
    std::lock_guard lock(d->m);
    if (h.Generation != d->generation || d->stop) return;  // left over from a closed port
    d->taken = h.Seq;
  }
  if (h.Change == DeviceChange::Lost) d->ForgetDevice();
  if (h.Change == DeviceChange::Back) {
    d->fd = h.Fd;
    d->Configure(*this);
  }
  d->Dispatch(*this, h.Mask);  // a handler may close or reopen the port here
  {
    std::lock_guard lock(d->m);
    if (h.Generation == d->generation) d->done = h.Seq;
  }
  d->handedOff.notify_all();
}

int TCustomComm32::Write(const void *Buffer, int Count) {
  if (d->fd < 0 || Count < 0 || (Count > 0 && !Buffer)) return -1;
  std::lock_guard lock(d->m);
  if (!d->SendPendingLocked()) return -1;
  if (!d->output.empty()) return 0;  // the previous write is still going out: drop this one
  ++d->writes;
  if (d->softRts && !d->rtsRaised) {
    ModemBits(d->fd, TIOCMBIS, TIOCM_RTS);
    d->rtsRaised = true;
  }
  ssize_t n;
  do n = ::write(d->fd, Buffer, size_t(Count));
  while (n < 0 && errno == EINTR);
  if (d->softRts) d->Wake();  // the event thread lowers RTS once the line is quiet
  if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
  const int sent = std::max(int(n), 0);
  if (sent == Count) return Count;
  d->output.assign(static_cast<const char *>(Buffer) + sent, size_t(Count - sent));
  d->Wake();
  return 0;
}

int TCustomComm32::Read(void *Buffer, int Count) {
  if (!d->enabled || Count < 0 || (Count > 0 && !Buffer)) return -1;
  std::lock_guard lock(d->m);
  if (!d->thread && d->fd >= 0) {  // Simple mode: nobody else moves the bytes
    bool lost = false;
    d->ReceiveLocked(lost);
  }
  const size_t n = std::min(size_t(Count), d->input.size());
  if (n > 0) std::memcpy(Buffer, d->input.data(), n);
  d->input.erase(0, n);
  return int(n);
}

int TCustomComm32::InQueCount() {
  if (!d->enabled) return 0;
  std::lock_guard lock(d->m);
  if (!d->thread && d->fd >= 0) {
    bool lost = false;
    d->ReceiveLocked(lost);
  }
  return int(d->input.size());
}

int TComm32::OutQueCount() {
  if (d->fd < 0) return 0;
  std::lock_guard lock(d->m);
  int queued = 0;
  if (ioctl(d->fd, TIOCOUTQ, &queued) != 0) queued = 0;
  return queued + int(d->output.size());
}

void TComm32::PurgeIn() {
  if (!d->enabled) return;
  std::lock_guard lock(d->m);
  if (d->fd >= 0) tcflush(d->fd, TCIFLUSH);
  d->input.clear();
}

void TComm32::PurgeOut() {
  if (!d->enabled) return;
  std::lock_guard lock(d->m);
  if (d->fd >= 0) tcflush(d->fd, TCOFLUSH);
  d->output.clear();
  d->Wake();  // RTS may come down now
}

void TComm32::SetBaudRate(TBaudRate v) { BaudRate = v; d->Reconfigure(*this, false); }
void TComm32::SetParity(TParity v) { Parity = v; d->Reconfigure(*this, false); }
void TComm32::SetStopbits(TStopbits v) { Stopbits = v; d->Reconfigure(*this, false); }
void TComm32::SetDatabits(TDatabits v) { Databits = v; d->Reconfigure(*this, false); }
void TComm32::SetFlowControl(TFlowControl v) { FlowControl = v; d->Reconfigure(*this, true); }
void TComm32::SetXonChar(char v) { XonChar = v; d->Reconfigure(*this, false); }
void TComm32::SetXoffChar(char v) { XoffChar = v; d->Reconfigure(*this, false); }
void TComm32::SetOptions(TComm32Options v) { Options = v; d->Reconfigure(*this, false); }
