#include "Ev710App.h"
#include <QApplication>
#include "Ev710Graphics.h"
#include "Ev710Logging.h"
#include "Ev710Main.h"
#include "Ev710Warn.h"
#include "Hint95.h"

TFormMain *FormMain = nullptr;
TFormWarning *FormWarning = nullptr;

void SetUpApplication(QApplication &app) {
  app.setApplicationName(TFormMain::DesignCaption);
  THint95::InstallApplicationStyle();
}

// The windows in their start-up order; the later tool windows take their places here as they
// are built. Each runs its creation at once; only the main window is shown (by the caller).
TFormMain *CreateWindows() {
  FormMain = new TFormMain;
  TToolWindows windows;
  windows.FormGraphics = new TFormGraphics(FormMain->Board(), FormMain);
  FormWarning = new TFormWarning(FormMain);
  windows.FormWarning = FormWarning;
  windows.FormLogging = new TFormLogging(FormMain->Board(), FormMain);
  FormMain->SetToolWindows(windows);
  return FormMain;
}

void DestroyWindows() {
  delete FormMain;  // owns the dialog
  FormMain = nullptr;
  FormWarning = nullptr;
}
