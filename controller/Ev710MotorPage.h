#pragma once
// TMotorPage: one motor's page of the register editor, made three times (motors 1..3). Its
// controls carry that motor's names (EditXTarg2, StaticSPI32 ...). It shows the motor's
// registers live through the poll table and composes the datagram that writes one of them.
#include "RegisterPage.h"
#include "ui_Ev710MotorPage.h"

class TMotorPage : public TRegisterPage, private Ui::TMotorPage {
  Q_OBJECT
public:
  TMotorPage(TBoardAccess &Board, TComposedDatagram &Datagram, int Motor, QWidget *parent = nullptr);
  void SelectRegister() override { RGMotClick(); }
  QPushButton *SendButton() const override { return BtnSendMot1; }
  // The show step of the window: the microstep counter is polled with this page again.
  void ShowUStepCounter();

  void RGMotClick();
  void EditXTargChange(QObject *Sender);
  void BtnCopyMotClick();
  void EnableMotEdits() { EnableEdits(); }

  // Poll callbacks with the reply's data bytes.
  void ShowISMot(uint8_t b1, uint8_t b2, uint8_t b3);
  void ShowPMulMot(uint8_t b1, uint8_t b2, uint8_t b3);
  void ShowRefConfMot(uint8_t b1, uint8_t b2, uint8_t b3);
  void ShowInterruptMot(uint8_t b1, uint8_t b2, uint8_t b3);
  void ShowDividersMot(uint8_t b1, uint8_t b2, uint8_t b3);

private:
  void NameControls();
  void SetRanges();
  void SetHints();
  void RegisterPollEntries();
  ctl::DataBytes Compose(int Item) const;
  // The register a radio item writes: items 7..13 skip the read-only A_ACTUAL.
  static int RegisterOfItem(int Item) { return Item <= 6 ? Item : Item + 1; }
  TSpinEdit *SingleValueEdit(int Item) const;
  const int Motor;  // 1..3
};
