#include <QApplication>
#include "Ev710App.h"
#include "Ev710Main.h"

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  SetUpApplication(app);
  TFormMain *main = CreateWindows();
  main->show();
  const int rc = app.exec();
  DestroyWindows();
  return rc;
}
