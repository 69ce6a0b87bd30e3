#pragma once
// TFormMain: the main window. It owns the board session (the serial port, the link and the
// poll cycle, BoardSession.h), shows what the session reports, opens and closes the port,
// drives the motors and shows the tool windows.
#include <QHash>
#include <QWidget>
#include <array>
#include <cstdint>
#include "BoardSession.h"
#include "ErrorThrottle.h"
#include "StatusLine.h"
#include "MotionCommands.h"
#include "ui_Ev710Main.h"

class TFormWarning;
class THint95;
class QTimer;
namespace ctltool {
class ChannelServer;
}
class TLedLittle;

// The windows the main window shows or asks; set once at start-up.
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

  static const QString DesignCaption;  // "QVR710+QVR5xx-EVAL"

  // The link, the poll cycle and the board; tool windows get it as TBoardAccess.
  TBoardSession *const Session;
  TBoardAccess &Board() { return *Session; }
  // The command channel through which qvr710-ctl reaches the open port (listening while open).
  ctltool::ChannelServer *const Channel;

  TToolWindows Windows;
  void SetToolWindows(const TToolWindows &w);
  // Selects the port list entry of the port `name` ("ttyACM0", "SIM2"), adding it when missing.
  void SelectPort(const QString &name);

  // Event handlers, named after control and event.
  void FormCreate();
  void FormClose();
  void BtnOpenClick();
  void BtnCloseClick();
  void StartDetection();
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
  void BtnSaveSetupClick();
  void BtnLoadSetupClick();
  // What the setup buttons do once their file dialog has given the path (Ev710Setup.cpp).
  void SaveSetupTo(const QString &path);
  void LoadSetupFrom(const QString &path);

protected:
  void closeEvent(QCloseEvent *e) override;

private:
  // Creation steps (FormCreate) defined beside the code they belong to.
  void InitPortList();          // fill ComboCOM and select the initial entry
  void RefreshPortList();       // scan again as the list drops down, keeping the selected port
  void ConnectSession();        // what the session reports, shown here
  void RegisterPollControls();  // the main window's display controls in the poll table
  void ConnectHandlers();
  void ApplyRampMode(int motor);  // enable table of CbRampMode1Change and its twins
  // The window's face (Ev710Main.cpp); motor 0..2 names the controls ending in 1..3.
  struct TMotorLabels {
    QLabel *XTarget, *VTarget, *VMin, *VMax, *AMax, *VActual;
  };
  TMotorLabels MotorLabels(int motor) const;
  void SetEditRanges();
  void KeepBoardButtonPlaces();
  void SetInitialControlStates();
  // What the session reports (Ev710Connect.cpp).
  void ShowBoardFace(const TBoardFace *face);
  void CloseForeignWindows(const TBoardFace &face);
  void MarkValuesStale();
  void ShowSessionError(const QString &text);
  TErrorThrottle ErrorThrottle;
  std::array<std::array<QLabel *, 4>, 3> LiveLabels{};  // per motor: the live values the cycle shows
  // Motion commands (Ev710Motion.cpp).
  struct TMotorEdits {
    class TSpinEdit *XTarget, *VTarget, *VMin, *VMax, *AMax, *VActual;
    QComboBox *RampMode;
  };
  TMotorEdits MotorEdits(int motor) const;
  TMotion ReadMotion(int motor);
  static int MotorOf(QObject *Sender, QObject *button2, QObject *button3);
  void Go(int motor, const TMotion &m);
  bool AccelerationAccepted(int motor, int limit);

  // The session's stop count when each Go button last went down: a Go whose click comes after
  // a stop that followed its press (a mnemonic clicks 100 ms after the key) is not run.
  QHash<QObject *, uint32_t> GoPressedAt;
  uint32_t GoTrigger(QObject *button) const { return GoPressedAt.value(button, Session->Commands().StopCount()); }

  THint95 *Hint95 = nullptr;
  TStatusLine *Status = nullptr;
};
