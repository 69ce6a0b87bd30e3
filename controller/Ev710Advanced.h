#pragma once
// TFormAdvanced: the register editor. Six pages: the three motors, the global registers, the
// controller's special features and the RAM table. Every register page composes the one
// datagram of the window, which its send button writes to the board.
#include <QWidget>
#include <array>
#include "RegisterPage.h"
#include "ui_Ev710Advanced.h"

class TBoardAccess;
class TMotorPage;
class TGlobalPage;
class TSpecialPage;

class TFormAdvanced : public QWidget, private Ui::TFormAdvanced {
  Q_OBJECT
public:
  explicit TFormAdvanced(TBoardAccess &Board, QWidget *parent = nullptr);

  enum Page { PageMotor1 = 0, PageMotor2 = 1, PageMotor3 = 2, PageGlobal = 3, PageSpecial = 4, PageRAM = 5 };
  TComposedDatagram ComposedDatagram{};

  void FormCreate();
  void FormShow();
  void FormClose();
  void PageControlChange();
  void BtnSendMot1Click(TRegisterPage &Page);

protected:
  void showEvent(QShowEvent *e) override;
  void closeEvent(QCloseEvent *e) override;

private:
  TBoardAccess &Board;
  std::array<TMotorPage *, 3> MotorPages{};
  TGlobalPage *GlobalPage = nullptr;
  TSpecialPage *SpecialPage = nullptr;
  std::array<TRegisterPage *, 5> RegisterPages() const;
};
