// qvr710-snapshot OUTDIR [--open PORT [--run | --script]]
// Creates the application and its windows exactly as the program does, on the offscreen
// platform unless another one is asked for, and saves a picture of every window as
// OUTDIR/<window name>.png. With --open PORT (for example SIM1, a simulated board) it opens
// that port first and lets the poll cycle run for a moment, so the pictures show live values.
// With --run as well, motor 1 is sent to a target in RAMP mode, motor 2 runs in VELOCITY
// mode and motor 3 goes to a target in SOFTMODE; the graphics window shows all four traces,
// and the pictures are taken while the motors move. The logging window shows a choice of
// values for motor 1 (it is not started). With --script instead, qvr710-ctl moves motor 1
// through the window's command channel and only script-driving.png is saved. The register editor is shown on each of its pages
// in turn, as TFormAdvanced-<page>.png, after the poll cycle has read that page. Opened without
// --run on a newer-driver board, the setup comparison shows the board's setup saved, then three
// of motor 1's values changed on the board, and the saved file loaded again.
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include "Ev710Advanced.h"
#include "Ev710App.h"
#include "Ev710Guard.h"
#include "Ev710Main.h"
#include "Ev710Warn.h"
#include "SetupBoard.h"
#include "SimulatedBoard.h"
#include "SpinEdit.h"

namespace {
constexpr int LiveValuesWaitMs = 1500;
constexpr int GraphFillMs = 6000;  // long enough for the traces to span a good part of the plot

void Usage() { std::fprintf(stderr, "usage: qvr710-snapshot OUTDIR [--open PORT [--run | --script]]\n"); }

// Types the motion parameters into a motor's edits and presses its Go button.
void StartMotor(TFormMain &main, int motor, int mode, const QList<QPair<QString, int>> &values) {
  const QString n = QString::number(motor);
  main.findChild<QComboBox *>(QStringLiteral("CbRampMode") + n)->setCurrentIndex(mode);
  for (const auto &[edit, value] : values)
    if (auto *e = main.findChild<TSpinEdit *>(edit + n)) e->SetValue(value);
  main.findChild<QPushButton *>(QStringLiteral("BtnGo") + n)->click();
}

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

// The graphics window opened from the main window, with all four traces, on motor 2's page:
// in VELOCITY mode its target velocity is not 0.
void ShowGraphics(TFormMain &main) {
  auto *graphics = main.findChild<QWidget *>(QStringLiteral("FormGraphics"));
  if (!graphics) return;
  graphics->findChild<QCheckBox *>(QStringLiteral("CheckVTarget"))->click();
  main.findChild<QPushButton *>(QStringLiteral("BtnGraphics"))->click();
  graphics->findChild<QTabWidget *>(QStringLiteral("PageControl"))->setCurrentIndex(1);
}

// A script moves motor 1 through the window's command channel while the graph follows it: the
// main window (its status line names the script's command) beside the graphics window, as one
// picture OUTDIR/script-driving.png.
bool SaveScriptDriving(TFormMain &main, const QString &port, const QDir &dir) {
  auto *graphics = main.findChild<QWidget *>(QStringLiteral("FormGraphics"));
  main.findChild<QPushButton *>(QStringLiteral("BtnGraphics"))->click();
  QProcess script;
  script.start(QStringLiteral(QVR_CTL_PATH), {QStringLiteral("--port"), port, QStringLiteral("move"), QStringLiteral("1"),
                                               QStringLiteral("40000"), QStringLiteral("--vmax"), QStringLiteral("700"),
                                               QStringLiteral("--amax"), QStringLiteral("30"), QStringLiteral("--wait")});
  // Taken while the command runs: the window answers the script from inside the command's waits.
  QPixmap left, right;
  QTimer::singleShot(2700, &main, [&] {  // the status line names the script for 3 s
    left = main.grab();
    right = graphics->grab();
  });
  QElapsedTimer waited;
  waited.start();
  while ((left.isNull() || script.state() != QProcess::NotRunning) && waited.elapsed() < 30000) RunEventsFor(50);
  QImage picture(left.width() + right.width(), std::max(left.height(), right.height()), QImage::Format_RGB32);
  picture.fill(Qt::white);
  QPainter painter(&picture);
  painter.drawPixmap(0, 0, left);
  painter.drawPixmap(left.width(), 0, right);
  painter.end();
  return picture.save(dir.filePath(QStringLiteral("script-driving.png")));
}

// A file name and motor 1's positions, velocity and load ticked, as a user prepares a log.
void ShowLogChoice(TFormMain &main) {
  if (auto *name = main.findChild<QLineEdit *>(QStringLiteral("EditLogFileName")))
    name->setText(QStringLiteral("/home/engineer/logs/motor1-run.csv"));
  for (const char *box : {"CheckLogMotor1", "CheckLogTargPosMotor1", "CheckLogActPosMotor1", "CheckLogActVelMotor1",
                          "CheckLogLDMotor1"})
    if (auto *check = main.findChild<QCheckBox *>(QLatin1String(box))) check->click();
}

bool SaveWindow(QWidget *w, const QDir &dir, const QString &name = QString()) {
  // A hidden window is shown for its picture: its size and scroll bars are settled on showing.
  const bool hidden = !w->isVisible();
  if (hidden) {
    w->show();
    RunEventsFor(100);
  }
  const QString path = dir.filePath((name.isEmpty() ? w->objectName() : name) + QStringLiteral(".png"));
  const QPixmap picture = w->grab();
  if (hidden) w->hide();
  if (!picture.save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}
// The register editor open on each page in turn, each picture after the page's registers
// have been read.
bool SaveEditorPages(TFormAdvanced &editor, const QDir &dir) {
  auto *pages = editor.findChild<QTabWidget *>(QStringLiteral("PageControl"));
  editor.show();
  bool ok = true;
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    RunEventsFor(LiveValuesWaitMs / 2);
    ok = SaveWindow(&editor, dir, QStringLiteral("TFormAdvanced-%1").arg(i)) && ok;
  }
  // The RAM table page after a read of the board's RAM and after a waveform calculation.
  editor.show();
  auto *ramPage = editor.findChild<QWidget *>(QStringLiteral("TabRAM"));
  pages->setCurrentWidget(ramPage);
  ramPage->findChild<QPushButton *>(QStringLiteral("BtnReadRAM"))->click();
  ok = SaveWindow(&editor, dir, QStringLiteral("TFormAdvanced-ram-read")) && ok;
  ramPage->findChild<TFloatSpinEdit *>(QStringLiteral("EditSigma"))->SetValue(0.5);
  ramPage->findChild<QPushButton *>(QStringLiteral("BtnShapeCalc"))->click();
  ok = SaveWindow(&editor, dir, QStringLiteral("TFormAdvanced-ram-shape")) && ok;
  editor.close();
  pages->setCurrentIndex(0);
  return ok;
}

// The driver windows are saved page by page, shown with live values, when their board is open.
const QStringList DriverWindows = {QStringLiteral("TFormQVR533"), QStringLiteral("TFormQVR550")};

bool SaveDriverPages(TFormMain &main, const QDir &dir) {
  const TBoardKind kind = main.Board().Identity().Kind;
  if (kind != TBoardKind::NewerDrivers && kind != TBoardKind::Qvr550) return true;
  QWidget *w = nullptr;
  for (QWidget *top : QApplication::topLevelWidgets())
    if (top->objectName() == DriverWindows[kind == TBoardKind::NewerDrivers ? 0 : 1]) w = top;
  if (!w) return true;
  w->show();
  auto *pages = w->findChild<QTabWidget *>(QStringLiteral("PageControl"));
  bool ok = true;
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    RunEventsFor(LiveValuesWaitMs / 3);
    const QString path = dir.filePath(w->objectName() + u'-' + pages->tabText(i) + QStringLiteral(".png"));
    ok = w->grab().save(path) && ok;
    std::printf("%s\n", qPrintable(path));
  }
  // The trimDrive information page, opened as a click on the picture opens it.
  QWidget *picture = w->findChild<QWidget *>(QStringLiteral("ImgTrimDrive"));
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), picture->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(picture, &release);
  if (auto *info = w->findChild<QWidget *>(QStringLiteral("FormTrimDriveInfo"))) {
    RunEventsFor(100);
    ok = SaveWindow(info, dir) && ok;
    info->close();
  }
  w->close();
  return ok;
}

QWidget *TopLevel(const QString &name) {
  for (QWidget *top : QApplication::topLevelWidgets())
    if (top->objectName() == name) return top;
  return nullptr;
}

// The encoder, older-driver and board windows of the open board, shown with values set and live.
void ShowBoardToolWindows(TFormMain &main, const QString &port) {
  const TBoardKind kind = main.Board().Identity().Kind;
  if (kind == TBoardKind::NewerDrivers) {
    QWidget *encoder = TopLevel(QStringLiteral("TFormQVR730"));
    encoder->show();
    // Encoder 2 counts 2.6 per step; the telegram of ENC2_PS is sent and stays shown.
    encoder->findChild<QRadioButton *>(QStringLiteral("RGRegistersItem1"))->click();
    encoder->findChild<TSpinEdit *>(QStringLiteral("EditEnc2Int"))->SetValue(2);
    encoder->findChild<TSpinEdit *>(QStringLiteral("EditEnc2Fract"))->SetValue(3);
    encoder->findChild<QComboBox *>(QStringLiteral("CbEnc2Fract"))->setCurrentIndex(1);
    encoder->findChild<QPushButton *>(QStringLiteral("BtnSendMot1"))->click();
    TopLevel(QStringLiteral("TFormBoard"))->show();
    TopLevel(QStringLiteral("TFormBoard"))->findChild<QComboBox *>(QStringLiteral("CbFreq710"))->setCurrentIndex(7);
  } else if (kind == TBoardKind::OlderDrivers) {
    sim::SimulatedBoardNamed(port.toStdString())->WithModel([](sim::BoardModel &m) {
      m.Drivers().SetForcedFlags(1, 0x41);  // OC-A and OT-PW of Motor 2
      m.Drivers().SetForcedFlags(2, 0x30);  // UV and OC-HS, which Motor 3's group does not show
    });
    QWidget *flags = TopLevel(QStringLiteral("TFormQVR51x"));
    flags->show();
    flags->findChild<QSlider *>(QStringLiteral("LoadSlider517"))->setValue(3);
    QWidget *board = TopLevel(QStringLiteral("TFormBoard51x"));
    board->show();
    board->findChild<QSlider *>(QStringLiteral("TrackBarPWM"))->setValue(160);
  }
  RunEventsFor(LiveValuesWaitMs / 2);
}
void ShowSetupComparison(TFormMain &main, const QDir &dir) {
  if (main.Board().Identity().Kind != TBoardKind::NewerDrivers) return;
  const QString path = dir.filePath(QStringLiteral("saved.qvrsetup"));
  RunGuarded(&main, [&] {
    main.SaveSetupTo(path);
    setup::WriteSetupValues(main.Board(), {{"V_MIN.1", 5}, {"V_MAX.1", 1500}, {"A_MAX.1", 200}});
    main.LoadSetupFrom(path);
  });
  QFile::remove(path);
}
}  // namespace

int main(int argc, char *argv[]) {
  // A full-HD screen: the pictures show the windows at their design size.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" QVR_OFFSCREEN_SCREEN);
  QApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  const bool run = args.size() == 4 && args[3] == QLatin1String("--run");
  const bool script = args.size() == 4 && args[3] == QLatin1String("--script");
  if (args.size() != 1 && !((args.size() == 3 || run || script) && args[1] == QLatin1String("--open"))) {
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
  if (args.size() >= 3) {
    if (!OpenPort(*main, args[2])) {
      std::fprintf(stderr, "cannot open port %s\n", qPrintable(args[2]));
      rc = 1;
    }
    RunEventsFor(LiveValuesWaitMs);
    if (script) {
      if (!SaveScriptDriving(*main, args[2], dir)) rc = 1;
      main->close();
      DestroyWindows();
      return rc;
    }
    if (run) {
      StartMotor(*main, 1, 0, {{"EditXTarget", 10000}, {"EditVMax", 1000}, {"EditVMin", 1}, {"EditAMax", 100}});
      StartMotor(*main, 2, 2, {{"EditVTarget", -600}, {"EditAMax", 50}});
      StartMotor(*main, 3, 1, {{"EditXTarget", -30000}, {"EditVMax", 1500}, {"EditVMin", 1}, {"EditAMax", 200}});
      ShowGraphics(*main);
      RunEventsFor(GraphFillMs);
    }
  }
  if (args.size() >= 3) ShowBoardToolWindows(*main, args[2]);
  if (args.size() == 3) ShowSetupComparison(*main, dir);
  ShowLogChoice(*main);
  QApplication::processEvents();
  for (QWidget *w : QApplication::topLevelWidgets()) {
    // The warning as a Go shows it, its limit filled in (8 for RampDiv 7 and PulseDiv 3).
    if (auto *warning = qobject_cast<TFormWarning *>(w); warning && warning->Number().isEmpty())
      warning->SetNumber(QStringLiteral("8,"));
  }
  for (QWidget *w : QApplication::topLevelWidgets())
    if (!w->objectName().isEmpty() && !w->inherits("QMenu") && !DriverWindows.contains(w->objectName()) &&
        !qobject_cast<TFormAdvanced *>(w) && !SaveWindow(w, dir))
      rc = 1;
  if (auto *editor = main->findChild<TFormAdvanced *>(); editor && !SaveEditorPages(*editor, dir)) rc = 1;
  // The driver windows watch motor 1's driver: it runs again, in VELOCITY mode, for their pages.
  if (run) StartMotor(*main, 1, 2, {{"EditVTarget", 900}, {"EditAMax", 20}});
  if (!SaveDriverPages(*main, dir)) rc = 1;
  main->close();
  DestroyWindows();
  SetGuardErrorSink({});
  return rc;
}
