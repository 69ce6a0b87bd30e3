#include "Ev710MotorPage.h"
#include "BoardAccess.h"
#include "Ev710Guard.h"
#include "LiveValues.h"
#include "Ev710Utils.h"

using namespace ctl;

TMotorPage::TMotorPage(TBoardAccess &Board, TComposedDatagram &Datagram, int Motor, QWidget *parent)
    : TRegisterPage(Board, Datagram, parent), Motor(Motor) {
  setupUi(this);
  NameControls();
  SetRanges();
  SetHints();
  InitRegisterPage(RGMot1, {StaticSPI11, StaticSPI21, StaticSPI31, StaticSPI41});
  ConnectValueControls([this](QObject *Sender) { EditXTargChange(Sender); });
  connect(BtnCopyMot1, &QPushButton::clicked, this, Guarded(this, [this] { BtnCopyMotClick(); }));
  RegisterPollEntries();
}

// The form carries motor 1's names; motors 2 and 3 get their own digit, and the few names that
// never followed the pattern keep their irregular form.
void TMotorPage::NameControls() {
  setObjectName(QStringLiteral("MotorPage%1").arg(Motor));
  if (Motor == 1) return;
  const QString n = QString::number(Motor);
  for (QWidget *w : findChildren<QWidget *>()) {
    QString name = w->objectName();
    if (name.contains(QLatin1String("Mot1"))) name.replace(QLatin1String("Mot1"), QLatin1String("Mot") + n);
    else if (name.endsWith(u'1')) name = name.chopped(1) + n;
    w->setObjectName(name);
  }
  CBRefConf1->setObjectName(QStringLiteral("CbRefConf") + n);
  LblXLatch1->setObjectName(QStringLiteral("LblXLatched") + n);
  LblLP1Reset->setObjectName(Motor == 3 ? QStringLiteral("LblLP3") : QStringLiteral("LblLP2Reset"));
  if (Motor == 3) {
    GrpRO1->setObjectName(QStringLiteral("GroupBox3"));
    GrpSPI1->setObjectName(QStringLiteral("GroupBox4"));
  }
}

void TMotorPage::SetRanges() {
  for (int item : {0, 1, 2, 3, 4, 5, 6, 12}) {
    const MotorRegisterInfo &r = MotorRegisters[RegisterOfItem(item)];
    SingleValueEdit(item)->SetMinValue(r.Min);
    SingleValueEdit(item)->SetMaxValue(r.Max);
  }
  if (Motor == 3)
    for (TSpinEdit *e : {EditVTarg1, EditVAct1}) e->SetMinValue(-2047);
  struct Range { TSpinEdit *Edit; int Min, Max; };
  for (const Range &r : {Range{EditAgtat1, 0, 7}, {EditAleat1, 0, 7}, {EditV01, 0, 7}, {EditThres1, 0, 2047},
                         {EditPMul1, 128, 255}, {EditPDiv1, 0, 13}, {EditRampMode1, 0, 3}, {EditPulsdiv1, 0, 13},
                         {EditRampdiv1, 0, 13}, {EditMStepres1, 0, 7}}) {
    r.Edit->SetMinValue(r.Min);
    r.Edit->SetMaxValue(r.Max);
  }
  EditPMul1->SetValue(128);
  auto items = [](const auto &texts) {
    QStringList list;
    for (const char *t : texts) list << QString::fromUtf8(t);
    return list;
  };
  CBRefConf1->SetItems(items(RefConfItems));
  CBRefConf1->SetDropDownLines(5);
  CbIMask1->SetItems(items(InterruptMaskItems));
  CbIFlags1->SetItems(items(InterruptFlagsItems));
  for (TCheckedComboBinary *c : {CbIMask1, CbIFlags1}) c->SetDropDownLines(9);
}

void TMotorPage::SetHints() {
  if (Motor == 2)
    GrpSPI1->setToolTip(QStringLiteral("The necessary SPI telegramme to change the selected register is displayed here."));
}

TSpinEdit *TMotorPage::SingleValueEdit(int Item) const {
  switch (Item) {
    case 0: return EditXTarg1;
    case 1: return EditXAct1;
    case 2: return EditVMin1;
    case 3: return EditVMax1;
    case 4: return EditVTarg1;
    case 5: return EditVAct1;
    case 6: return EditAMax1;
    case 12: return EditTolerance1;
    default: return nullptr;
  }
}

void TMotorPage::RegisterPollEntries() {
  const int m = Motor - 1;
  const std::array<QLabel *, MotorRegisterCount> statics = {
      StaticXTarg1, StaticXAct1, StaticVMin1, StaticVMax1, StaticVTarg1, StaticVAct1, StaticAMax1, StaticAActual1,
      nullptr,      nullptr,     nullptr,     nullptr,     nullptr,      StaticTolerance1, StaticXLatched1,
      StaticUStepCount1};
  for (int r = 0; r < MotorRegisterCount; ++r) Board.Entry(PollRow::MotorRegister(m, r)).ShowEditor = LiveLabel(statics[r]);
  auto hook = [&](int r, void (TMotorPage::*show)(uint8_t, uint8_t, uint8_t)) {
    Board.Entry(PollRow::MotorRegister(m, r)).Handler = [this, show](uint8_t b1, uint8_t b2, uint8_t b3) {
      (this->*show)(b1, b2, b3);
    };
  };
  hook(CURRENT_SCALE, &TMotorPage::ShowISMot);
  hook(P_MUL_P_DIV, &TMotorPage::ShowPMulMot);
  hook(REF_CONF_RAMP_MODE, &TMotorPage::ShowRefConfMot);
  hook(INTERRUPT_MASK_FLAGS, &TMotorPage::ShowInterruptMot);
  hook(DIVIDERS, &TMotorPage::ShowDividersMot);
  Board.OnValuesStale(this, [this] {
    MarkValuesStale(GrpMot1Act);
    MarkValuesStale(GrpRO1);
  });
}

void TMotorPage::ShowUStepCounter() {
  Board.Entry(PollRow::MotorRegister(Motor - 1, USTEP_710)).PageFilter = Motor - 1;
  for (QWidget *w : std::initializer_list<QWidget *>{StaticUStepCount1, LblUStepCount1}) {
    w->setEnabled(true);
    w->setVisible(true);
  }
}

// Running the change handler with the item's first control as sender composes exactly this;
// "X_LATCHED" has no control and writes zero data.
void TMotorPage::RGMotClick() {
  const int k = SelectedItem();
  SetAddress(MotorRegisterAddress(Motor, RegisterOfItem(k), false));
  SetData(Compose(k));
  ShowData();
  EnableMotEdits();
}

void TMotorPage::EditXTargChange(QObject *Sender) {
  if (BelongsToSelected(Sender)) SetData(Compose(SelectedItem()));
  ShowData();
}

DataBytes TMotorPage::Compose(int Item) const {
  switch (Item) {
    case 7: return ComposeCurrentScale({EditAgtat1->Value(), EditAleat1->Value(), EditV01->Value(), EditThres1->Value()});
    case 8: return ComposePMulPDiv({EditPMul1->Value(), EditPDiv1->Value()});
    case 9: return ComposeRefConf({false, BinToInt(CBRefConf1->BinaryText()), EditRampMode1->Value()});
    case 10: return ComposeInterrupts({BinToInt(CbIMask1->BinaryText()), BinToInt(CbIFlags1->BinaryText())});
    case 11: return ComposeDividers({EditPulsdiv1->Value(), EditRampdiv1->Value(), EditMStepres1->Value()});
    case 13: return {0, 0, 0};
    default: return ComposeMotorValue(RegisterOfItem(Item), SingleValueEdit(Item)->Value());
  }
}

// Reads every actual value first, so a static that holds no number changes nothing; then sets
// the edits in the fixed order, each change recomposing the selected register.
void TMotorPage::BtnCopyMotClick() {
  const std::array<TSpinEdit *, 13> first = {EditXTarg1, EditXAct1, EditVMin1, EditVMax1, EditVTarg1,
                                              EditVAct1, EditAMax1, EditAgtat1, EditAleat1, EditV01,
                                              EditThres1, EditPMul1, EditPDiv1};
  const std::array<QLabel *, 13> firstFrom = {StaticXTarg1, StaticXAct1, StaticVMin1, StaticVMax1, StaticVTarg1,
                                               StaticVAct1, StaticAMax1, StaticAgtat1, StaticAleat1, StaticV01,
                                               StaticThres1, StaticPMul1, StaticPDiv1};
  const std::array<TSpinEdit *, 5> last = {EditPulsdiv1, EditRampdiv1, EditMStepres1, EditTolerance1, EditRampMode1};
  const std::array<QLabel *, 5> lastFrom = {StaticPulsdiv1, StaticRampdiv1, StaticMStepres1, StaticTolerance1,
                                             StaticRampMode1};
  std::array<int, 13> firstValues;
  std::array<int, 5> lastValues;
  for (size_t i = 0; i < first.size(); ++i) firstValues[i] = StaticNumber(firstFrom[i]);
  for (size_t i = 0; i < last.size(); ++i) lastValues[i] = StaticNumber(lastFrom[i]);

  for (size_t i = 0; i < first.size(); ++i) first[i]->SetValue(firstValues[i]);
  for (int i = 0; i < 4; ++i) CBRefConf1->SetItemChecked(i, BinaryDigitSet(StaticRefConf1->text(), i));
  for (int i = 0; i < 8; ++i) {
    CbIMask1->SetItemChecked(i, BinaryDigitSet(StaticIMask1->text(), i));
    CbIFlags1->SetItemChecked(i, BinaryDigitSet(StaticIFlags1->text(), i));
  }
  for (size_t i = 0; i < last.size(); ++i) last[i]->SetValue(lastValues[i]);
}

namespace {
QString Number(int v) { return QString::number(v); }
}  // namespace

void TMotorPage::ShowISMot(uint8_t b1, uint8_t b2, uint8_t b3) {
  const RegCurrentScale r = DecodeCurrentScale(b1, b2, b3);
  ShowLive(StaticAgtat1, Number(r.I_S_AGTAT));
  ShowLive(StaticAleat1, Number(r.I_S_ALEAT));
  ShowLive(StaticV01, Number(r.I_S_V0));
  ShowLive(StaticThres1, Number(r.A_THRESHOLD));
}

void TMotorPage::ShowPMulMot(uint8_t b1, uint8_t b2, uint8_t b3) {
  const RegPMulPDiv r = DecodePMulPDiv(b1, b2, b3);
  ShowLive(StaticPMul1, Number(r.P_MUL));
  ShowLive(StaticPDiv1, Number(r.P_DIV));
}

void TMotorPage::ShowRefConfMot(uint8_t b1, uint8_t b2, uint8_t b3) {
  const RegRefConf r = DecodeRefConf(b1, b2, b3);
  ShowLive(StaticRefConf1, IntToBin(r.REF_CONF, 4));
  ShowLive(StaticRampMode1, Number(r.RAMP_MODE));
  LedLP1->SetLedColor(IfThenLedColor(r.LP, lcCyan, lcDarkCyan));
}

void TMotorPage::ShowInterruptMot(uint8_t b1, uint8_t b2, uint8_t b3) {
  const RegInterrupts r = DecodeInterrupts(b1, b2, b3);
  ShowLive(StaticIMask1, IntToBin(r.INTERRUPT_MASK, 8));
  ShowLive(StaticIFlags1, IntToBin(r.INTERRUPT_FLAGS, 8));
}

void TMotorPage::ShowDividersMot(uint8_t b1, uint8_t b2, uint8_t b3) {
  const RegDividers r = DecodeDividers(b1, b2, b3);
  ShowLive(StaticPulsdiv1, Number(r.PULSDIV));
  ShowLive(StaticRampdiv1, Number(r.RAMPDIV));
  ShowLive(StaticMStepres1, Number(r.USTEP_RES));
}
