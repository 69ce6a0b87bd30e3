#include "Ev710App.h"
#include <QApplication>
#include "Ev710Advanced.h"
#include "Ev710Main.h"
#include "Ev710Warn.h"
#include "Hint95.h"

TFormMain *FormMain = nullptr;
TFormAdvanced *FormAdvanced = nullptr;
TFormWarning *FormWarning = nullptr;

void SetUpApplication(QApplication &app) {
  app.setApplicationName(TFormMain::DesignCaption);
  THint95::InstallApplicationStyle();
}

// The windows in their start-up order; the later tool windows take their places here as they
// are built. Each runs its creation at once; only the main window is shown (by the caller).
TFormMain *CreateWindows() {
  FormMain = new TFormMain;
  FormAdvanced = new TFormAdvanced(FormMain->Board(), FormMain);
  FormWarning = new TFormWarning(FormMain);
  TToolWindows windows;
  windows.FormAdvanced = FormAdvanced;
  windows.FormWarning = FormWarning;
  FormMain->SetToolWindows(windows);
  return FormMain;
}

void DestroyWindows() {
  delete FormMain;  // owns the dialog
  FormMain = nullptr;
  FormAdvanced = nullptr;
  FormWarning = nullptr;
}
