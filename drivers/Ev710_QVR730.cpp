#include "Ev710_QVR730.h"
#include <QButtonGroup>
#include <algorithm>
#include <QCloseEvent>
#include "BoardFrames.h"
#include "Ev710Guard.h"
#include "LiveValues.h"
#include "Ev710Utils.h"
#include "DriverRequests.h"

namespace {
constexpr uint8_t EncoderChip = 4;  // SpiTransfer type of the encoder chip
constexpr int ReadEveryCycle = -1, NotRead = 255;

int TagOf(const QObject *control) { return control->property("Tag").toInt(); }

unsigned CheckedBits(const TCheckedComboBinary *combo) {
  unsigned bits = 0;
  for (int i = 0; i < combo->Items().size(); ++i)
    if (combo->IsItemChecked(i)) bits |= 1u << i;
  return bits;
}
}  // namespace

TFormQVR730::TFormQVR730(TBoardAccess &Board, QWidget *parent)
    : QWidget(parent), Board(Board), RegisterItems(new QButtonGroup(this)) {
  SetUpToolWindow(this, [this](QWidget *form) { setupUi(form); });
  SetUpControls();
  ConnectHandlers();
  QLabel *positions[] = {StaticEnc1Pos, StaticEnc2Pos, StaticEnc3Pos};
  for (int i = 0; i < 3; ++i) Board.Entry(PollRow::Encoder + i).ShowMain = LiveLabel(positions[i]);
  Board.Entry(PollRow::EncoderLast).Handler = [this](uint8_t b2, uint8_t b1, uint8_t b0) { ShowNullInputs(b2, b1, b0); };
  Board.OnValuesStale(this, [this] {
    MarkValuesStale(GrpActualValues);
    MarkValuesStale(GrpReadOnly);
  });
  RGRegistersClick();
}

void TFormQVR730::SetUpControls() {
  const QList<QRadioButton *> items = {RGRegistersItem0, RGRegistersItem1, RGRegistersItem2, RGRegistersItem3,
                                       RGRegistersItem4, RGRegistersItem5, RGRegistersItem6};
  for (int i = 0; i < items.size(); ++i) RegisterItems->addButton(items[i], i);
  RGRegistersItem0->setChecked(true);
  for (TSpinEdit *pos : {EditEnc1Pos, EditEnc2Pos, EditEnc3Pos}) {
    pos->SetMinValue(-8388608);
    pos->SetMaxValue(8388607);
  }
  for (TSpinEdit *i : {EditEnc1Int, EditEnc2Int, EditEnc3Int}) i->SetMaxValue(127);
  for (TSpinEdit *f : {EditEnc1Fract, EditEnc2Fract, EditEnc3Fract}) f->SetMaxValue(15);
  for (TCheckedComboBinary *bits : {CbEnc1FunctionBits, CbEnc2FunctionBits, CbEnc3FunctionBits}) {
    bits->SetItems({"Direction", "N Trigger", "N Clear", "N Hold", "H Polarity"});
    bits->SetDropDownLines(6);
  }
  CbInterruptBits->SetItems({"Clear Flags", "Interrupt Enable", "Register Hold"});
  CbInterruptBits->SetDropDownLines(4);
  for (TLedLittle *led : {LED_N1, LED_N2, LED_N3}) led->SetLedColor(lcDarkCyan);
}

void TFormQVR730::ConnectHandlers() {
  // A click or an arrow key checks another item.
  connect(RegisterItems, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked) RunGuarded(this, [this] { RGRegistersClick(); });
  });
  for (QWidget *c : ValueControls()) {
    auto changed = Guarded(this, [this, c] { EditEnc1PosChange(c); });
    if (auto *spin = qobject_cast<TSpinEdit *>(c)) connect(spin, &TSpinEdit::Change, this, changed);
    else if (auto *combo = qobject_cast<QComboBox *>(c)) connect(combo, &QComboBox::currentIndexChanged, this, changed);
    else connect(static_cast<TCheckedComboBinary *>(c), &TCheckedComboBinary::OnChange, this, changed);
  }
  connect(BtnSendMot1, &QPushButton::clicked, this, Guarded(this, [this] { BtnSendMot1Click(); }));
}

// The controls of GrpNewValues that carry a register's value, each with the register item as Tag.
QList<QWidget *> TFormQVR730::ValueControls() const {
  QList<QWidget *> controls;
  for (QWidget *w : GrpNewValues->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
    if (w->property("Tag").isValid()) controls << w;
  return controls;
}

int TFormQVR730::ChosenRegister() const { return std::max(0, RegisterItems->checkedId()); }

void TFormQVR730::RGRegistersClick() {
  const int chosen = ChosenRegister();
  QWidget *lastEnabled = nullptr;
  for (QWidget *c : ValueControls()) {
    c->setEnabled(TagOf(c) == chosen);
    if (TagOf(c) == chosen) lastEnabled = c;
  }
  SpiTelegram[0] = Encoder::AddressByte[size_t(chosen)];
  ShowTelegram(0);
  if (lastEnabled) EditEnc1PosChange(lastEnabled);
}

Encoder::Prescaler TFormQVR730::PrescalerOf(int Encoder) const {
  const TSpinEdit *ints[] = {EditEnc1Int, EditEnc2Int, EditEnc3Int};
  const TSpinEdit *fracts[] = {EditEnc1Fract, EditEnc2Fract, EditEnc3Fract};
  const QComboBox *denominators[] = {CbEnc1Fract, CbEnc2Fract, CbEnc3Fract};
  const TCheckedComboBinary *bits[] = {CbEnc1FunctionBits, CbEnc2FunctionBits, CbEnc3FunctionBits};
  return {ints[Encoder]->Value(), fracts[Encoder]->Value(), denominators[Encoder]->currentIndex() == 1,
          CheckedBits(bits[Encoder])};
}

// Bytes 2..4 for the register the changed control belongs to. A control of a register not
// chosen (set by a program; the user cannot reach it) leaves the telegram alone.
void TFormQVR730::EditEnc1PosChange(QObject *Sender) {
  using namespace Encoder;
  const int tag = TagOf(Sender);
  if (tag != ChosenRegister()) return;
  if (tag <= Enc3PS) {
    SetValueBytes(SpiTelegram, PrescalerValue(PrescalerOf(tag - Enc1PS)));
  } else if (tag <= Enc3Pos) {
    SetValueBytes(SpiTelegram, PositionValue(static_cast<TSpinEdit *>(Sender)->Value()));
  } else {
    SpiTelegram[1] = InterruptByte(CheckedBits(CbInterruptBits));  // bytes 3 and 4 stay
  }
  ShowTelegram(1);
}

void TFormQVR730::ShowTelegram(int FromByte) {
  QLabel *fields[] = {StaticSPI1, StaticSPI2, StaticSPI3, StaticSPI4};
  for (int i = FromByte; i < (FromByte == 0 ? 1 : 4); ++i)
    fields[i]->setText(IntToHex(SpiTelegram[size_t(i)], 2));
}

// The chosen register's numbers as sent: limited to their ranges and shown so; a text that is
// no number stops the send.
void TFormQVR730::CheckChosenValues() {
  for (QWidget *c : ValueControls())
    if (auto *spin = qobject_cast<TSpinEdit *>(c); spin && c->isEnabled()) spin->CheckedValue();
}

void TFormQVR730::BtnSendMot1Click() {
  CheckChosenValues();
  TPollingPause pause(Board);
  Board.SendCommandBytes(1, SpiTransfer, EncoderChip, 0, SpiTelegram, true, true);
}

void TFormQVR730::ShowNullInputs(uint8_t, uint8_t, uint8_t b0) {
  TLedLittle *leds[] = {LED_N1, LED_N2, LED_N3};
  for (int i = 0; i < 3; ++i) leds[i]->SetLedColor(IfThenLedColor(b0 >> i & 1, lcCyan, lcDarkCyan));
}

void TFormQVR730::SetEncoderRowsFilter(int Filter) {
  for (int row = PollRow::Encoder; row <= PollRow::EncoderLast; ++row) Board.Entry(row).PageFilter = Filter;
}

void TFormQVR730::showEvent(QShowEvent *e) {
  QWidget::showEvent(e);
  IsShown = true;
  SetEncoderRowsFilter(ReadEveryCycle);
}

void TFormQVR730::closeEvent(QCloseEvent *e) {
  IsShown = false;
  SetEncoderRowsFilter(NotRead);
  e->accept();
}
