#include "Ev710GlobalPage.h"
#include "HexEdit.h"
#include "MaskedText.h"
#include "BoardAccess.h"
#include "Ev710Guard.h"
#include "LiveValues.h"
#include "Ev710Utils.h"

using namespace ctl;

namespace {
enum GlobalItem { ItemCover = 0, ItemCoverTelegram = 1, ItemGetWords = 2, ItemGlobalParameters = 3 };
TLedLittleColor Lamp(bool on) { return IfThenLedColor(on, lcCyan, lcDarkCyan); }
}  // namespace

TGlobalPage::TGlobalPage(TBoardAccess &Board, TComposedDatagram &Datagram, QWidget *parent)
    : TRegisterPage(Board, Datagram, parent) {
  setupUi(this);
  setObjectName(QStringLiteral("GlobalPage"));
  struct Range { TSpinEdit *Edit; int Min, Max; };
  for (const Range &r : {Range{EditSPICP, 0, 63}, {EditSPICL, 0, 31}, {EditClkDiv, 0, 255}, {EditLSMD, 0, 3}}) {
    r.Edit->SetMinValue(r.Min);
    r.Edit->SetMaxValue(r.Max);
  }
  InstallHexKeyFilter(EditSPICT);
  InitRegisterPage(RGGlobalRegs, {StaticSPI1G, StaticSPI2G, StaticSPI3G, StaticSPI4G});
  ConnectValueControls([this](QObject *Sender) { EditSPICPChange(Sender); });
  connect(BtnCopyGlobal, &QPushButton::clicked, this, Guarded(this, [this] { BtnCopyGlobalClick(); }));
  RegisterPollEntries();
}

// Rows 49..54 in poll order: telegram low and high word, cover, cover telegram, reference
// switches, global parameters.
void TGlobalPage::RegisterPollEntries() {
  Board.Entry(PollRow::FirstGlobal + 0).ShowEditor = LiveLabel(StaticSPILow);
  Board.Entry(PollRow::FirstGlobal + 1).ShowEditor = LiveLabel(StaticSPIHigh);
  Board.Entry(PollRow::FirstGlobal + 2).Handler = [this](uint8_t b1, uint8_t b2, uint8_t b3) { ShowCover(b1, b2, b3); };
  Board.Entry(PollRow::FirstGlobal + 3).ShowEditor = LiveLabel(StaticSPICT);
  Board.Entry(PollRow::FirstGlobal + 4).Handler = [this](uint8_t b1, uint8_t b2, uint8_t b3) { ShowRefSwitches(b1, b2, b3); };
  Board.Entry(PollRow::FirstGlobal + 5).Handler = [this](uint8_t b1, uint8_t b2, uint8_t b3) { ShowGlobalParams(b1, b2, b3); };
  Board.OnValuesStale(this, [this] {
    MarkValuesStale(GrpGlobalRO);
    MarkValuesStale(GrpGlobalAct);
  });
}

std::array<TGlobalPage::TFlag, 9> TGlobalPage::Flags() const {
  return {{{CbRefMux, LedRefMux}, {CbMot1rRef, LedMot1rRef}, {CbSPICS, LedSPICS}, {CbSPICLK, LedSPICLK},
           {CbPoPH, LedPoPH}, {CbPoFD, LedPoFD}, {CbPoDAC, LedPoDAC}, {CbCsCI, LedCsCI},
           {CbSPIContUpd, LedSPIContUpd}}};
}

void TGlobalPage::RGGlobalRegsClick() {
  const int k = SelectedItem();
  const int index[] = {SPI_COVER_POS_LEN, SPI_COVER_TELEGRAM, SPI_TELEGRAM_LOW_WORD, GLOBAL_PARAMETERS};
  SetAddress(GlobalRegisterAddress(index[k], false));
  SetData(Compose(k));
  ShowData();
  EnableGlobalEdits();
}

void TGlobalPage::EditSPICPChange(QObject *Sender) {
  if (BelongsToSelected(Sender)) SetData(Compose(SelectedItem()));
  ShowData();
}

DataBytes TGlobalPage::Compose(int Item) const {
  switch (Item) {
    case ItemCover: return ComposeCover({EditSPICP->Value(), EditSPICL->Value()});
    case ItemCoverTelegram: return ComposeHexText(MaskedText(EditSPICT));
    case ItemGlobalParameters: {
      RegGlobalParameters r;
      r.M1R_REF = CbMot1rRef->isChecked();
      r.REFMUX = CbRefMux->isChecked();
      r.SPI_CONTINUOUS_UPD = CbSPIContUpd->isChecked();
      r.SPI_CLK_DIV = EditClkDiv->Value();
      r.csComInd = CbCsCI->isChecked();
      r.PoDAC = CbPoDAC->isChecked();
      r.PoFD = CbPoFD->isChecked();
      r.PoPH = CbPoPH->isChecked();
      r.SPI_CLK = CbSPICLK->isChecked();
      r.SPI_CS = CbSPICS->isChecked();
      r.LSMD = EditLSMD->Value();
      return ComposeGlobalParameters(r);
    }
    default: return {0, 0, 0};  // "Get Low/High Word"
  }
}

// Reads the numbers first, so a static that holds none changes nothing.
void TGlobalPage::BtnCopyGlobalClick() {
  const int cp = StaticNumber(StaticSPICP), cl = StaticNumber(StaticSPICL);
  const int clkDiv = StaticNumber(StaticClkDiv), lsmd = StaticNumber(StaticLSMD);
  EditSPICP->SetValue(cp);
  EditSPICL->SetValue(cl);
  EditClkDiv->SetValue(clkDiv);
  EditLSMD->SetValue(lsmd);
  EditSPICT->setText(StaticSPICT->text());
  for (const TFlag &f : Flags()) f.Check->setChecked(f.Led->LedColor() == lcCyan);
}

void TGlobalPage::ShowCover(uint8_t b1, uint8_t b2, uint8_t b3) {
  const RegCover r = DecodeCover(b1, b2, b3);
  ShowLive(StaticSPICP, QString::number(r.SPI_COVER_POS));
  ShowLive(StaticSPICL, QString::number(r.SPI_COVER_LEN));
}

void TGlobalPage::ShowRefSwitches(uint8_t b1, uint8_t b2, uint8_t b3) {
  const RegRefSwitches r = DecodeRefSwitches(b1, b2, b3);
  const std::array<TLedLittle *, 3> right = {LedR1, LedR2, LedR3}, left = {LedL1, LedL2, LedL3};
  for (int m = 1; m <= 3; ++m) {
    right[m - 1]->SetLedColor(Lamp(r.Right(m)));
    left[m - 1]->SetLedColor(Lamp(r.Left(m)));
  }
}

void TGlobalPage::ShowGlobalParams(uint8_t b1, uint8_t b2, uint8_t b3) {
  const RegGlobalParameters r = DecodeGlobalParameters(b1, b2, b3);
  ShowLive(StaticClkDiv, QString::number(r.SPI_CLK_DIV));
  ShowLive(StaticLSMD, QString::number(r.LSMD));
  const bool on[] = {r.REFMUX, r.M1R_REF, r.SPI_CS, r.SPI_CLK, r.PoPH, r.PoFD, r.PoDAC, r.csComInd, r.SPI_CONTINUOUS_UPD};
  const auto flags = Flags();
  for (size_t i = 0; i < flags.size(); ++i) flags[i].Led->SetLedColor(Lamp(on[i]));
}
