#include "Ev710App.h"
#include <QApplication>
#include <QCommandLineParser>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QIcon>
#include <QRegularExpression>
#include <cstdio>
#include "Ev710Advanced.h"
#include "Ev710Graphics.h"
#include "Ev710Logging.h"
#include "Ev710Main.h"
#include "Ev710Version.h"
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

int ParseCommandLine(const QStringList &arguments, TStartOptions &options) {
  const QString program = QStringLiteral("qvr710-eval");
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Drives the QVR710 motion controller evaluation boards over their serial port.\n"
                     "Without a board, choose one of the simulated boards SIM1, SIM2 or SIM3."));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
  parser.addOption(help);
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Show the version."));
  parser.addOption(version);
  const QCommandLineOption port(QStringLiteral("port"),
                                QStringLiteral("Preselect the serial port <name>, e.g. ttyACM0 or SIM2."),
                                QStringLiteral("name"));
  parser.addOption(port);
  // Qt's own options ("-platform offscreen", "-style fusion") are taken by the QApplication later.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  for (const char *qtOption : {"platform", "platformtheme", "style", "stylesheet"}) {
    QCommandLineOption option(QString::fromLatin1(qtOption), QString(), QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }

  if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
    const QString error = parser.errorText().isEmpty()
                              ? QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first())
                              : parser.errorText();
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for the options.\n", qPrintable(program), qPrintable(error),
                 qPrintable(program));
    return 2;
  }
  if (parser.isSet(help)) {
    std::printf("%s", qPrintable(parser.helpText().replace(QStringLiteral("<executable_name>"), program)));
    return 0;
  }
  if (parser.isSet(version)) {
    std::printf("%s %s\n", qPrintable(program), qPrintable(GetFileVersionText()));
    return 0;
  }
  options.Port = parser.value(port);
  if (options.Port.startsWith(QLatin1String("/dev/"))) options.Port.remove(0, 5);
  // The simulated boards' names in any letter case; device names keep theirs, as Linux does.
  static const QRegularExpression simulated(QStringLiteral("^SIM[1-3]$"), QRegularExpression::CaseInsensitiveOption);
  if (simulated.match(options.Port).hasMatch()) options.Port = options.Port.toUpper();
  return -1;
}

// The program's icon at the sizes title bars and task switchers use.
static QIcon ProgramIcon() {
  Q_INIT_RESOURCE(app);  // the icons sit in this static library
  QIcon icon;
  for (int size : {16, 32, 48, 64, 256}) icon.addFile(QStringLiteral(":/app/icons/qvr710-eval-%1.png").arg(size));
  return icon;
}

namespace {
// Widens every message box so that its whole title fits the title bar: Qt leaves the title only
// 50 pixels beside its text, less than a title bar's icon and buttons take.
class TMessageBoxTitleRoom : public QObject {
public:
  explicit TMessageBoxTitleRoom(QObject *parent) : QObject(parent) { setObjectName(Name); }
  static constexpr const char *Name = "MessageBoxTitleRoom";
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() != QEvent::Polish) return false;
    auto *box = qobject_cast<QMessageBox *>(watched);
    auto *buttons = box ? box->findChild<QDialogButtonBox *>() : nullptr;
    if (!buttons) return false;
    QFont titleFont = box->font();
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    const int titleBarExtras = 6 * metrics.height();  // the icon and three buttons
    buttons->setMinimumWidth(metrics.horizontalAdvance(box->windowTitle()) + titleBarExtras);
    return false;
  }
};
}  // namespace

void SetUpApplication(QApplication &app) {
  if (!app.findChild<QObject *>(QLatin1String(TMessageBoxTitleRoom::Name), Qt::FindDirectChildrenOnly))
    app.installEventFilter(new TMessageBoxTitleRoom(&app));
  app.setApplicationName(TFormMain::DesignCaption);
  app.setDesktopFileName(QStringLiteral("qvr710-eval"));  // the desktop entry, for the icon and the menu's name
  app.setWindowIcon(ProgramIcon());
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
