#pragma once
// TFormQVR730: composes write telegrams for the encoder interface chip, shows them in
// hexadecimal and sends them; shows the three encoder positions and N inputs the poll cycle
// reads while the window is shown.
#include <QWidget>
#include "BoardAccess.h"
#include "EncoderTelegram.h"
#include "ui_Ev710_QVR730.h"

class QButtonGroup;

class TFormQVR730 : public QWidget, private Ui::TFormQVR730 {
  Q_OBJECT
public:
  explicit TFormQVR730(TBoardAccess &Board, QWidget *parent = nullptr);
  bool IsShown = false;
  Encoder::Telegram SpiTelegram{};

  // Event handlers. Every value control's change runs EditEnc1PosChange; its Tag is the
  // register item the control belongs to.
  void RGRegistersClick();
  void EditEnc1PosChange(QObject *Sender);
  void BtnSendMot1Click();
  void ShowNullInputs(uint8_t b2, uint8_t b1, uint8_t b0);

protected:
  void showEvent(QShowEvent *e) override;
  void closeEvent(QCloseEvent *e) override;

private:
  void SetUpControls();
  void ConnectHandlers();
  void SetEncoderRowsFilter(int Filter);
  void ShowTelegram(int FromByte);
  int ChosenRegister() const;
  QList<QWidget *> ValueControls() const;
  Encoder::Prescaler PrescalerOf(int Encoder) const;
  void CheckChosenValues();
  TBoardAccess &Board;
  QButtonGroup *RegisterItems;
};
