#include "Ev710Advanced.h"
#include "RamTablePage.h"
#include <QCloseEvent>
#include <QLayout>
#include <QPushButton>
#include "BoardAccess.h"
#include "Ev710GlobalPage.h"
#include "Ev710Guard.h"
#include "Ev710MotorPage.h"
#include "Ev710SpecialPage.h"
#include "ToolWindow.h"

TFormAdvanced::TFormAdvanced(TBoardAccess &Board, QWidget *parent) : QWidget(parent), Board(Board) {
  SetUpToolWindow(this, [this](QWidget *form) { setupUi(form); });
  FormCreate();
}

std::array<TRegisterPage *, 5> TFormAdvanced::RegisterPages() const {
  return {MotorPages[0], MotorPages[1], MotorPages[2], GlobalPage, SpecialPage};
}

void TFormAdvanced::FormCreate() {
  const std::array<QWidget *, 3> motorTabs = {TabMotor1, TabMotor2, TabMotor3};
  for (int m = 0; m < 3; ++m) {
    MotorPages[m] = new TMotorPage(Board, ComposedDatagram, m + 1, motorTabs[m]);
    motorTabs[m]->layout()->addWidget(MotorPages[m]);
  }
  GlobalPage = new TGlobalPage(Board, ComposedDatagram, TabGlobal);
  TabGlobal->layout()->addWidget(GlobalPage);
  SpecialPage = new TSpecialPage(Board, ComposedDatagram, TabQVR710);
  TabQVR710->layout()->addWidget(SpecialPage);
  TabRAM->layout()->addWidget(new TRamTablePage(Board, TabRAM));
  Board.Views().EditorShown = false;

  for (TRegisterPage *page : RegisterPages())
    connect(page->SendButton(), &QPushButton::clicked, this, Guarded(this, [this, page] { BtnSendMot1Click(*page); }));
  connect(PageControl, &QTabWidget::currentChanged, this, Guarded(this, [this] { PageControlChange(); }));
  PageControlChange();
}

void TFormAdvanced::showEvent(QShowEvent *e) {
  QWidget::showEvent(e);
  if (!e->spontaneous()) RunGuarded(this, [this] { FormShow(); });
}

void TFormAdvanced::closeEvent(QCloseEvent *e) {
  RunGuarded(this, [this] { FormClose(); });
  QWidget::closeEvent(e);  // hides the window; it and its controls stay
}

void TFormAdvanced::FormShow() {
  for (TMotorPage *page : MotorPages) page->ShowUStepCounter();
  SpecialPage->ShowChipRevision(Board.Identity().ControllerVersionText);
  Board.Views().EditorPage = PageControl->currentIndex();
  Board.Views().EditorShown = true;
}

void TFormAdvanced::FormClose() { Board.Views().EditorShown = false; }

void TFormAdvanced::PageControlChange() {
  static const char *const captions[] = {"QVR710 Register Set (Motor 1)",
                                         "QVR710 Register Set (Motor 2)",
                                         "QVR710 Register Set (Motor 3)",
                                         "QVR710 Register Set (Global Parameters)",
                                         "QVR710 Register Set (QVR710 Special Features)",
                                         "QVR710 Register Set (Configuration & Microstep RAM)"};
  const int page = PageControl->currentIndex();
  setWindowTitle(QString::fromLatin1(captions[page]));
  Board.Views().EditorPage = page;
  if (page < PageRAM) RegisterPages()[page]->SelectRegister();
}

// The datagram as composed, after the page's edits show the values they hold within their
// ranges; a text that is no number stops the send before anything goes out.
void TFormAdvanced::BtnSendMot1Click(TRegisterPage &Page) {
  Page.CheckSelectedValues();
  const TComposedDatagram d = ComposedDatagram;
  TPollingPause pause(Board);
  Board.TransferDatagram(d[0], d[1], d[2], d[3]);
}
