#pragma once
// TSpecialPage: the register editor's "QVR710 Specials" page: position compare, its interrupt,
// the interface configuration, and the chip's type and revision.
#include "RegisterPage.h"
#include "ui_Ev710SpecialPage.h"

class TSpecialPage : public TRegisterPage, private Ui::TSpecialPage {
  Q_OBJECT
public:
  TSpecialPage(TBoardAccess &Board, TComposedDatagram &Datagram, QWidget *parent = nullptr);
  void SelectRegister() override { RGReg710Click(); }
  QPushButton *SendButton() const override { return BitBtn2; }
  void ShowChipRevision(const QString &Text) { StaticChipRevision710->setText(Text); }

  void RGReg710Click();
  void EditPosComp710Change(QObject *Sender);
  void BtnCopyQVR710Click();
  void Enable710Edits() { EnableEdits(); }

  // Poll callbacks with the reply's data bytes.
  void ShowIfConfig710(uint8_t b1, uint8_t b2, uint8_t b3);
  void ShowPosCompInt710(uint8_t b1, uint8_t b2, uint8_t b3);

private:
  ctl::DataBytes Compose(int Item) const;
  // Check boxes and the LEDs that show the same bit, in copy order.
  struct TFlag { QCheckBox *Check; TLedLittle *Led; };
  std::array<TFlag, 9> Flags() const;
};
