#include "Ev710_QVR550.h"
#include "Ev710Guard.h"
#include "SpinEdit.h"

TFormQVR550::TFormQVR550(TBoardAccess &Board, QWidget *parent)
    : TDriverForm(Board, TBoardKind::Qvr550, 0.15, parent) {
  // Rows in the order of their parameters (180, 206, 182, 208, 6, 168, 170, 172).
  const int row = PollRow::Qvr550Driver;
  Hook(row, &TFormQVR550::ShowTLValue);
  Hook(row + 1, &TFormQVR550::ShowLDValue);
  Hook(row + 2, &TFormQVR550::ShowMicrostep);
  Hook(row + 3, &TFormQVR550::ShowStatusFlags);
  Hook(row + 4, &TFormQVR550::StoreCurrentScale);
  Hook(row + 5, &TFormQVR550::StoreTLIMin);
  Hook(row + 6, &TFormQVR550::StoreTLMax);
  Hook(row + 7, &TFormQVR550::StoreTLMin);
  connect(Button1, &QPushButton::clicked, this, Guarded(this, [this] { Button1Click(); }));
}

// On the LDCSCONF page DRVCONF comes first, so the current calculation has its sense voltage.
void TFormQVR550::ReadPage(ReadReason) {
  QWidget *page = ShownPage();
  if (page == TabDrvCtrl1) {
    ReadDrvCtrl();
  } else if (page == TabChopConf) {
    ReadChopConf();
  } else if (page == TabThriftLv) {
    ReadThriftLv();
  } else if (page == TabLdsConf) {
    ReadDrvConf();
    ReadLDCSConf();
  } else if (page == TabDrvConf) {
    ReadDrvConf();
  } else if (page == TabGraph) {
    ReadLDCSConf();
  }
}

void TFormQVR550::Button1Click() { SetGroup(DriverGroup::Special); }
