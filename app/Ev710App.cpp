#include "Ev710App.h"
#include <QApplication>
#include <QLocale>
#include "Ev710Main.h"
#include "Hint95.h"

TFormMain *FormMain = nullptr;

void SetUpApplication(QApplication &app) {
  app.setApplicationName(TFormMain::DesignCaption);
  QLocale::setDefault(QLocale::c());  // "." decimal and "," thousands separator, whatever the system says
  THint95::InstallApplicationStyle();
}

TFormMain *CreateWindows() {
  FormMain = new TFormMain;
  TToolWindows windows;
  FormMain->SetToolWindows(windows);
  return FormMain;
}

void DestroyWindows() {
  delete FormMain;
  FormMain = nullptr;
}
