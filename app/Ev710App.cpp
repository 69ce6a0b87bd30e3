#include "Ev710App.h"
#include <QApplication>
#include "Ev710Main.h"
#include "Ev710Warn.h"
#include "Ev710_QVR53x.h"
#include "Ev710_QVR550.h"
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
  FormWarning = new TFormWarning(FormMain);
  TToolWindows windows;
  windows.FormWarning = FormWarning;
  windows.FormQVR533 = new TFormQVR533(FormMain->Board(), FormMain);
  windows.FormQVR550 = new TFormQVR550(FormMain->Board(), FormMain);
  FormMain->SetToolWindows(windows);
  return FormMain;
}

void DestroyWindows() {
  delete FormMain;  // owns the dialog
  FormMain = nullptr;
  FormWarning = nullptr;
}
