#pragma once
// TComm32: the serial port component of the board link, on POSIX termios.
// Open/Close/Write/Read/queue counts run on the GUI thread; an event thread (TC32Thread) waits
// for line events and hands each one synchronously to the GUI thread, where the signals below
// are emitted. A device name that starts with "/" is taken as a path; any other name goes
// through the device resolver (SetDeviceResolver), and where that knows none, means /dev/NAME.
// A device that disappears while open (unplugged, hung up) is looked for again under the same
// path until it is back; Enabled() stays true meanwhile, Write() returns -1 and the queues are 0.
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

enum TBaudRate {
  cbr110, cbr300, cbr600, cbr1200, cbr2400, cbr4800, cbr9600, cbr14400, cbr19200,
  cbr38400, cbr56000, cbr57600, cbr115200, cbr128000, cbr256000
};
enum TParity { paNone, paOdd, paEven, paMark, paSpace };
enum TStopbits { sb10, sb15, sb20 };
enum TDatabits { da4, da5, da6, da7, da8 };
enum TFlowControl { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault, fcRTSToggle };
enum TComm32Option { osParityCheck = 1, osDsrSensitivity = 2, osIgnoreXOff = 4, osErrorChar = 8, osNullStrip = 16 };
using TComm32Options = unsigned;  // set of TComm32Option bits
enum TC32EventState {
  evBreak = 1, evCTS = 2, evDSR = 4, evError = 8, evRing = 16, evRlsd = 32, evRxChar = 64,
  evRxFlag = 128, evTxEmpty = 256
};
using TC32EventType = unsigned;  // set of TC32EventState bits
constexpr TC32EventType AllC32Events = 511;

int BaudRateBits(TBaudRate rate);  // the bit rate a TBaudRate names

// Turns a port name into the device path to open. The application installs one that knows its
// simulated boards; unset, or where it answers an empty text, NAME means /dev/NAME.
using TDeviceResolver = std::function<QString(const QString &Name)>;
void SetDeviceResolver(TDeviceResolver resolver);

class TC32Thread;

class TCustomComm32 : public QObject {
  Q_OBJECT
public:
  explicit TCustomComm32(QObject *parent = nullptr);
  ~TCustomComm32() override;

  void Open();
  void Close();
  bool Enabled() const;
  int Write(const void *Buffer, int Count);
  int Read(void *Buffer, int Count);
  int InQueCount();  // bytes waiting to be read

  QString DeviceName = QStringLiteral("COM2");
  TBaudRate BaudRate = cbr9600;
  TParity Parity = paNone;
  TStopbits Stopbits = sb10;
  TDatabits Databits = da8;
  TFlowControl FlowControl = fcDefault;
  TComm32Options Options = 0;
  TC32EventType MonitorEvents = AllC32Events;
  int ReadBufferSize = 4096;
  int WriteBufferSize = 2048;
  char XonChar = 17, XoffChar = 19, EvtChar = 0;
  bool Simple = false;

  QString DevicePath() const;  // the file system path DeviceName maps to

signals:
  void OnRxChar(int Count);
  void OnError(int Errors);
  void OnOpen(int ProviderSubType, int Error);
  void OnBreak();
  void OnCTS();
  void OnDSR();
  void OnRing();
  void OnRLSD();
  void OnRxFlag();
  void OnTxEmpty();

protected:
  void customEvent(QEvent *event) override;  // receives the event thread's hand-offs
  void StartEventThread(int &err);

  struct Private;
  std::unique_ptr<Private> d;
  friend class TC32Thread;
};

class TComm32 : public TCustomComm32 {
  Q_OBJECT
public:
  using TCustomComm32::TCustomComm32;
  int OutQueCount();
  void PurgeIn();
  void PurgeOut();
  // Setters that change an open port at once (a closed one at the next Open).
  void SetBaudRate(TBaudRate v);
  void SetParity(TParity v);
  void SetStopbits(TStopbits v);
  void SetDatabits(TDatabits v);
  void SetFlowControl(TFlowControl v);
  void SetXonChar(char v);
  void SetXoffChar(char v);
  void SetOptions(TComm32Options v);
};
