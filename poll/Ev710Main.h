#pragma once
// TFormMain: the main window. It owns the serial port Comm32, the link state and request
// primitives every window uses, the poll cycle, the connection lifecycle and the motion commands.
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include "BoardAccess.h"
#include "PollHooks.h"
#include "PollTable.h"
#include "ui_Ev710Main.h"

class TComm32;
class TFormWarning;
class THint95;
class QTimer;
class TLedLittle;
struct TBoardFace;

// The windows the main window shows or asks; set once at start-up (null when not built yet).
struct TToolWindows {
  QWidget *FormAdvanced = nullptr, *FormGraphics = nullptr, *FormQVR533 = nullptr,
          *FormQVR730 = nullptr, *FormBoard = nullptr, *FormBoard51x = nullptr,
          *FormQVR51x = nullptr, *FormQVR550 = nullptr, *FormLogging = nullptr;
  TFormWarning *FormWarning = nullptr;
};

class TFormMain : public QWidget, private Ui::TFormMain {
  Q_OBJECT
public:
  explicit TFormMain(QWidget *parent = nullptr);
  ~TFormMain() override;

  static constexpr int PollMessage = 1025;  // QEvent type of the poll cycle's message
  static constexpr uint32_t ReplyTimeout = 1200, WatchdogTimeout = 2000;
  static const QString DesignCaption;        // "QVR710+QVR5xx-EVAL"

  // --- Link state and request primitives -----------------------------------------------
  TComm32 *Comm32;
  std::array<uint8_t, 9> ReplyFrame{};
  std::array<uint8_t, 4> ReplyValue{};
  bool CommandAnswered = false;
  bool ReplyReceived = true;
  bool PollingEnabled = true;
  uint32_t LastRequestTick = 0;

  bool SendCommand(uint8_t Address, uint8_t Command, uint8_t Type, uint8_t Motor, int32_t Value,
                   bool Wait, bool RaiseOnTimeout);
  bool SendCommandBytes(uint8_t Address, uint8_t Command, uint8_t Type, uint8_t Motor,
                        const std::array<uint8_t, 4> &Bytes, bool Wait, bool RaiseOnTimeout);
  void SendDatagram(uint8_t B0, uint8_t B1, uint8_t B2, uint8_t B3);
  void TransferDatagram(uint8_t B0, uint8_t B1, uint8_t B2, uint8_t B3);
  void PausePolling();
  void ResumePolling();

  // --- Connection and identification -----------------------------------------------------
  uint8_t BoardKind = 0;
  QByteArray BoardVersionText;
  bool BoardIdentified = false;
  bool RestartPending = false;
  bool TimerBusy = false;
  QTimer *TimerActions;
  void StartDetection();

  // --- Poll cycle --------------------------------------------------------------------------
  TPollTable PollTable;
  int PollIndex = 0;
  QString ControllerVersionText;
  void ShowControllerVersion(uint8_t B5, uint8_t B6, uint8_t B7);
  // Data log line under construction (one line per completed cycle).
  QString PendingLogLine;
  int PendingValueCount = 0;
  bool CycleStartFlag = false;
  // State of the tool windows the cycle consults; they set it when shown or closed.
  bool EditorShown = false;   // register editor shown
  int EditorPage = 0;         // its active page
  int SelectedMotor = 0;      // driver window's selected motor
  TGraphHooks *GraphHooks = nullptr;
  TLogHooks *LogHooks = nullptr;
  // After a timeout the cycle waits for this long of silence on the line before it asks again,
  // so that a late reply cannot be taken for the answer to a later request.
  static constexpr int ResyncQuietMs = 250;
  static constexpr int ResyncLimitMs = 1000;

  // What the tool windows get of the link, the cycle and the board.
  TBoardAccess &Board();

  // --- Windows -------------------------------------------------------------------------------
  TToolWindows Windows;
  void SetToolWindows(const TToolWindows &w);

  // Event handlers, named after control and event.
  void FormCreate();
  void FormClose();
  void BtnOpenClick();
  void BtnCloseClick();
  void TimerActionsTimer();
  void Comm32RxChar(int Count);
  void PollMessageHandler();
  void CbRampMode1Change();
  void CbRampMode2Change();
  void CbRampMode3Change();
  void BtnGo1Click(QObject *Sender);
  void BtnStop1Click(QObject *Sender);
  void BtnGoAllClick();
  void BtnStopAllClick();
  void BtnCmd705Click();
  void BtnGraphicsClick();
  void BtnLoggingClick();
  void BtnQVR533Click();
  void BtnQVR515Click();
  void BtnQVR550Click();
  void BtnQVR730Click();
  void BtnBoardClick();

protected:
  void showEvent(QShowEvent *e) override;
  void closeEvent(QCloseEvent *e) override;
  void customEvent(QEvent *e) override;

private:
  // Creation steps (FormCreate) defined beside the code they belong to.
  void InitPortList();          // fill ComboCOM and select the initial entry
  void InitPollState();         // poll index 0, flags, watchdog off
  void RegisterPollControls();  // the main window's display controls and entry 0's handler
  void ConnectHandlers();
  void ApplyRampMode(int motor);        // enable table of CbRampMode1Change and its twins
  void SetStatusTexts(const QString &info1, const QString &info2);
  void ShowNoPortTexts();
  // The window's face (Ev710Main.cpp); motor 0..2 names the controls ending in 1..3.
  struct TMotorLabels {
    QLabel *XTarget, *VTarget, *VMin, *VMax, *AMax, *VActual;
  };
  TMotorLabels MotorLabels(int motor) const;
  void SetEditRanges();
  void FixWindowSize();
  void SetInitialControlStates();
  void SetStatusLeds(uint8_t status);
  void PostPollMessage();
  void Identify();
  void ShowBoardFace(const TBoardFace *face);
  void MarkValuesStale();
  void CallHandler(const PollEntry &e);
  static QString ErrorText(const std::exception &err);
  void TimeoutActions();
  void RouteReply();
  void RouteControllerReply(const PollEntry &e, int &Value);
  void LogValue(int Value);
  void Advance();
  void SendPollRequest();
  void SendRestartRequest();
  void WaitForEmptyOutput();
  void ReportLater(const QString &text);
  void StartResync();
  void TakeLateVersionReply();
  void StopResync();
  void WaitForQuietLine();
  [[noreturn]] void FailNoAnswer();
  // Motion commands.
  struct TMotorEdits {
    class TSpinEdit *XTarget, *VTarget, *VMin, *VMax, *AMax, *VActual;
    QComboBox *RampMode;
  };
  TMotorEdits MotorEdits(int motor) const;
  struct TMotion {
    int Mode = 0, AMax = 0, VMax = 0, VMin = 0, XTarget = 0, VTarget = 0, VActual = 0;
  };
  TMotion ReadMotion(int motor);
  static int MotorOf(QObject *Sender, QObject *button2, QObject *button3);
  void GoMotor(int motor, const TMotion &m);
  void StopMotor(int motor);
  bool AccelerationAccepted(int aMax, int rampDiv, int pulseDiv);
  void WriteRampMode(int motor, int mode);
  void WriteMotorRegister(int motor, int index, const std::array<uint8_t, 3> &data);
  std::array<uint8_t, 3> ReadMotorRegister(int motor, int index);
  bool DetectionRunning = false;  // StartDetection's wait: the cycle must not start inside it
  bool ResyncPending = false;     // a timeout happened: wait for a quiet line before asking again
  QTimer *ResyncTimer = nullptr;
  uint32_t ResyncStartTick = 0;
  bool ErrorShowing = false;
  bool HandlerErrorSeen = false;     // since the last Open
  uint32_t LastHandlerErrorTick = 0;
  static constexpr uint32_t HandlerErrorQuietMs = 2000;
  int OpenError = 0;                 // system error code of the last Open
  THint95 *Hint95 = nullptr;
  std::unique_ptr<TBoardAccess> BoardAccess;
  std::array<TLedLittle *, 8> StatusLeds{};
};

extern TFormMain *FormMain;
