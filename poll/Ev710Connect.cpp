// The main window's side of the connection: the port list, Open and Close, and what the board
// session reports (status texts, the identified board, the status LEDs, stale values).
#include <QApplication>
#include <QCloseEvent>
#include "BoardSession.h"
#include "ChannelServer.h"
#include "Ev710Guard.h"
#include "LiveValues.h"
#include <QTimer>
#include "Ev710Main.h"
#include "Ev710Registers.h"
#include "Ev710Version.h"
#include "LedLittle.h"
#include "PortDiscovery.h"
#include "PortSettings.h"

// --- Creation steps ------------------------------------------------------------------------

void TFormMain::InitPortList() {
  const PortDiscoveryResult found = DiscoverPorts(SystemPorts(), ReadRememberedPort(SettingsFilePath()));
  ComboCOM->clear();
  ComboCOM->addItems(found.Entries);
  ComboCOM->setCurrentIndex(found.SelectedIndex);
}

// A board plugged in since the last scan appears. The selected port stays selected, and stays
// in the list even when its device has gone, until another one is chosen.
void TFormMain::RefreshPortList() {
  const QString selected = ComboCOM->currentText();
  QStringList entries = DiscoverPorts(SystemPorts(), {}).Entries;
  if (!selected.isEmpty() && PortEntryIndex(entries, PortNameOf(selected)) < 0) entries.append(selected);
  ComboCOM->clear();
  ComboCOM->addItems(entries);
  ComboCOM->setCurrentIndex(PortEntryIndex(entries, PortNameOf(selected)));
}

void TFormMain::SelectPort(const QString &name) {
  QStringList entries;
  for (int i = 0; i < ComboCOM->count(); ++i) entries.append(ComboCOM->itemText(i));
  int index = PortEntryIndex(entries, name);
  if (index < 0) {
    ComboCOM->addItem(name);
    index = ComboCOM->count() - 1;
  }
  ComboCOM->setCurrentIndex(index);
}

void TFormMain::ConnectSession() {
  connect(Session, &TBoardSession::LinkStateChanged, this, &TFormMain::ShowLinkState);
  connect(Session, &TBoardSession::BoardFaceChanged, this, &TFormMain::ShowBoardFace);
  connect(Session, &TBoardSession::ValuesStale, this, &TFormMain::MarkValuesStale);
  connect(Session, &TBoardSession::StatusByte, this, &TFormMain::SetStatusLeds);
  connect(Session, &TBoardSession::RepliesDiscarded, this, &TFormMain::ShowDiscardedReplies);
  connect(Session, &TBoardSession::ErrorReported, this, &TFormMain::ShowSessionError);
  connect(Channel, &ctltool::ChannelServer::RequestStarted, this, &TFormMain::ShowScriptActivity);
  ScriptActivityShown = new QTimer(this);
  ScriptActivityShown->setSingleShot(true);
  ScriptActivityShown->setInterval(3000);
  connect(ScriptActivityShown, &QTimer::timeout, this, [this] {
    if (StaticInfo2->text().startsWith(QLatin1String("A script drives the board:"))) StaticInfo2->setText(TextBeforeScript);
  });
}

void TFormMain::RegisterPollControls() {
  QLabel *const xAct[] = {StaticXAct1, StaticXAct2, StaticXAct3};
  QLabel *const vTarget[] = {StaticVTarget1, StaticVTarget2, StaticVTarget3};
  QLabel *const vAct[] = {StaticVAct1, StaticVAct2, StaticVAct3};
  QLabel *const aAct[] = {StaticAAct1, StaticAAct2, StaticAAct3};
  for (int m = 0; m < 3; ++m) {
    LiveLabels[size_t(m)] = {xAct[m], vTarget[m], vAct[m], aAct[m]};
    const int rows[] = {ctl::X_ACTUAL, ctl::V_TARGET, ctl::V_ACTUAL, ctl::A_ACTUAL};
    for (size_t i = 0; i < 4; ++i) Session->Entry(PollRow::MotorRegister(m, rows[i])).ShowMain = LiveLabel(LiveLabels[size_t(m)][i]);
  }
  StatusLeds = {LedXReached1, LedReference1, LedXReached2, LedReference2,
                LedXReached3, LedReference3, LedCoverWaiting, LedInterrupt};
}

void TFormMain::SetToolWindows(const TToolWindows &w) { Windows = w; }

// --- Open and close ------------------------------------------------------------------------

void TFormMain::BtnOpenClick() {
  Session->Open(ComboCOM->currentText());
  Channel->Listen(ComboCOM->currentText());
  ErrorThrottle.ForgetClosed();
  BtnOpen->setEnabled(false);
  BtnClose->setEnabled(true);
  StartDetection();
  BtnCmd705->setEnabled(true);
  BtnLogging->setEnabled(true);
  ComboCOM->setEnabled(false);
  for (QWidget *w : std::initializer_list<QWidget *>{BtnStop1, BtnStop2, BtnStop3, BtnGo1, BtnGo2, BtnGo3,
                                                      BtnStopAll, BtnGoAll, BtnGraphics})
    w->setEnabled(true);
  Session->StartPolling();
}

void TFormMain::StartDetection() {
  Session->StartDetection();
  if (Windows.FormAdvanced && Windows.FormAdvanced->isVisible()) Windows.FormAdvanced->close();
}

void TFormMain::BtnCloseClick() {
  for (QWidget *w : {Windows.FormAdvanced, Windows.FormGraphics, Windows.FormQVR533, Windows.FormBoard, Windows.FormQVR730})
    if (w && w->isVisible()) w->close();
  Channel->Close();
  Session->Close();
  BtnOpen->setEnabled(true);
  ComboCOM->setEnabled(true);
  for (QWidget *w : std::initializer_list<QWidget *>{BtnClose, BtnCmd705, BtnStop1, BtnStop2, BtnStop3, BtnGo1,
                                                      BtnGo2, BtnGo3, BtnStopAll, BtnGoAll, BtnGraphics})
    w->setEnabled(false);
  ShowNoPortTexts();
}

void TFormMain::FormClose() {
  Channel->Close();
  Session->Close();
  const QString path = SettingsFilePath();
  if (!StoreRememberedPort(path, {ComboCOM->currentIndex(), PortNameOf(ComboCOM->currentText())}))
    throw EEvalError(QStringLiteral("Cannot write the settings file ") + path +
                     QStringLiteral(", so the chosen port is not remembered."));
}

void TFormMain::closeEvent(QCloseEvent *e) {
  RunGuarded(this, [this] { FormClose(); });
  e->accept();
}

// --- What the session reports ------------------------------------------------------------------

void TFormMain::ShowLinkState(TLinkState state) {
  switch (state) {
  case TLinkState::Detecting: SetStatusTexts(QStringLiteral("Trying to detect the board."), QString()); break;
  case TLinkState::Active: break;  // the identified board's texts (ShowBoardFace)
  case TLinkState::Silent:
    SetStatusTexts(QStringLiteral("The board does not respond."), QStringLiteral("Please check the cable and the power."));
    break;
  }
}

// The board's name in the title and the status texts, and its buttons: shown and enabled only
// for a board identified on this Open that answers; null shows no board.
void TFormMain::ShowBoardFace(const TBoardFace *face) {
  const QString board = face ? QStringLiteral("QVR710+%1-EVAL").arg(QLatin1String(face->Family)) : DesignCaption;
  QApplication::setApplicationName(board);
  setWindowTitle(board + QStringLiteral(" V") + ShortVersionText(GetFileVersionText()));
  BoardActive = face != nullptr;
  if (face) {
    SetStatusTexts(ActiveText(), board + QStringLiteral(" board detected!"));
    BtnQVR533->setVisible(face->Qvr533);
    BtnQVR730->setVisible(face->Qvr730);
    BtnQVR515->setVisible(face->Qvr515);
    BtnQVR550->setVisible(face->Qvr550);
    BtnBoard->setVisible(face->Board);
    CloseForeignWindows(*face);
  }
  const TBoardKind kind = face ? face->Kind : TBoardKind::None;
  BtnQVR533->setEnabled(kind == TBoardKind::NewerDrivers);
  BtnQVR730->setEnabled(kind == TBoardKind::NewerDrivers);
  BtnQVR515->setEnabled(kind == TBoardKind::OlderDrivers);
  BtnQVR550->setEnabled(kind == TBoardKind::Qvr550);
  BtnBoard->setEnabled(face && face->Board);
  BtnSaveSetup->setEnabled(face != nullptr);
  BtnLoadSetup->setEnabled(face != nullptr);
}

// A failure of a poll handler or of the log: shown after the reply's routing, once while the
// same text keeps coming.
void TFormMain::ShowSessionError(const QString &text) {
  if (!ErrorThrottle.Admit(text)) return;
  QTimer::singleShot(0, this, [this, text] {
    RunGuarded(nullptr, [text] { throw EEvalError(text); });
    ErrorThrottle.Closed(text);
  });
}

// A command of qvr710-ctl run through the channel shows for a moment who moves the board.
void TFormMain::ShowScriptActivity(const QStringList &args) {
  const QString prefix = QStringLiteral("A script drives the board: ");
  if (!StaticInfo2->text().startsWith(prefix)) TextBeforeScript = StaticInfo2->text();
  StaticInfo2->setText(prefix + args.join(u' '));
  ScriptActivityShown->start();
}

// The active board's status says how many replies were not used, so a bad line is not silent.
QString TFormMain::ActiveText() const {
  if (DiscardedReplies == 0) return QStringLiteral("The board is active.");
  return QStringLiteral("The board is active (%1 bad %2 discarded).")
      .arg(DiscardedReplies)
      .arg(DiscardedReplies == 1 ? QStringLiteral("reply") : QStringLiteral("replies"));
}

void TFormMain::ShowDiscardedReplies(int count) {
  DiscardedReplies = count;
  if (BoardActive) StaticInfo1->setText(ActiveText());
}

// Windows of drivers the identified board does not have would go on showing the previous
// board's values over it: they close, and their buttons are hidden.
void TFormMain::CloseForeignWindows(const TBoardFace &face) {
  const std::pair<QWidget *, bool> windows[] = {
      {Windows.FormQVR533, face.Qvr533},
      {Windows.FormQVR730, face.Qvr730},
      {Windows.FormQVR51x, face.Qvr515},
      {Windows.FormQVR550, face.Qvr550},
      {Windows.FormBoard, face.Board && face.Kind == TBoardKind::NewerDrivers},
      {Windows.FormBoard51x, face.Board && face.Kind == TBoardKind::OlderDrivers},
  };
  for (const auto &[window, offered] : windows)
    if (window && !offered && window->isVisible()) window->close();
}

// The live values and status LEDs as unknown (greyed) until their next reply arrives.
void TFormMain::MarkValuesStale() {
  for (const auto &motor : LiveLabels)
    for (QLabel *label : motor) label->setEnabled(false);
  for (TLedLittle *led : StatusLeds) led->SetLedColor(lcDarkGray);
}

void TFormMain::SetStatusLeds(uint8_t status) {
  const ctl::ControllerStatus bits = ctl::DecodeStatus(status);
  for (size_t bit = 0; bit < StatusLeds.size(); ++bit)
    StatusLeds[bit]->SetLedColor(IfThenLedColor(bits.Bit[bit], lcCyan, lcDarkCyan));
}
