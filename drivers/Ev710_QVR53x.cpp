#include "Ev710_QVR53x.h"
#include "Ev710Guard.h"
#include "LedLittle.h"

namespace {
double RSenseOfMotor(int motor) { return motor == 0 ? 0.068 : 0.15; }
}  // namespace

TFormQVR533::TFormQVR533(TBoardAccess &Board, QWidget *parent)
    : TDriverForm(Board, TBoardKind::NewerDrivers, RSenseOfMotor(0), parent) {
  Board.Views().SelectedMotor = 0;
  CbChopConfChmChange();
  HookMotorPair();
  // The selected motor's rows, in the order of their parameters (182, 208, 207, 6, 168, 170, 172).
  const int row = PollRow::NewerDriverSelected;
  Hook(row, &TFormQVR533::ShowMicrostep);
  Hook(row + 1, &TFormQVR533::ShowStatusFlags);
  Hook(row + 2, &TFormQVR533::ShowLDPin);
  Hook(row + 3, &TFormQVR533::StoreCurrentScale);
  Hook(row + 4, &TFormQVR533::StoreTLIMin);
  Hook(row + 5, &TFormQVR533::StoreTLMax);
  Hook(row + 6, &TFormQVR533::StoreTLMin);
  connect(CbMotorSelect, &QComboBox::activated, this, Guarded(this, [this] { CbMotorSelectClick(); }));
  connect(CbChopConfChm, &QComboBox::currentIndexChanged, this, Guarded(this, [this] { CbChopConfChmChange(); }));
}

// Only the selected motor's TL/LD pair feeds this window; the other two pairs have no callback.
void TFormQVR533::HookMotorPair() {
  for (int motor = 0; motor < 3; ++motor) {
    const int tl = PollRow::NewerDriverPairs + 2 * motor;
    if (motor == SelectedMotor()) {
      Hook(tl, &TFormQVR533::ShowTLValue);
      Hook(tl + 1, &TFormQVR533::ShowLDValue);
    } else {
      Board.Entry(tl).Handler = nullptr;
      Board.Entry(tl + 1).Handler = nullptr;
    }
  }
}

void TFormQVR533::ShowLDPin(uint8_t, uint8_t, uint8_t b0) {
  LedDrvStatusLDPin->SetLedColor(IfThenLedColor(b0 & 1, lcCyan, lcDarkCyan));
}

// The DRVCONF settings come first on show, so the current calculation has its sense voltage.
void TFormQVR533::ReadPage(ReadReason Reason) {
  if (Reason == ReadReason::Show) ReadDrvConf();
  QWidget *page = ShownPage();
  if (page == TabDrvCtrl1) ReadDrvCtrl();
  else if (page == TabChopConf) ReadChopConf();
  else if (page == TabThriftLv) ReadThriftLv();
  else if (page == TabLdsConf) ReadLDCSConf();
  else if (page == TabDrvConf && Reason != ReadReason::Show) ReadDrvConf();
  else if (page == TabGraph && Reason != ReadReason::MotorChange) ReadLDCSConf();
}

// The chopper mode read from the board decides which fields follow.
void TFormQVR533::ReadChopConf() {
  TPollingPause pause(Board);
  const std::vector<DriverField> standard = GroupFields(Kind, DriverGroup::ChopConf, 0);
  ReadFields({standard[0], standard[1]});  // TBL, CHM
  CbChopConfChmChange();
  const std::vector<DriverField> fields = GroupFields(Kind, DriverGroup::ChopConf, ChopperMode());
  ReadFields({fields.begin() + 2, fields.end()});
}

void TFormQVR533::CbMotorSelectClick() {
  const int motor = CbMotorSelect->currentIndex();
  if (motor == SelectedMotor()) return;
  Board.Views().SelectedMotor = motor;
  HookMotorPair();
  EditRSense->SetValue(RSenseOfMotor(motor));
  History.Restart();
  RedrawGraph();
  ReadPage(ReadReason::MotorChange);
}

void TFormQVR533::CbChopConfChmChange() {
  const bool standard = CbChopConfChm->currentIndex() != 1;
  for (QWidget *w : std::initializer_list<QWidget *>{CbChopConfHDec, EditChopConfHEnd, EditChopConfHStart, LblChopConfHDec,
                                                      LblChopConfHEnd, LblChopConfHStart})
    w->setEnabled(standard);
  for (QWidget *w : std::initializer_list<QWidget *>{CheckChopConfFDMode, EditChopConfSineWaveOffset, CbChopConfFastDecayTime,
                                                      LblChopConfSineWaveOffset, LblChopConfFastDecayTime})
    w->setEnabled(!standard);
}
