#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include "CtlTool.h"

int main(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("qvr710-ctl"));
  app.setApplicationVersion(QStringLiteral(QVR_FILE_VERSION));
  QTextStream out(stdout), err(stderr);
  return ctltool::RunTool(app.arguments(), out, err);
}
