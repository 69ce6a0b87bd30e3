#include "CtlTool.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>
#include <limits>
#include <optional>
#include "Channel.h"
#include "CtlCommands.h"
#include "CtlWatch.h"
#include "CtlRegisterCommands.h"
#include "Ev710Registers.h"
#include "Ev710Utils.h"
#include "SetupBoard.h"

namespace ctltool {

namespace {

const char *const CommandsHelp = R"(
Commands:
  ports                     the serial ports, board ports marked, and the simulated boards
                              qvr710-ctl ports
  info                      the board kind, the board's and the controller's version texts
                              qvr710-ctl --port ttyACM0 info
  status                    per motor the positions, velocities and acceleration, and the
                            controller's status bits
                              qvr710-ctl --port SIM1 status
  get NAME.M ...            controller registers and fields by the register editor's names (M the
                            motor 1..3, none for a global one), driver parameters, RAM words
                              qvr710-ctl --port SIM1 get X_ACTUAL.1 RAMP_MODE.3 SPI_CLK_DIV
  set NAME.M=VALUE ...      writes them: the configuration first, then the live registers in the
                            order given; a field of a shared register is read first and written
                            with the others as the board holds them; a value out of range or a
                            read-only register is refused before anything is sent
                              qvr710-ctl --port SIM1 set V_MAX.2=1000 P_MUL.1=200 X_TARGET.2=5000
  driver get NAME.M ...     driver parameters by the driver windows' names, of the board's drivers
                              qvr710-ctl --port SIM1 driver get TBL.1 CS.2
  driver set NAME.M=VALUE ...  writes them as the driver windows do; the QVR51x drivers' SDT.M
                            (slider position 0..7) and PWM can only be set
                              qvr710-ctl --port SIM1 driver set CS.2=20 SFILT.2=1
                              qvr710-ctl --port SIM2 driver set SDT.1=3 PWM=200
  ram read FILE             the controller's RAM table into a RAM table file (the RAM page's format)
                              qvr710-ctl --port SIM1 ram read table.705
  ram write FILE            a RAM table file onto the board, all 64 pairs
                              qvr710-ctl --port SIM1 ram write table.705
  move M VALUE              a Go of motor M (1..3) as the main window sends it: VALUE is the target
                            position (--mode ramp or soft, the default), the target velocity
                            (velocity) or the velocity (hold); --vmin, --vmax, --amax not given
                            are the board's; --wait waits for the target (--timeout S, 60)
                              qvr710-ctl --port SIM1 move 1 51200 --vmax 1000 --amax 100 --wait
                              qvr710-ctl --port SIM1 move --mode velocity 2 -- -800
  stop M|all                stops motor M (1..3) or all motors
                              qvr710-ctl --port SIM1 stop all
  watch [ROW ...]           one line per completed poll cycle with the data log's values: ROW is
                            X_TARGET, X_ACTUAL, V_TARGET, V_ACTUAL, A_ACTUAL, THRIFTLEVEL or
                            LOADPROBE with the motor (X_ACTUAL_1 or X_ACTUAL.1); without ROW the
                            X_ACTUAL, V_ACTUAL and LOADPROBE of every motor the board has; TIME is
                            ms since the start; --csv: CSV with a header, --json: an object a line;
                            until --count N cycles, --seconds S or Ctrl+C
                              qvr710-ctl --port SIM1 watch X_ACTUAL_1 V_ACTUAL_1 --count 10
                              qvr710-ctl --port SIM1 watch --csv --seconds 60 > run.csv
  setup save FILE           the board's setup into a .qvrsetup file
                              qvr710-ctl --port SIM1 setup save bench.qvrsetup
  setup apply FILE          writes a setup file and reads the board back (--dry-run: lists the writes)
                              qvr710-ctl --port SIM1 setup apply bench.qvrsetup --dry-run
  setup diff FILE           the differences between a setup file and the board
                              qvr710-ctl --port SIM1 setup diff bench.qvrsetup

Exit codes:
  0  success
  1  the board did not answer, or a command failed on the board
  2  usage error: unknown command or name, value out of range, bad file
  3  the port could not be opened (busy: another program uses it)
  4  setup diff found a difference, or move --wait timed out
  130  Ctrl+C ended move --wait (the motor was stopped first), setup apply (it says what was
       and was not written) or watch

A negative number follows "--", which ends the options: give the options before it.
When qvr710-eval holds the port, the command runs in it, and the window shows the change.
)";

int Number(const QString &text, const QString &what, int min, int max) {
  bool ok = false;
  const int value = text.toInt(&ok, 0);
  if (!ok) throw ToolFailure{ExitUsage, QStringLiteral("\"%1\" is no whole number for %2.").arg(text, what)};
  if (value < min || value > max)
    throw ToolFailure{ExitUsage, QStringLiteral("%1 = %2 is out of its range %3..%4.").arg(what).arg(value).arg(min).arg(max)};
  return value;
}

int MotorNumber(const QString &text) { return Number(text, QStringLiteral("motor"), 1, 3); }

QList<int> StopMotors(const QString &text) {
  return text.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0 ? QList<int>{1, 2, 3} : QList<int>{MotorNumber(text)};
}

int RampModeOf(const QString &text) {
  const QStringList modes = {"ramp", "soft", "velocity", "hold"};
  const qsizetype mode = modes.indexOf(text.toLower());
  if (mode < 0) throw ToolFailure{ExitUsage, QStringLiteral("Unknown mode \"%1\": ramp, soft, velocity or hold.").arg(text)};
  return int(mode);
}

// A motor register's value: from its option, else as the board holds it.
int MotorValue(const QCommandLineParser &p, const QString &option, ToolBoard &board, int motor, ctl::MotorRegister index) {
  const QString name = QString::fromLatin1(ctl::MotorRegisters[size_t(index)].ItemText);
  if (p.isSet(option)) return Number(p.value(option), name, ctl::MotorRegisters[size_t(index)].Min, ctl::MotorRegisters[size_t(index)].Max);
  const QString item = QStringLiteral("%1.%2").arg(name).arg(motor);
  return setup::ReadSetupValues(board.Session, {item}).value(item);
}

MoveRequest MoveOf(ToolBoard &board, const QStringList &args, const QCommandLineParser &p) {
  using namespace ctl;
  MoveRequest move;
  move.Motor = MotorNumber(args[0]);
  TMotion &m = move.Motion;
  m.Mode = p.isSet("mode") ? RampModeOf(p.value("mode")) : RampModeRamp;
  const MotorRegister valueIndex = m.Mode == RampModeVelocity ? V_TARGET : m.Mode == RampModeHold ? V_ACTUAL : X_TARGET;
  const MotorRegisterInfo &info = MotorRegisters[size_t(valueIndex)];
  const int value = Number(args[1], QLatin1String(info.ItemText), info.Min, info.Max);
  const bool positioning = m.Mode == RampModeRamp || m.Mode == RampModeSoft;
  move.Wait = p.isSet("wait");
  if (move.Wait && !positioning) throw ToolFailure{ExitUsage, QStringLiteral("--wait needs the mode ramp or soft.")};
  move.TimeoutMs = 1000 * (p.isSet("timeout") ? Number(p.value("timeout"), QStringLiteral("--timeout"), 1, 86400) : 60);
  move.Force = p.isSet("force");
  if (m.Mode != RampModeHold) m.AMax = MotorValue(p, "amax", board, move.Motor, A_MAX);
  if (positioning) {
    m.VMax = MotorValue(p, "vmax", board, move.Motor, V_MAX);
    m.VMin = MotorValue(p, "vmin", board, move.Motor, V_MIN);
    m.XTarget = value;
  }
  if (m.Mode == RampModeVelocity) m.VTarget = value;
  if (m.Mode == RampModeHold) m.VActual = value;
  return move;
}

WatchRequest WatchOf(const QStringList &rows, const QCommandLineParser &p) {
  if (p.isSet("count") && p.isSet("seconds")) throw ToolFailure{ExitUsage, QStringLiteral("watch takes --count or --seconds, not both.")};
  if (p.isSet("csv") && p.isSet("json")) throw ToolFailure{ExitUsage, QStringLiteral("watch takes --csv or --json, not both.")};
  WatchRequest watch;
  watch.Rows = rows;
  if (p.isSet("count")) watch.Count = Number(p.value("count"), QStringLiteral("--count"), 1, std::numeric_limits<int>::max());
  if (p.isSet("seconds")) watch.Seconds = Number(p.value("seconds"), QStringLiteral("--seconds"), 1, 86400);
  watch.Format = p.isSet("csv") ? WatchFormat::Csv : p.isSet("json") ? WatchFormat::Json : WatchFormat::Text;
  return watch;
}

struct Command {
  QString Name;
  int MinArgs, MaxArgs;  // -1: any number
  bool NeedsBoard, NeedsControllerVersion;
  std::function<Report(ToolBoard *, const QStringList &, const QCommandLineParser &)> Run;
};

const std::vector<Command> &Commands() {
  static const std::vector<Command> commands = {
      {"ports", 0, 0, false, false, [](ToolBoard *, const QStringList &, const QCommandLineParser &) { return PortsCommand(); }},
      {"info", 0, 0, true, true, [](ToolBoard *b, const QStringList &, const QCommandLineParser &) { return InfoCommand(*b); }},
      {"status", 0, 0, true, false, [](ToolBoard *b, const QStringList &, const QCommandLineParser &) { return StatusCommand(*b); }},
      {"get", 1, -1, true, false, [](ToolBoard *b, const QStringList &a, const QCommandLineParser &) { return GetCommand(*b, a); }},
      {"set", 1, -1, true, false, [](ToolBoard *b, const QStringList &a, const QCommandLineParser &) { return SetCommand(*b, a); }},
      {"move", 2, 2, true, false, [](ToolBoard *b, const QStringList &a, const QCommandLineParser &p) { return MoveCommand(*b, MoveOf(*b, a, p)); }},
      {"stop", 1, 1, true, false, [](ToolBoard *b, const QStringList &a, const QCommandLineParser &) { return StopCommand(*b, StopMotors(a[0])); }},
      {"driver get", 1, -1, true, false, [](ToolBoard *b, const QStringList &a, const QCommandLineParser &) { return DriverGetCommand(*b, a); }},
      {"driver set", 1, -1, true, false, [](ToolBoard *b, const QStringList &a, const QCommandLineParser &) { return DriverSetCommand(*b, a); }},
      {"ram read", 1, 1, true, false, [](ToolBoard *b, const QStringList &a, const QCommandLineParser &) { return RamReadCommand(*b, a[0]); }},
      {"ram write", 1, 1, true, false, [](ToolBoard *b, const QStringList &a, const QCommandLineParser &) { return RamWriteCommand(*b, a[0]); }},
      {"watch", 0, -1, true, false,
       [](ToolBoard *b, const QStringList &a, const QCommandLineParser &p) { return WatchCommand(*b, WatchOf(a, p), *b->Out); }},
      {"setup save", 1, 1, true, false, [](ToolBoard *b, const QStringList &a, const QCommandLineParser &) { return SetupSaveCommand(*b, a[0]); }},
      {"setup apply", 1, 1, true, false,
       [](ToolBoard *b, const QStringList &a, const QCommandLineParser &p) { return SetupApplyCommand(*b, a[0], p.isSet("dry-run")); }},
      {"setup diff", 1, 1, true, false, [](ToolBoard *b, const QStringList &a, const QCommandLineParser &) { return SetupDiffCommand(*b, a[0]); }},
  };
  return commands;
}

// The command the positional arguments name ("setup save" takes two words), and its arguments.
std::pair<const Command *, QStringList> FindCommand(QStringList args) {
  for (const Command &c : Commands()) {
    const QStringList words = c.Name.split(u' ');
    if (args.mid(0, words.size()).join(u' ').toLower() != c.Name) continue;
    args.remove(0, words.size());
    const bool fits = args.size() >= c.MinArgs && (c.MaxArgs < 0 || args.size() <= c.MaxArgs);
    if (!fits) throw ToolFailure{ExitUsage, QStringLiteral("Wrong number of arguments for \"%1\" (see --help).").arg(c.Name)};
    return {&c, args};
  }
  throw ToolFailure{ExitUsage, QStringLiteral("Unknown command \"%1\" (see --help).").arg(args.join(u' '))};
}

// Data on out; the account of a command that failed on the board on err.
void Print(QTextStream &out, QTextStream &err, const Report &r, bool json) {
  if (json && !r.Json.isNull()) out << (r.Json.isArray() ? QJsonDocument(r.Json.toArray()) : QJsonDocument(r.Json.toObject())).toJson(QJsonDocument::Compact) << u'\n';
  else if (!r.Text.isEmpty()) (r.Code == ExitBoardFailed || r.Code == ExitInterrupted ? err : out) << r.Text << u'\n';
  out.flush();
  err.flush();
}

// The tool's options on `parser`.
void AddOptions(QCommandLineParser &parser) {
  parser.setApplicationDescription(QStringLiteral("The QVR710 evaluation boards from the command line and from scripts."));
  parser.addOption({{"h", "help"}, QStringLiteral("Shows this help.")});
  parser.addOption({QStringLiteral("version"), QStringLiteral("Shows the program's version.")});
  parser.addOption({QStringLiteral("port"), QStringLiteral("The board's port: a name from \"ports\" or a device path."), QStringLiteral("NAME")});
  parser.addOption({QStringLiteral("json"), QStringLiteral("Reports as JSON, for scripts.")});
  parser.addOption({QStringLiteral("dry-run"), QStringLiteral("setup apply: lists the writes, sends nothing.")});
  parser.addOption({QStringLiteral("vmin"), QStringLiteral("move: the motor's V_MIN."), QStringLiteral("N")});
  parser.addOption({QStringLiteral("vmax"), QStringLiteral("move: the motor's V_MAX."), QStringLiteral("N")});
  parser.addOption({QStringLiteral("amax"), QStringLiteral("move: the motor's A_MAX."), QStringLiteral("N")});
  parser.addOption({QStringLiteral("mode"), QStringLiteral("move: ramp, soft, velocity or hold."), QStringLiteral("MODE")});
  parser.addOption({QStringLiteral("force"), QStringLiteral("move: also with an acceleration the window would warn about.")});
  parser.addOption({QStringLiteral("wait"), QStringLiteral("move: returns when the motor has reached its target.")});
  parser.addOption({QStringLiteral("timeout"), QStringLiteral("move --wait: gives up after S seconds (exit code 4)."), QStringLiteral("S")});
  parser.addOption({QStringLiteral("count"), QStringLiteral("watch: ends after N cycles."), QStringLiteral("N")});
  parser.addOption({QStringLiteral("seconds"), QStringLiteral("watch: ends after S seconds."), QStringLiteral("S")});
  parser.addOption({QStringLiteral("csv"), QStringLiteral("watch: comma-separated values with a header line.")});
  parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("One of the commands below, with its arguments."), QStringLiteral("command [arguments]"));
}

// Runs the command on `held`, the window program's session, or else through the channel of a
// program holding the port, or else on the port opened here.
int Run(const QStringList &arguments, QTextStream &out, QTextStream &err, TBoardSession *held) {
  QCommandLineParser parser;
  AddOptions(parser);
  if (!parser.parse(arguments)) throw ToolFailure{ExitUsage, parser.errorText()};
  if (parser.isSet("help")) {
    out << parser.helpText() << CommandsHelp;
    return ExitSuccess;
  }
  if (parser.isSet("version")) {
    out << QCoreApplication::applicationName() << u' ' << QCoreApplication::applicationVersion() << u'\n';
    return ExitSuccess;
  }
  const auto [command, args] = FindCommand(parser.positionalArguments());
  std::optional<ToolBoard> board;
  if (command->NeedsBoard) {
    if (held) {
      board.emplace(*held, command->NeedsControllerVersion, err);
    } else {
      if (!parser.isSet("port")) throw ToolFailure{ExitUsage, QStringLiteral("\"%1\" needs --port NAME.").arg(command->Name)};
      if (const std::optional<int> code = RunThroughChannel(parser.value("port"), arguments.mid(1), out, err)) return *code;
      ResolveSimulatedBoards();
      board.emplace(parser.value("port"), command->NeedsControllerVersion, err);
    }
    board->Out = &out;
  }
  const Report report = command->Run(board ? &*board : nullptr, args, parser);
  Print(out, err, report, parser.isSet("json"));
  return report.Code;
}

}  // namespace

bool IsStopRequest(const QStringList &arguments) {
  QCommandLineParser parser;
  AddOptions(parser);
  try {
    return parser.parse(arguments) && FindCommand(parser.positionalArguments()).first->Name == QLatin1String("stop");
  } catch (const ToolFailure &) {
    return false;
  }
}

int RunTool(const QStringList &arguments, QTextStream &out, QTextStream &err) { return RunToolOn(nullptr, arguments, out, err); }

int RunToolOn(TBoardSession *held, const QStringList &arguments, QTextStream &out, QTextStream &err) {
  try {
    return Run(arguments, out, err, held);
  } catch (const ToolFailure &f) {
    err << f.Text << Qt::endl;
    return f.Code;
  } catch (const EEvalError &e) {
    err << (e.Text.isEmpty() ? QStringLiteral("Stopped.") : e.Text) << Qt::endl;
    return ExitBoardFailed;
  }
}

}  // namespace ctltool
