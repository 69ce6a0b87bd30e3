// The main window's face: creation, initial control states, the ramp-mode enable table, the
// status texts and the one place where the window's controls are connected to their handlers.
#include "Ev710Main.h"
#include <QLayout>
#include <QLocale>
#include <QShortcut>
#include "ChannelServer.h"
#include "Ev710Guard.h"
#include "Ev710Version.h"
#include "Hint95.h"
#include "LedLittle.h"
#include "SpinEdit.h"
#include "ToolWindow.h"

const QString TFormMain::DesignCaption = QStringLiteral("QVR710+QVR5xx-EVAL");

TFormMain::TFormMain(QWidget *parent)
    : QWidget(parent), Session(new TBoardSession(this)), Channel(new ctltool::ChannelServer(*Session, this)) {
  SetUpToolWindow(this, [this](QWidget *form) { setupUi(form); });
  Hint95 = new THint95(this, 200);
  Status = new TStatusLine(StaticInfo1, StaticInfo2,
                           {LedXReached1, LedReference1, LedXReached2, LedReference2, LedXReached3, LedReference3,
                            LedCoverWaiting, LedInterrupt},
                           this);
  SetEditRanges();
  FormCreate();
  ConnectHandlers();
}

TFormMain::~TFormMain() = default;

void TFormMain::FormCreate() {
  setWindowTitle(DesignCaption + QStringLiteral(" V") + ShortVersionText(GetFileVersionText()));
  KeepBoardButtonPlaces();
  QLocale::setDefault(QLocale::c());  // "." as decimal and "," as thousands separator
  InitPortList();
  ConnectSession();
  SetInitialControlStates();
  for (QComboBox *ramp : {CbRampMode1, CbRampMode2, CbRampMode3}) ramp->setCurrentIndex(0);
  CbRampMode1Change();
  CbRampMode2Change();
  CbRampMode3Change();
  RegisterPollControls();
  MarkValuesStale();
}

// The window keeps the size its layout gives it (SetUpToolWindow). The buttons that
// identification hides or shows keep their place, so nothing moves when they do.
void TFormMain::KeepBoardButtonPlaces() {
  for (QWidget *w : {BtnQVR533, BtnQVR515, BtnQVR550, BtnQVR730, BtnBoard}) {
    QSizePolicy policy = w->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    w->setSizePolicy(policy);
  }
}

void TFormMain::SetInitialControlStates() {
  BtnOpen->setEnabled(true);
  for (QWidget *w : std::initializer_list<QWidget *>{BtnClose, BtnCmd705, BtnStop1, BtnStop2, BtnStop3, BtnGo1,
                                                      BtnGo2, BtnGo3, BtnStopAll, BtnGoAll, BtnGraphics})
    w->setEnabled(false);
  Status->ShowNoPort();
}

// --- Motor edits ----------------------------------------------------------------------------

TFormMain::TMotorLabels TFormMain::MotorLabels(int motor) const {
  switch (motor) {
    case 1: return {LblXTarget2, LblVTarget2, LblVMin2, LblVMax2, LblAMax2, LblEVAct2};
    case 2: return {LblXTarget3, LblVTarget3, LblVMin3, LblVMax3, LblAMax3, LblEVact3};
    default: return {LblXTarget1, LblVTarget1, LblVMin1, LblVMax1, LblAMax1, LblEVact1};
  }
}

void TFormMain::SetEditRanges() {
  struct Range {
    TSpinEdit *TMotorEdits::*Edit;
    int Min, Max;
  };
  static constexpr Range ranges[] = {
      {&TMotorEdits::XTarget, -8388608, 8388607}, {&TMotorEdits::VTarget, -2048, 2047},
      {&TMotorEdits::VMin, 0, 2047},              {&TMotorEdits::VMax, 0, 2047},
      {&TMotorEdits::AMax, 0, 2047},              {&TMotorEdits::VActual, -2047, 2047},
  };
  for (int motor = 0; motor < 3; ++motor) {
    const TMotorEdits edits = MotorEdits(motor);
    for (const Range &r : ranges) {
      (edits.*r.Edit)->SetMinValue(r.Min);
      (edits.*r.Edit)->SetMaxValue(r.Max);
    }
  }
  // V_TARGET holds 12 bits; motor 3's register takes -2047..2047.
  EditVTarget3->SetMinValue(-2047);
  for (int motor = 0; motor < 3; ++motor) {
    const TMotorEdits e = MotorEdits(motor);
    const TMotorLabels l = MotorLabels(motor);
    const std::pair<TSpinEdit *, QLabel *> named[] = {{e.XTarget, l.XTarget}, {e.VTarget, l.VTarget}, {e.VMin, l.VMin},
                                                      {e.VMax, l.VMax},       {e.AMax, l.AMax},       {e.VActual, l.VActual}};
    for (const auto &[edit, label] : named) {
      const QString name = label->text().remove(u'&').remove(u':');
      edit->setToolTip(QStringLiteral("%1: %2. A value beyond the range is set to the nearest limit.")
                           .arg(name, edit->RangeText()));
    }
  }
}

// Enables the edits (and their labels) that the selected ramp mode uses; no selection
// disables them all.
void TFormMain::ApplyRampMode(int motor) {
  struct Row {
    TSpinEdit *TMotorEdits::*Edit;
    QLabel *TMotorLabels::*Label;
    bool On[4];  // RAMP, SOFTMODE, VELOCITY, HOLD
  };
  static constexpr Row table[] = {
      {&TMotorEdits::AMax, &TMotorLabels::AMax, {true, true, true, false}},
      {&TMotorEdits::VMax, &TMotorLabels::VMax, {true, true, false, false}},
      {&TMotorEdits::VMin, &TMotorLabels::VMin, {true, true, false, false}},
      {&TMotorEdits::XTarget, &TMotorLabels::XTarget, {true, true, false, false}},
      {&TMotorEdits::VTarget, &TMotorLabels::VTarget, {false, false, true, false}},
      {&TMotorEdits::VActual, &TMotorLabels::VActual, {false, false, false, true}},
  };
  const TMotorEdits edits = MotorEdits(motor);
  const TMotorLabels labels = MotorLabels(motor);
  const int mode = edits.RampMode->currentIndex();
  for (const Row &row : table) {
    const bool on = mode >= 0 && mode < 4 && row.On[mode];
    (edits.*row.Edit)->setEnabled(on);
    (labels.*row.Label)->setEnabled(on);
  }
}

void TFormMain::CbRampMode1Change() { ApplyRampMode(0); }
void TFormMain::CbRampMode2Change() { ApplyRampMode(1); }
void TFormMain::CbRampMode3Change() { ApplyRampMode(2); }

// --- Handlers ---------------------------------------------------------------------------------

void TFormMain::ConnectHandlers() {
  using Handler = void (TFormMain::*)();
  const std::pair<QPushButton *, Handler> buttons[] = {
      {BtnOpen, &TFormMain::BtnOpenClick},         {BtnClose, &TFormMain::BtnCloseClick},
      {BtnCmd705, &TFormMain::BtnCmd705Click},     {BtnGraphics, &TFormMain::BtnGraphicsClick},
      {BtnLogging, &TFormMain::BtnLoggingClick},   {BtnQVR533, &TFormMain::BtnQVR533Click},
      {BtnQVR515, &TFormMain::BtnQVR515Click},     {BtnQVR550, &TFormMain::BtnQVR550Click},
      {BtnQVR730, &TFormMain::BtnQVR730Click},     {BtnBoard, &TFormMain::BtnBoardClick},
      {BtnGoAll, &TFormMain::BtnGoAllClick},       {BtnStopAll, &TFormMain::BtnStopAllClick},
      {BtnSaveSetup, &TFormMain::BtnSaveSetupClick}, {BtnLoadSetup, &TFormMain::BtnLoadSetupClick},
  };
  for (const auto &[button, handler] : buttons)
    connect(button, &QPushButton::clicked, this, Guarded(this, [this, handler = handler] { (this->*handler)(); }));
  connect(ComboCOM, &TPortComboBox::PopupAboutToShow, this, Guarded(this, [this] { RefreshPortList(); }));

  // Go and Stop share one handler per kind; the pressed button tells the motor.
  using SenderHandler = void (TFormMain::*)(QObject *);
  const std::pair<QPushButton *, SenderHandler> motorButtons[] = {
      {BtnGo1, &TFormMain::BtnGo1Click},     {BtnGo2, &TFormMain::BtnGo1Click},
      {BtnGo3, &TFormMain::BtnGo1Click},     {BtnStop1, &TFormMain::BtnStop1Click},
      {BtnStop2, &TFormMain::BtnStop1Click}, {BtnStop3, &TFormMain::BtnStop1Click},
  };
  for (const auto &[button, handler] : motorButtons)
    connect(button, &QPushButton::clicked, this,
            Guarded(this, [this, button = button, handler = handler] { (this->*handler)(button); }));

  for (QPushButton *go : {BtnGo1, BtnGo2, BtnGo3, BtnGoAll})
    connect(go, &QPushButton::pressed, this, [this, go] { GoPressedAt[go] = Session->Commands().StopCount(); });

  const std::pair<QComboBox *, Handler> rampModes[] = {
      {CbRampMode1, &TFormMain::CbRampMode1Change},
      {CbRampMode2, &TFormMain::CbRampMode2Change},
      {CbRampMode3, &TFormMain::CbRampMode3Change},
  };
  for (const auto &[combo, handler] : rampModes)
    connect(combo, &QComboBox::currentIndexChanged, this, Guarded(this, [this, handler = handler] { (this->*handler)(); }));

  // Esc stops all motors from every window of the program, as "All Stop" does: the user may be
  // watching the graphics window while a motor runs. A modal dialog (the warning, a message)
  // blocks it and keeps Esc for itself, and so do open drop-down lists and cell editors.
  auto *stopKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  stopKey->setContext(Qt::ApplicationShortcut);
  connect(stopKey, &QShortcut::activated, this, Guarded(this, [this] {
            if (BtnStopAll->isEnabled()) BtnStopAllClick();
          }));
  BtnStopAll->setToolTip(BtnStopAll->toolTip() + QStringLiteral("\nEsc does the same in every window of the program."));
}
