// qvr710-snapshot OUTDIR [--open PORT]
// Creates the application and its windows exactly as the program does, on the offscreen
// platform unless another one is asked for, and saves a picture of every window as
// OUTDIR/<window name>.png. With --open PORT (for example SIM1, a simulated board) it opens
// that port first and lets the poll cycle run for a moment, so the pictures show live values.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QLayout>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include "Ev710App.h"
#include "Ev710Guard.h"
#include "Ev710Main.h"

namespace {
constexpr int LiveValuesWaitMs = 1500;

void Usage() { std::fprintf(stderr, "usage: qvr710-snapshot OUTDIR [--open PORT]\n"); }

void RunEventsFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Selects the port list entry whose port name (its first field) is `port` and presses Open.
bool OpenPort(TFormMain &main, const QString &port) {
  auto *combo = main.findChild<QComboBox *>(QStringLiteral("ComboCOM"));
  auto *open = main.findChild<QPushButton *>(QStringLiteral("BtnOpen"));
  if (!combo || !open) return false;
  for (int i = 0; i < combo->count(); ++i)
    if (combo->itemText(i).section(u' ', 0, 0) == port) {
      combo->setCurrentIndex(i);
      open->click();
      return !open->isEnabled();
    }
  return false;
}

bool SaveWindow(QWidget *w, const QDir &dir) {
  if (!w->isVisible()) {
    // A window that was never shown still needs its layout for the picture.
    w->ensurePolished();
    if (QLayout *l = w->layout()) l->activate();
    if (!w->testAttribute(Qt::WA_Resized)) w->resize(w->sizeHint());
  }
  const QString path = dir.filePath(w->objectName() + QStringLiteral(".png"));
  if (!w->grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}
}  // namespace

int main(int argc, char *argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.size() != 1 && !(args.size() == 3 && args[1] == QLatin1String("--open"))) {
    Usage();
    return 2;
  }
  QDir dir(args[0]);
  if (!dir.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "cannot create %s\n", qPrintable(args[0]));
    return 1;
  }

  SetUpApplication(app);
  // Nobody is there to close a message box: errors go to stderr instead.
  int rc = 0;
  SetGuardErrorSink([&rc](const QString &text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    rc = 1;
  });
  TFormMain *main = CreateWindows();
  main->show();
  if (args.size() == 3) {
    if (!OpenPort(*main, args[2])) {
      std::fprintf(stderr, "cannot open port %s\n", qPrintable(args[2]));
      rc = 1;
    }
    RunEventsFor(LiveValuesWaitMs);
  }
  QApplication::processEvents();
  for (QWidget *w : QApplication::topLevelWidgets())
    if (!w->objectName().isEmpty() && !w->inherits("QMenu") && !SaveWindow(w, dir)) rc = 1;
  main->close();
  DestroyWindows();
  SetGuardErrorSink({});
  return rc;
}
