#include "Ev710Board.h"
#include <QCloseEvent>
#include "BoardFrames.h"
#include "Ev710Guard.h"
#include "DriverRequests.h"

namespace {
enum ClockType : uint8_t { DriverClock = 0, ControllerClock = 1 };
enum InterfaceMode { StepDirection = 0, Spi = 1 };
}  // namespace

TFormBoard::TFormBoard(TBoardAccess &Board, QWidget *parent) : QWidget(parent), Board(Board) {
  SetUpToolWindow(this, [this](QWidget *form) { setupUi(form); });
  for (QPushButton *b : {BtnEnableMotor1, BtnEnableMotor2, BtnEnbaleMotor3})
    connect(b, &QPushButton::clicked, this, Guarded(this, [this, b] { BtnEnableMotor1Click(b); }));
  for (QPushButton *b : {BtnDisableMotor1, BtnDisableMotor2, BtnDisableMotor3})
    connect(b, &QPushButton::clicked, this, Guarded(this, [this, b] { BtnDisableMotor1Click(b); }));
  connect(BtnSetFreq, &QPushButton::clicked, this, Guarded(this, [this] { BtnSetFreqClick(); }));
  connect(BtnModeStepDir, &QPushButton::clicked, this, Guarded(this, [this] { BtnModeStepDirClick(); }));
  connect(BtnModeSPI, &QPushButton::clicked, this, Guarded(this, [this] { BtnModeSPIClick(); }));
}

void TFormBoard::BtnEnableMotor1Click(QObject *Sender) { SetDriverEnable(Sender, true); }

void TFormBoard::BtnDisableMotor1Click(QObject *Sender) { SetDriverEnable(Sender, false); }

void TFormBoard::SetDriverEnable(QObject *Sender, bool Enable) {
  TPollingPause pause(Board);
  SendWaited(Board, DriverEnable, 0, uint8_t(Sender->property("Tag").toInt()), Enable ? 1 : 0);
}

// The driver clock first; when it goes unanswered the controller clock is not sent.
void TFormBoard::BtnSetFreqClick() {
  TPollingPause pause(Board);
  SendWaited(Board, ClockSelect, DriverClock, 0, CbFreq53x->currentIndex());
  SendWaited(Board, ClockSelect, ControllerClock, 0, CbFreq710->currentIndex());
}

void TFormBoard::BtnModeStepDirClick() { SetInterfaceMode(StepDirection); }

void TFormBoard::BtnModeSPIClick() { SetInterfaceMode(Spi); }

void TFormBoard::SetInterfaceMode(int Mode) {
  TPollingPause pause(Board);
  SendWaited(Board, MotorInterfaceMode, 0, 0, Mode);
}

void TFormBoard::showEvent(QShowEvent *e) {
  QWidget::showEvent(e);
  IsShown = true;
}

void TFormBoard::closeEvent(QCloseEvent *e) {
  IsShown = false;
  e->accept();
}
