// Connection lifecycle, board identification, the watchdog and the reply-driven poll cycle.
#include <QApplication>
#include <QCloseEvent>
#include <QTimer>
#include "BoardFrames.h"
#include "Ev710Guard.h"
#include "Ev710Main.h"
#include "Ev710Utils.h"
#include "Ev710Version.h"
#include "LedLittle.h"
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
    ResyncPending = false;
    Comm32->PurgeIn();
    PostPollMessage();
  });
  connect(Comm32, &TComm32::OnRxChar, this, [this](int count) { Comm32RxChar(count); });
}

void TFormMain::RegisterPollControls() {
  PollTable = InitialPollTable();
  QLabel *const xAct[] = {StaticXAct1, StaticXAct2, StaticXAct3};
  QLabel *const vTarget[] = {StaticVTarget1, StaticVTarget2, StaticVTarget3};
  QLabel *const vAct[] = {StaticVAct1, StaticVAct2, StaticVAct3};
  QLabel *const aAct[] = {StaticAAct1, StaticAAct2, StaticAAct3};
  for (int m = 0; m < 3; ++m) {
    PollTable[2 + 16 * m].MainControl = xAct[m];
    PollTable[5 + 16 * m].MainControl = vTarget[m];
    PollTable[6 + 16 * m].MainControl = vAct[m];
    PollTable[8 + 16 * m].MainControl = aAct[m];
  }
  PollTable[0].Handler = [this](uint8_t b5, uint8_t b6, uint8_t b7) { ShowControllerVersion(b5, b6, b7); };
  StatusLeds = {LedXReached1, LedReference1, LedXReached2, LedReference2,
                LedXReached3, LedReference3, LedCoverWaiting, LedInterrupt};
}

void TFormMain::SetToolWindows(const TToolWindows &w) { Windows = w; }

// --- Open and close ------------------------------------------------------------------------

void TFormMain::BtnOpenClick() {
  Comm32->DeviceName = QStringLiteral("\\\\.\\") + ExtractField(ComboCOM->currentText(), u' ', 1);
  Comm32->Open();
  if (!Comm32->Enabled())
    throw EEvalError(QStringLiteral("Could not open port ") + ComboCOM->currentText() + QStringLiteral("."));
  BtnOpen->setEnabled(false);
  BtnClose->setEnabled(true);
  StartDetection();
  BtnCmd705->setEnabled(true);
  BtnQVR533->setEnabled(BoardKind == 1);
  BtnQVR730->setEnabled(BoardKind == 1);
  BtnQVR515->setEnabled(BoardKind == 2);
  BtnQVR550->setEnabled(BoardKind == 3);
  BtnLogging->setEnabled(true);
  PollIndex = 0;
  ReplyReceived = true;
  PollingEnabled = true;
  TimerActions->start();
  BoardIdentified = false;
  ComboCOM->setEnabled(false);
  for (QWidget *w : std::initializer_list<QWidget *>{BtnStop1, BtnStop2, BtnStop3, BtnGo1, BtnGo2, BtnGo3,
                                                      BtnStopAll, BtnGoAll, BtnGraphics, BtnBoard})
    w->setEnabled(true);
  // The cycle starts with a single request. When the version query went unanswered, its reply
  // may still come: the first request waits for a quiet line, as after a timeout.
  if (CommandAnswered) PostPollMessage();
  else StartResync();
}

void TFormMain::StartDetection() {
  RestartPending = true;
  // Identify afresh, so that the buttons enabled below fit the board now attached even when
  // another board was identified before in this run.
  BoardIdentified = false;
  // The version reply is routed while this waits; the cycle itself starts only afterwards,
  // so that exactly one request is ever outstanding.
  DetectionRunning = true;
  SendCommand(1, GetVersion, 0, 0, 0, true, false);
  DetectionRunning = false;
  LastRequestTick = TickCount();
  SetStatusTexts(TextDetecting, QString());
  PollTable[0].PageFilter = -1;
  if (Windows.FormAdvanced && Windows.FormAdvanced->isVisible()) Windows.FormAdvanced->close();
}

void TFormMain::BtnCloseClick() {
  TimerActions->stop();
  ResyncTimer->stop();
  ResyncPending = false;
  for (QWidget *w : {Windows.FormAdvanced, Windows.FormGraphics, Windows.FormQVR533, Windows.FormBoard, Windows.FormQVR730})
    if (w && w->isVisible()) w->close();
  if (LogHooks) LogHooks->StopLogging();
  Comm32->Close();
  BtnOpen->setEnabled(true);
  ComboCOM->setEnabled(true);
  for (QWidget *w : std::initializer_list<QWidget *>{BtnClose, BtnCmd705, BtnQVR533, BtnQVR730, BtnQVR515,
                                                      BtnStop1, BtnStop2, BtnStop3, BtnGo1, BtnGo2, BtnGo3,
                                                      BtnStopAll, BtnGoAll, BtnGraphics, BtnBoard})
    w->setEnabled(false);
  ShowNoPortTexts();
}

void TFormMain::FormClose() {
  TimerActions->stop();
  if (LogHooks) LogHooks->StopLogging();
  Comm32->Close();
  StoreRememberedPortIndex(SettingsFilePath(), ComboCOM->currentIndex());
}

void TFormMain::closeEvent(QCloseEvent *e) {
  RunGuarded(this, [this] { FormClose(); });
  e->accept();
}

void TFormMain::showEvent(QShowEvent *e) { QWidget::showEvent(e); }

// --- Identification --------------------------------------------------------------------------

void TFormMain::Identify() {
  const QByteArray &v = BoardVersionText;
  const QString shortVersion = ShortVersionText(GetFileVersionText());
  auto identified = [&](int kind, const QString &family) {
    BoardKind = uint8_t(kind);
    BoardIdentified = true;
    const QString board = QStringLiteral("QVR710+%1-EVAL").arg(family);
    SetStatusTexts(TextActive, board + QStringLiteral(" board detected!"));
    QApplication::setApplicationName(board);
    setWindowTitle(board + QStringLiteral(" V") + shortVersion);
  };
  // BtnQVR533, BtnQVR515 and BtnQVR550 share one place: only the board's own is shown, and a
  // board with settings shows BtnBoard again after one without.
  if (v.startsWith("710") || v.startsWith("4706")) {
    identified(1, QStringLiteral("QVR53x"));
    BtnQVR533->show();
    BtnQVR730->show();
    BtnQVR515->hide();
    BtnQVR550->hide();
    BtnBoard->show();
  } else if (v.startsWith("515")) {
    identified(2, QStringLiteral("QVR51x"));
    BtnQVR533->hide();
    BtnQVR730->hide();
    BtnQVR515->show();
    BtnQVR550->hide();
    BtnBoard->show();
  } else if (v.startsWith("936")) {
    identified(1, QStringLiteral("QVR53x"));
    BtnQVR533->show();
    BtnQVR730->hide();
    BtnQVR515->hide();
    BtnQVR550->hide();
    BtnBoard->hide();
  } else if (v.startsWith("937")) {
    identified(3, QStringLiteral("QVR550"));
    BtnQVR550->show();
    BtnQVR533->hide();
    BtnQVR730->hide();
    BtnQVR515->hide();
    BtnBoard->hide();
  }
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
// late replies to requests already given up, and are dropped.
void TFormMain::StartResync() {
  ResyncPending = true;
  ResyncTimer->start(ResyncQuietMs);
}

void TFormMain::TimeoutActions() {
  SetStatusTexts(TextSilent1, TextSilent2);
  Comm32->PurgeIn();
  Comm32->PurgeOut();
  ReplyReceived = true;
  BoardIdentified = false;
  RestartPending = false;
  PollTable[0].PageFilter = -1;
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
    ResyncTimer->start(ResyncQuietMs);
    return;
  }
  if (Count != BoardFrameSize) return;
  Comm32->Read(ReplyFrame.data(), BoardFrameSize);
  ReplyReceived = true;
  CommandAnswered = true;
  std::copy(ReplyFrame.begin() + 4, ReplyFrame.end() - 1, ReplyValue.begin());
  if (PollingEnabled) {
    try {
      RouteReply();
    } catch (const std::exception &err) {
      // A window's handler or the log failed: say so, and keep the cycle going.
      const auto *evalError = dynamic_cast<const EEvalError *>(&err);
      ReportLater(evalError ? evalError->Text : QString::fromLocal8Bit(err.what()));
    }
  }
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
  const uint8_t command = ReplyFrame[3];
  if (command == SpiTransfer) {
    RouteControllerReply(e, Value);
  } else if (command == GetParameter) {
    Value = BoardReply{ReplyFrame}.Value();
    if (e.Handler) e.Handler(ReplyFrame[5], ReplyFrame[6], ReplyFrame[7]);
  } else {
    BoardVersionText = QByteArray(reinterpret_cast<const char *>(ReplyFrame.data()) + 1, 8);
  }
  if (LogHooks && LogHooks->LoggingRunning() && PollIndex <= 95 && LogHooks->IsLogged(PollIndex)) LogValue(Value);
}

void TFormMain::RouteControllerReply(const PollEntry &e, int &Value) {
  const int raw = ReplyFrame[5] << 16 | ReplyFrame[6] << 8 | ReplyFrame[7];
  Value = e.Format > 0 ? SignExtend(raw, e.Format) : raw;
  const QString text = e.Format < 0 ? QStringLiteral("%1").arg(Value, -e.Format, 16, QLatin1Char('0')).toUpper()
                                    : QString::number(Value);
  if (e.MainControl) e.MainControl->setText(text);
  if (e.Handler) e.Handler(ReplyFrame[5], ReplyFrame[6], ReplyFrame[7]);
  if (e.EditorControl && EditorShown) e.EditorControl->setText(text);
  if (GraphHooks && PollIndex >= 2 && PollIndex <= 40) {
    const int motor = (PollIndex - 1) / 16, r = (PollIndex - 1) % 16;
    if (r == 1) GraphHooks->SetPositionSample(Value, motor);
    else if (r == 5) GraphHooks->SetVelocitySample(Value, motor);
    else if (r == 4) GraphHooks->SetTargetVelocitySample(Value, motor);
    else if (r == 7) GraphHooks->SetAccelerationSample(Value, motor);
  }
  if (PollIndex <= 57) SetStatusLeds(ReplyFrame[4]);
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
  PollTable[0].PageFilter = 255;
  ControllerVersionText = QStringLiteral("QVR%1%2 V%3.%4")
                              .arg(B5, 2, 16, QLatin1Char('0'))
                              .arg(B6 >> 4, 1, 16)
                              .arg(B6 & 15, 1, 16)
                              .arg(B7, 2, 16, QLatin1Char('0'))
                              .toUpper();
}

void TFormMain::ReportLater(const QString &text) {
  if (ErrorShowing) return;  // one box at a time, however often a handler fails
  ErrorShowing = true;
  QTimer::singleShot(0, this, [this, text] {
    RunGuarded(this, [text] { throw EEvalError(text); });
    ErrorShowing = false;
  });
}
