// Connection lifecycle, board identification, the watchdog and the reply-driven poll cycle.
#include <QApplication>
#include <QCloseEvent>
#include <QTimer>
#include "BoardFrames.h"
#include "Ev710Registers.h"
#include "Ev710Guard.h"
#include "Ev710Main.h"
#include "Ev710Utils.h"
#include "Ev710Version.h"
#include "LedLittle.h"
#include "OpenFailure.h"
#include "PortDiscovery.h"
#include "PortSettings.h"
#include "Ticks.h"
#include "WaitFor.h"
#include "async32.h"

namespace {
const QString TextDetecting = QStringLiteral("Trying to detect the board.");
const QString TextActive = QStringLiteral("The board is active.");
const QString TextSilent1 = QStringLiteral("The board does not respond.");
const QString TextSilent2 = QStringLiteral("Please check the cable and the power.");
constexpr int OutputDrainLimitMs = 100;  // bound of the wait for an empty output queue
}  // namespace

// --- Creation steps ------------------------------------------------------------------------

void TFormMain::InitPortList() {
  const PortDiscoveryResult found = DiscoverPorts(SystemPorts(), ReadRememberedPortIndex(SettingsFilePath()));
  ComboCOM->clear();
  ComboCOM->addItems(found.Entries);
  ComboCOM->setCurrentIndex(found.SelectedIndex);
}

void TFormMain::InitPollState() {
  PollIndex = 0;
  ReplyReceived = true;
  PollingEnabled = true;
  TimerBusy = false;
  RestartPending = false;
  TimerActions = new QTimer(this);
  TimerActions->setInterval(100);
  connect(TimerActions, &QTimer::timeout, this, [this] { RunGuarded(this, [this] { TimerActionsTimer(); }); });
  ResyncTimer = new QTimer(this);
  ResyncTimer->setSingleShot(true);
  connect(ResyncTimer, &QTimer::timeout, this, [this] {
    StopResync();
    Comm32->PurgeIn();
    PostPollMessage();
  });
  connect(Comm32, &TComm32::OnRxChar, this, [this](int count) { Comm32RxChar(count); });
  connect(Comm32, &TComm32::OnOpen, this, [this](int, int error) { OpenError = error; });
}

void TFormMain::RegisterPollControls() {
  PollTable = InitialPollTable();
  QLabel *const xAct[] = {StaticXAct1, StaticXAct2, StaticXAct3};
  QLabel *const vTarget[] = {StaticVTarget1, StaticVTarget2, StaticVTarget3};
  QLabel *const vAct[] = {StaticVAct1, StaticVAct2, StaticVAct3};
  QLabel *const aAct[] = {StaticAAct1, StaticAAct2, StaticAAct3};
  for (int m = 0; m < 3; ++m) {
    PollTable[PollRow::MotorRegister(m, ctl::X_ACTUAL)].MainControl = xAct[m];
    PollTable[PollRow::MotorRegister(m, ctl::V_TARGET)].MainControl = vTarget[m];
    PollTable[PollRow::MotorRegister(m, ctl::V_ACTUAL)].MainControl = vAct[m];
    PollTable[PollRow::MotorRegister(m, ctl::A_ACTUAL)].MainControl = aAct[m];
  }
  PollTable[PollRow::ControllerVersion].Handler = [this](uint8_t b5, uint8_t b6, uint8_t b7) { ShowControllerVersion(b5, b6, b7); };
  StatusLeds = {LedXReached1, LedReference1, LedXReached2, LedReference2,
                LedXReached3, LedReference3, LedCoverWaiting, LedInterrupt};
}

void TFormMain::SetToolWindows(const TToolWindows &w) { Windows = w; }

// --- Open and close ------------------------------------------------------------------------

void TFormMain::BtnOpenClick() {
  Comm32->DeviceName = ExtractField(ComboCOM->currentText(), u' ', 1);
  OpenError = 0;
  Comm32->Open();
  if (!Comm32->Enabled()) throw EEvalError(OpenFailureText(ComboCOM->currentText(), OpenError));
  BtnOpen->setEnabled(false);
  BtnClose->setEnabled(true);
  HandlerErrorSeen = false;
  StartDetection();
  BtnCmd705->setEnabled(true);
  BtnLogging->setEnabled(true);
  PollIndex = 0;
  ReplyReceived = true;
  PollingEnabled = true;
  TimerActions->start();
  BoardIdentified = false;
  ComboCOM->setEnabled(false);
  for (QWidget *w : std::initializer_list<QWidget *>{BtnStop1, BtnStop2, BtnStop3, BtnGo1, BtnGo2, BtnGo3,
                                                      BtnStopAll, BtnGoAll, BtnGraphics})
    w->setEnabled(true);
  // The cycle starts with a single request. When the version query went unanswered, its reply
  // may still come: the first request waits for a quiet line, as after a timeout.
  if (CommandAnswered) PostPollMessage();
  else StartResync();
}

void TFormMain::StartDetection() {
  RestartPending = true;
  // Identify afresh from this Open's answer only: nothing of a board identified before
  // (its kind, version text, buttons) may stand for the board attached now.
  BoardIdentified = false;
  BoardKind = 0;
  BoardVersionText.clear();
  MarkValuesStale();
  ShowBoardFace(nullptr);
  // The version reply is routed while this waits; the cycle itself starts only afterwards,
  // so that exactly one request is ever outstanding.
  DetectionRunning = true;
  SendCommand(1, GetVersion, 0, 0, 0, true, false);
  DetectionRunning = false;
  LastRequestTick = TickCount();
  SetStatusTexts(TextDetecting, QString());
  PollTable[PollRow::ControllerVersion].PageFilter = -1;
  if (Windows.FormAdvanced && Windows.FormAdvanced->isVisible()) Windows.FormAdvanced->close();
}

void TFormMain::BtnCloseClick() {
  TimerActions->stop();
  StopResync();
  for (QWidget *w : {Windows.FormAdvanced, Windows.FormGraphics, Windows.FormQVR533, Windows.FormBoard, Windows.FormQVR730})
    if (w && w->isVisible()) w->close();
  Comm32->Close();
  BtnOpen->setEnabled(true);
  ComboCOM->setEnabled(true);
  for (QWidget *w : std::initializer_list<QWidget *>{BtnClose, BtnCmd705, BtnStop1, BtnStop2, BtnStop3, BtnGo1,
                                                      BtnGo2, BtnGo3, BtnStopAll, BtnGoAll, BtnGraphics})
    w->setEnabled(false);
  BoardIdentified = false;
  ShowBoardFace(nullptr);
  MarkValuesStale();
  ShowNoPortTexts();
}

void TFormMain::FormClose() {
  TimerActions->stop();
  Comm32->Close();
  StoreRememberedPortIndex(SettingsFilePath(), ComboCOM->currentIndex());
}

void TFormMain::closeEvent(QCloseEvent *e) {
  RunGuarded(this, [this] { FormClose(); });
  e->accept();
}

void TFormMain::showEvent(QShowEvent *e) { QWidget::showEvent(e); }

// --- Identification --------------------------------------------------------------------------

// What each board shows: its kind, the version texts that name it, and the buttons of its own
// windows. BtnQVR533, BtnQVR515 and BtnQVR550 share one place, so only the board's own shows.
struct TBoardFace {
  uint8_t Kind;
  std::array<const char *, 2> Prefixes;
  const char *Family;
  bool Qvr533, Qvr730, Qvr515, Qvr550, Board;
};
constexpr TBoardFace BoardFaces[] = {
    {1, {"710", "4706"}, "QVR53x", true, true, false, false, true},
    {2, {"515", nullptr}, "QVR51x", false, false, true, false, true},
    {1, {"936", nullptr}, "QVR53x", true, false, false, false, false},
    {3, {"937", nullptr}, "QVR550", false, false, false, true, false},
};

namespace {
const TBoardFace *FaceOf(const QByteArray &versionText) {
  for (const TBoardFace &face : BoardFaces)
    for (const char *prefix : face.Prefixes)
      if (prefix && versionText.startsWith(prefix)) return &face;
  return nullptr;
}
}  // namespace

void TFormMain::Identify() {
  const TBoardFace *face = FaceOf(BoardVersionText);
  if (!face) return;
  BoardKind = face->Kind;
  BoardIdentified = true;
  ShowBoardFace(face);
}

// The board's name in the title and the status texts, and its buttons: shown and enabled only
// for a board identified on this Open that answers; null shows no board.
void TFormMain::ShowBoardFace(const TBoardFace *face) {
  const QString board = face ? QStringLiteral("QVR710+%1-EVAL").arg(QLatin1String(face->Family)) : DesignCaption;
  QApplication::setApplicationName(board);
  setWindowTitle(board + QStringLiteral(" V") + ShortVersionText(GetFileVersionText()));
  if (face) {
    SetStatusTexts(TextActive, board + QStringLiteral(" board detected!"));
    BtnQVR533->setVisible(face->Qvr533);
    BtnQVR730->setVisible(face->Qvr730);
    BtnQVR515->setVisible(face->Qvr515);
    BtnQVR550->setVisible(face->Qvr550);
    BtnBoard->setVisible(face->Board);
  }
  const uint8_t kind = face ? face->Kind : 0;
  BtnQVR533->setEnabled(kind == 1);
  BtnQVR730->setEnabled(kind == 1);
  BtnQVR515->setEnabled(kind == 2);
  BtnQVR550->setEnabled(kind == 3);
  BtnBoard->setEnabled(face && face->Board);
}

// The live values and status LEDs as unknown (greyed) until their next reply arrives.
void TFormMain::MarkValuesStale() {
  for (const PollEntry &e : PollTable)
    if (e.MainControl) e.MainControl->setEnabled(false);
  for (TLedLittle *led : StatusLeds) led->SetLedColor(lcDarkGray);
}

// --- Watchdog --------------------------------------------------------------------------------

void TFormMain::TimerActionsTimer() {
  if (TimerBusy) return;
  TimerBusy = true;
  if (!ReplyReceived && Comm32->Enabled() && TicksSince(LastRequestTick) > WatchdogTimeout) {
    TimeoutActions();
    StartResync();
  }
  TimerBusy = false;
}

// Asks again once the line has been quiet for ResyncQuietMs; bytes that come meanwhile are
// late replies to requests already given up, and are dropped. A line that never goes quiet
// (stray bytes) is asked again after ResyncLimitMs all the same.
void TFormMain::StartResync() {
  ResyncPending = true;
  ResyncStartTick = TickCount();
  ResyncTimer->start(ResyncQuietMs);
}

void TFormMain::StopResync() {
  ResyncPending = false;
  ResyncTimer->stop();
}

void TFormMain::TimeoutActions() {
  Comm32->PurgeIn();
  Comm32->PurgeOut();
  ReplyReceived = true;
  BoardIdentified = false;
  RestartPending = false;
  PollTable[PollRow::ControllerVersion].PageFilter = -1;
  ShowBoardFace(nullptr);
  MarkValuesStale();
  SetStatusTexts(TextSilent1, TextSilent2);
}

// --- The poll cycle ----------------------------------------------------------------------------

void TFormMain::customEvent(QEvent *e) {
  if (int(e->type()) == PollMessage) RunGuarded(this, [this] { PollMessageHandler(); });
}

void TFormMain::PollMessageHandler() {
  if (!Comm32->Enabled()) return;
  if (!ReplyReceived) {
    if (TicksSince(LastRequestTick) > WatchdogTimeout) {
      TimeoutActions();
      StartResync();
    }
    return;
  }
  if (!PollingEnabled || DetectionRunning || ResyncPending) return;
  ReplyReceived = false;
  if (PollIndex == 2 && GraphHooks) GraphHooks->NextGraphSample();
  SendPollRequest();
  LastRequestTick = TickCount();
}

void TFormMain::SendPollRequest() {
  auto jumpByBoard = [this] {
    if (BoardKind == 2) PollIndex = 75;
    else if (BoardKind == 3) PollIndex = 81;
  };
  const int i = PollIndex;
  if (i >= 64 && i <= 70) {
    jumpByBoard();
    SendCommand(1, GetParameter, PollTable[PollIndex].Datagram, uint8_t(SelectedMotor), 0, false, false);
  } else if (i >= 58 && i <= 63) {
    const int motor = (i - 58) / 2;
    jumpByBoard();
    SendCommand(1, GetParameter, PollTable[PollIndex].Datagram, uint8_t(motor), 0, false, false);
  } else if (i >= 81 && i <= 88) {
    if (BoardKind != 3) SendRestartRequest();
    else SendCommand(1, GetParameter, PollTable[i].Datagram, uint8_t(SelectedMotor), 0, false, false);
  } else if (i >= 71 && i <= 74) {
    SendCommandBytes(1, SpiTransfer, 4, 0, {PollTable[i].Datagram, 0, 0, 0}, false, false);
  } else if (i >= 75 && i <= 80) {
    if (BoardKind != 2) SendRestartRequest();
    else SendCommand(1, GetParameter, PollTable[i].Datagram, uint8_t((i - 75) / 2), 0, false, false);
  } else {
    WaitForEmptyOutput();
    SendDatagram(PollTable[i].Datagram, 0, 0, 0);
  }
}

void TFormMain::SendRestartRequest() {
  PollIndex = 1;
  CycleStartFlag = true;
  WaitForEmptyOutput();
  SendDatagram(PollTable[1].Datagram, 0, 0, 0);
}

// A port whose output never drains (a device gone while open) must not stop the program.
void TFormMain::WaitForEmptyOutput() {
  if (Comm32->OutQueCount() == 0) return;
  WaitFor([this] { return Comm32->OutQueCount() == 0; }, OutputDrainLimitMs, 1);
}

void TFormMain::Comm32RxChar(int Count) {
  if (ResyncPending) {
    // Bytes after a timeout with nothing asked: a late reply. Keep what a late answer to the
    // version query tells, drop the rest, and wait for the line to go quiet.
    if (Count == BoardFrameSize) TakeLateVersionReply();
    Comm32->PurgeIn();
    if (TicksSince(ResyncStartTick) < uint32_t(ResyncLimitMs)) ResyncTimer->start(ResyncQuietMs);
    return;
  }
  if (Count != BoardFrameSize) return;
  Comm32->Read(ReplyFrame.data(), BoardFrameSize);
  ReplyReceived = true;
  CommandAnswered = true;
  std::copy(ReplyFrame.begin() + 4, ReplyFrame.end() - 1, ReplyValue.begin());
  const uint8_t command = ReplyFrame[3];
  if (command != SpiTransfer && command != GetParameter)
    BoardVersionText = QByteArray(reinterpret_cast<const char *>(ReplyFrame.data()) + 1, 8);
  else if (PollingEnabled)
    RouteReply();
  if (!BoardIdentified) Identify();
  Advance();
  ReplyReceived = true;
  RestartPending = false;
  PostPollMessage();
}

void TFormMain::TakeLateVersionReply() {
  BoardFrame frame{};
  if (Comm32->Read(frame.data(), BoardFrameSize) != BoardFrameSize || !BoardReply{frame}.IsVersion()) return;
  BoardVersionText = QByteArray(reinterpret_cast<const char *>(frame.data()) + 1, 8);
  if (!BoardIdentified) Identify();
}

void TFormMain::RouteReply() {
  const PollEntry &e = PollTable[PollIndex];
  int Value = 0;
  if (ReplyFrame[3] == SpiTransfer) {
    RouteControllerReply(e, Value);
  } else {
    Value = BoardReply{ReplyFrame}.Value();
    CallHandler(e);
  }
  if (LogHooks && LogHooks->LoggingRunning() && LogHooks->IsLogged(PollIndex)) {
    try {
      LogValue(Value);
    } catch (const std::exception &err) {
      ReportLater(ErrorText(err));
    }
  }
}

void TFormMain::RouteControllerReply(const PollEntry &e, int &Value) {
  Value = ctl::DecodeValue(ReplyFrame[5], ReplyFrame[6], ReplyFrame[7], e.Format);
  const QString text = ctl::ValueText(Value, e.Format);
  if (e.MainControl) {
    e.MainControl->setText(text);
    e.MainControl->setEnabled(true);
  }
  CallHandler(e);
  if (e.EditorControl && EditorShown) e.EditorControl->setText(text);
  if (GraphHooks && PollIndex >= PollRow::FirstMotorRegister && PollIndex < PollRow::FirstGlobal) {
    const int motor = (PollIndex - PollRow::FirstMotorRegister) / 16;
    switch ((PollIndex - PollRow::FirstMotorRegister) % 16) {
    case ctl::X_ACTUAL: GraphHooks->SetPositionSample(Value, motor); break;
    case ctl::V_ACTUAL: GraphHooks->SetVelocitySample(Value, motor); break;
    case ctl::V_TARGET: GraphHooks->SetTargetVelocitySample(Value, motor); break;
    case ctl::A_ACTUAL: GraphHooks->SetAccelerationSample(Value, motor); break;
    default: break;
    }
  }
  if (PollIndex <= PollRow::LastController) SetStatusLeds(ReplyFrame[4]);
}

// A window's handler that fails is reported (see ReportLater); the rest of the reply's routing,
// its log value included, and the cycle go on.
void TFormMain::CallHandler(const PollEntry &e) {
  if (!e.Handler) return;
  try {
    e.Handler(ReplyFrame[5], ReplyFrame[6], ReplyFrame[7]);
  } catch (const std::exception &err) {
    ReportLater(ErrorText(err));
  }
}

void TFormMain::LogValue(int Value) {
  if (CycleStartFlag) {
    if (PendingValueCount == LogHooks->LogColumnCount()) LogHooks->WriteLogLine(PendingLogLine);
    PendingLogLine = QString::number(TicksSince(LogHooks->LogStartTick())) + u';' + QString::number(Value);
    PendingValueCount = 1;
    CycleStartFlag = false;
  } else {
    PendingLogLine += u';' + QString::number(Value);
    ++PendingValueCount;
  }
}

void TFormMain::Advance() {
  if (PollIndex == 88 || RestartPending) {
    PollIndex = 0;
    CycleStartFlag = true;
    return;
  }
  for (;;) {
    if (PollIndex == 88) {
      PollIndex = 0;
      CycleStartFlag = true;
    } else {
      ++PollIndex;
    }
    const int filter = PollTable[PollIndex].PageFilter;
    if (filter == -1 || (EditorShown && filter == EditorPage)) return;
  }
}

void TFormMain::SetStatusLeds(uint8_t status) {
  for (int bit = 0; bit < 8; ++bit)
    StatusLeds[bit]->SetLedColor(IfThenLedColor(status >> bit & 1, lcCyan, lcDarkCyan));
}

void TFormMain::ShowControllerVersion(uint8_t B5, uint8_t B6, uint8_t B7) {
  PollTable[PollRow::ControllerVersion].PageFilter = 255;
  ControllerVersionText = ctl::ChipVersionText(B5, B6, B7);
}

// An error of a handler or of the log is shown once; while it keeps coming (every cycle, say)
// it is not shown again until it has stopped for HandlerErrorQuietMs after the box was closed.
void TFormMain::ReportLater(const QString &text) {
  const bool keepsComing = HandlerErrorSeen && TicksSince(LastHandlerErrorTick) < HandlerErrorQuietMs;
  HandlerErrorSeen = true;
  LastHandlerErrorTick = TickCount();
  if (ErrorShowing || keepsComing) return;
  ErrorShowing = true;
  QTimer::singleShot(0, this, [this, text] {
    RunGuarded(this, [text] { throw EEvalError(text); });
    ErrorShowing = false;
    LastHandlerErrorTick = TickCount();
  });
}

QString TFormMain::ErrorText(const std::exception &err) {
  const auto *evalError = dynamic_cast<const EEvalError *>(&err);
  return evalError ? evalError->Text : QString::fromLocal8Bit(err.what());
}
