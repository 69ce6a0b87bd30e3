#include "Ev710SpecialPage.h"
#include "BoardAccess.h"
#include "Ev710Guard.h"
#include "LiveValues.h"
#include "Ev710Utils.h"

using namespace ctl;

namespace {
enum SpecialItem { ItemPosComp = 0, ItemPosCompInt = 1, ItemIfConfig = 2 };
TLedLittleColor Lamp(bool on) { return IfThenLedColor(on, lcCyan, lcDarkCyan); }
}  // namespace

TSpecialPage::TSpecialPage(TBoardAccess &Board, TComposedDatagram &Datagram, QWidget *parent)
    : TRegisterPage(Board, Datagram, parent) {
  setupUi(this);
  setObjectName(QStringLiteral("SpecialPage"));
  EditPosComp710->SetMinValue(-8388608);
  EditPosComp710->SetMaxValue(8388607);
  InitRegisterPage(RGReg710, {StaticSPI14, StaticSPI24, StaticSPI34, StaticSPI44});
  ConnectValueControls([this](QObject *Sender) { EditPosComp710Change(Sender); });
  connect(BtnCopyQVR710, &QPushButton::clicked, this, Guarded(this, [this] { BtnCopyQVR710Click(); }));
  // Rows 55..57: interface configuration, position compare, its interrupt.
  Board.Entry(PollRow::FirstGlobal + 6).Handler = [this](uint8_t b1, uint8_t b2, uint8_t b3) { ShowIfConfig710(b1, b2, b3); };
  Board.Entry(PollRow::FirstGlobal + 7).ShowEditor = LiveLabel(StaticPosComp710);
  Board.Entry(PollRow::FirstGlobal + 8).Handler = [this](uint8_t b1, uint8_t b2, uint8_t b3) { ShowPosCompInt710(b1, b2, b3); };
  Board.OnValuesStale(this, [this] { MarkValuesStale(GrpReg710Act); });
}

std::array<TSpecialPage::TFlag, 9> TSpecialPage::Flags() const {
  return {{{CheckPosIntMask710, LedPosIntMask710}, {CheckPosIntIrq710, LedPosIntIrq710},
           {CheckIfConfEnSd710, LedIfConfEnSd710}, {CheckIfConfInvDir710, LedIfConfInvDir710},
           {CheckIfConfInvStp710, LedIfConfInvStp710}, {CheckIfConfStepHalf710, LedIfConfStepHalf710},
           {CheckIfConfSdoInt710, LedIfConfSdoInt710}, {CheckIfConfInvRef710, LedIfConfInvRef710},
           {CheckIfConfEnRefR710, LedIfConfEnRefR710}}};
}

void TSpecialPage::RGReg710Click() {
  const int k = SelectedItem();
  const int index[] = {POS_COMP_710, POS_COMP_INT_710, IF_CONFIG_710};
  SetAddress(GlobalRegisterAddress(index[k], false));
  SetData(Compose(k));
  ShowData();
  Enable710Edits();
}

void TSpecialPage::EditPosComp710Change(QObject *Sender) {
  if (BelongsToSelected(Sender)) SetData(Compose(SelectedItem()));
  ShowData();
}

DataBytes TSpecialPage::Compose(int Item) const {
  switch (Item) {
    case ItemPosComp: return SplitValue(EditPosComp710->Value());
    case ItemPosCompInt: return ComposePosCompInt({CheckPosIntMask710->isChecked(), CheckPosIntIrq710->isChecked()});
    default: {
      RegIfConfig r;
      r.EN_REFR = CheckIfConfEnRefR710->isChecked();
      r.POS_COMP_SEL = CbIfConfPosCompSel710->currentIndex();
      r.EN_SD = CheckIfConfEnSd710->isChecked();
      r.INV_DIR = CheckIfConfInvDir710->isChecked();
      r.INV_STP = CheckIfConfInvStp710->isChecked();
      r.STEP_HALF = CheckIfConfStepHalf710->isChecked();
      r.SDO_INT = CheckIfConfSdoInt710->isChecked();
      r.INV_REF = CheckIfConfInvRef710->isChecked();
      return ComposeIfConfig(r);
    }
  }
}

// Reads the numbers first, so a static that holds none changes nothing; an item index outside
// the list is refused the same way.
void TSpecialPage::BtnCopyQVR710Click() {
  const int posComp = StaticNumber(StaticPosComp710);
  const int posCompSel = StaticNumber(StaticIfConfPosCompSel710);
  if (posCompSel < 0 || posCompSel >= CbIfConfPosCompSel710->count())
    throw EEvalError(QStringLiteral("POS_COMP_SEL %1 is not one of the list's items. Nothing was copied.").arg(posCompSel));
  EditPosComp710->SetValue(posComp);
  const auto flags = Flags();
  for (size_t i = 0; i + 1 < flags.size(); ++i) flags[i].Check->setChecked(flags[i].Led->LedColor() == lcCyan);
  CbIfConfPosCompSel710->setCurrentIndex(posCompSel);
  flags.back().Check->setChecked(flags.back().Led->LedColor() == lcCyan);
}

void TSpecialPage::ShowIfConfig710(uint8_t b1, uint8_t b2, uint8_t b3) {
  const RegIfConfig r = DecodeIfConfig(b1, b2, b3);
  ShowLive(StaticIfConfPosCompSel710, QString::number(r.POS_COMP_SEL));
  const bool on[] = {r.EN_SD, r.INV_DIR, r.INV_STP, r.STEP_HALF, r.SDO_INT, r.INV_REF, r.EN_REFR};
  const auto flags = Flags();
  for (size_t i = 0; i < std::size(on); ++i) flags[i + 2].Led->SetLedColor(Lamp(on[i]));
}

void TSpecialPage::ShowPosCompInt710(uint8_t b1, uint8_t b2, uint8_t b3) {
  const RegPosCompInt r = DecodePosCompInt(b1, b2, b3);
  LedPosIntMask710->SetLedColor(Lamp(r.MASK));
  LedPosIntIrq710->SetLedColor(Lamp(r.INTERRUPT));
}
