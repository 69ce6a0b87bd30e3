#include "CtlTool.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>
#include <optional>
#include "CtlCommands.h"
#include "Ev710Utils.h"

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
  get NAME.M ...            configuration registers, fields and driver parameters by name
                              qvr710-ctl --port SIM1 get V_MAX.1 RAMP_MODE.3 SPI_CLK_DIV
  set NAME.M=VALUE ...      writes them; a value out of range is refused before anything is sent
                              qvr710-ctl --port SIM1 set V_MAX.2=1000 P_MUL.1=200
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
  4  setup diff found a difference
)";

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
  if (json) out << (r.Json.isArray() ? QJsonDocument(r.Json.toArray()) : QJsonDocument(r.Json.toObject())).toJson(QJsonDocument::Compact) << u'\n';
  else if (!r.Text.isEmpty()) (r.Code == ExitBoardFailed ? err : out) << r.Text << u'\n';
  out.flush();
  err.flush();
}

int Run(const QStringList &arguments, QTextStream &out, QTextStream &err) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("The QVR710 evaluation boards from the command line and from scripts."));
  const QCommandLineOption help({"h", "help"}, QStringLiteral("Shows this help."));
  const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Shows the program's version."));
  parser.addOption(help);
  parser.addOption(version);
  parser.addOption({QStringLiteral("port"), QStringLiteral("The board's port: a name from \"ports\" or a device path."), QStringLiteral("NAME")});
  parser.addOption({QStringLiteral("json"), QStringLiteral("Reports as JSON, for scripts.")});
  parser.addOption({QStringLiteral("dry-run"), QStringLiteral("setup apply: lists the writes, sends nothing.")});
  parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("One of the commands below, with its arguments."), QStringLiteral("command [arguments]"));
  if (!parser.parse(arguments)) throw ToolFailure{ExitUsage, parser.errorText()};
  if (parser.isSet(help)) {
    out << parser.helpText() << CommandsHelp;
    return ExitSuccess;
  }
  if (parser.isSet(version)) {
    out << QCoreApplication::applicationName() << u' ' << QCoreApplication::applicationVersion() << u'\n';
    return ExitSuccess;
  }
  const auto [command, args] = FindCommand(parser.positionalArguments());
  std::optional<ToolBoard> board;
  if (command->NeedsBoard) {
    if (!parser.isSet("port")) throw ToolFailure{ExitUsage, QStringLiteral("\"%1\" needs --port NAME.").arg(command->Name)};
    ResolveSimulatedBoards();
    board.emplace(parser.value("port"), command->NeedsControllerVersion, err);
  }
  const Report report = command->Run(board ? &*board : nullptr, args, parser);
  Print(out, err, report, parser.isSet("json"));
  return report.Code;
}

}  // namespace

int RunTool(const QStringList &arguments, QTextStream &out, QTextStream &err) {
  try {
    return Run(arguments, out, err);
  } catch (const ToolFailure &f) {
    err << f.Text << Qt::endl;
    return f.Code;
  } catch (const EEvalError &e) {
    err << (e.Text.isEmpty() ? QStringLiteral("Stopped.") : e.Text) << Qt::endl;
    return ExitBoardFailed;
  }
}

}  // namespace ctltool
