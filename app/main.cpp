#include <QApplication>
#include "Ev710App.h"
#include "Ev710Main.h"

int main(int argc, char *argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
  TStartOptions options;
  if (const int rc = ParseCommandLine(arguments, options); rc >= 0) return rc;

  QApplication app(argc, argv);
  SetUpApplication(app);
  TFormMain *main = CreateWindows();
  if (!options.Port.isEmpty()) main->SelectPort(options.Port);
  main->show();
  const int rc = app.exec();
  DestroyWindows();
  return rc;
}
