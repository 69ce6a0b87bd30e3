#include "Ev710App.h"
#include <QApplication>
#include "Ev710Advanced.h"
#include "Ev710Graphics.h"
#include "Ev710Logging.h"
#include "Ev710Main.h"
#include "Ev710Warn.h"
#include "Ev51xBoard.h"
#include "Ev710Board.h"
#include "Ev710Param51x.h"
#include "Ev710_QVR730.h"
#include "Ev710_QVR53x.h"
#include "Ev710_QVR550.h"
#include "Hint95.h"
#include "SimulatedBoard.h"
#include "async32.h"

namespace {
TFormMain *FormMain = nullptr;
}  // namespace

void SetUpApplication(QApplication &app) {
  app.setApplicationName(TFormMain::DesignCaption);
  THint95::InstallApplicationStyle();
  // The port names SIM1..SIM3 open the built-in simulated boards.
  SetDeviceResolver([](const QString &name) {
    const sim::SimulatedBoard *board = sim::SimulatedBoardNamed(name.toStdString());
    return board ? QString::fromStdString(board->DevicePath()) : QString();
  });
}

// The windows in their start-up order, each running its creation at once; only the main window
// is shown (by the caller). The main window owns every other window, so closing it ends the
// program whichever tool windows are open.
TFormMain *CreateWindows() {
  FormMain = new TFormMain;
  TToolWindows windows;
  windows.FormAdvanced = new TFormAdvanced(FormMain->Board(), FormMain);
  windows.FormGraphics = new TFormGraphics(FormMain->Board(), FormMain);
  windows.FormWarning = new TFormWarning(FormMain);
  windows.FormQVR533 = new TFormQVR533(FormMain->Board(), FormMain);
  windows.FormQVR730 = new TFormQVR730(FormMain->Board(), FormMain);
  windows.FormBoard = new TFormBoard(FormMain->Board(), FormMain);
  windows.FormBoard51x = new TFormBoard51x(FormMain->Board(), FormMain);
  windows.FormQVR51x = new TFormQVR51x(FormMain->Board(), FormMain);
  windows.FormQVR550 = new TFormQVR550(FormMain->Board(), FormMain);
  windows.FormLogging = new TFormLogging(FormMain->Board(), FormMain);
  FormMain->SetToolWindows(windows);
  return FormMain;
}

void DestroyWindows() {
  delete FormMain;
  FormMain = nullptr;
}
