#pragma once
// TGlobalPage: the register editor's "Global Parameters" page: the telegram words, the cover
// datagram, the reference switches and the global parameter register.
#include "RegisterPage.h"
#include "ui_Ev710GlobalPage.h"

class TGlobalPage : public TRegisterPage, private Ui::TGlobalPage {
  Q_OBJECT
public:
  TGlobalPage(TBoardAccess &Board, TComposedDatagram &Datagram, QWidget *parent = nullptr);
  void SelectRegister() override { RGGlobalRegsClick(); }
  QPushButton *SendButton() const override { return BtnSendGlobal; }

  void RGGlobalRegsClick();
  void EditSPICPChange(QObject *Sender);
  void BtnCopyGlobalClick();
  void EnableGlobalEdits() { EnableEdits(); }

  // Poll callbacks with the reply's data bytes.
  void ShowCover(uint8_t b1, uint8_t b2, uint8_t b3);
  void ShowRefSwitches(uint8_t b1, uint8_t b2, uint8_t b3);
  void ShowGlobalParams(uint8_t b1, uint8_t b2, uint8_t b3);

private:
  void RegisterPollEntries();
  ctl::DataBytes Compose(int Item) const;
  // The nine flags of the global parameter register with the LEDs that show them, in copy order.
  struct TFlag { QCheckBox *Check; TLedLittle *Led; };
  std::array<TFlag, 9> Flags() const;
};
