#include "CtlCommands.h"

#include <QJsonArray>
#include <QJsonObject>
#include "BoardSetup.h"
#include "Ev710Registers.h"
#include "Ev710Utils.h"
#include "Interrupt.h"
#include "PortDiscovery.h"
#include "SetupBoard.h"
#include "SimulatedBoard.h"
#include "WaitFor.h"
#include "async32.h"

using namespace ctl;

namespace ctltool {

namespace {

// How long identification may take once the version query was answered: the poll cycle's
// first replies, and for the controller's version a pass over the poll table.
constexpr int IdentifyTimeoutMs = 2 * int(ReplyTimeout);
constexpr int ControllerVersionTimeoutMs = 3 * int(ReplyTimeout);

[[noreturn]] void FailNoAnswer() { throw ToolFailure{ExitBoardFailed, QStringLiteral("The board does not respond!")}; }

QJsonArray JsonList(const QStringList &names) { return QJsonArray::fromStringList(names); }

setup::BoardSetup LoadFor(ToolBoard &board, const QString &path) {
  try {
    return setup::LoadSetupFile(path, board.Session.Identity().Kind);
  } catch (const EEvalError &e) {
    throw ToolFailure{ExitUsage, e.Text};
  }
}

QJsonArray DifferencesJson(const std::vector<setup::SetupDifference> &diffs) {
  QJsonArray list;
  for (const auto &d : diffs) list.append(QJsonObject{{"name", d.Name}, {"file", d.A}, {"board", d.B}});
  return list;
}

}  // namespace

Report WriteReport(const setup::ApplyReport &r) {
  const bool ok = r.Complete && r.Error.isEmpty() && r.ReadBackDifferences.empty();
  return {r.Summary(),
          QJsonObject{{"complete", r.Complete}, {"written", JsonList(r.Written)}, {"unconfirmed", JsonList(r.Unconfirmed)},
                      {"notWritten", JsonList(r.NotWritten)}, {"error", r.Error},
                      {"readBackDifferences", DifferencesJson(r.ReadBackDifferences)}},
          ok ? ExitSuccess : ExitBoardFailed};
}

void ResolveSimulatedBoards() {
  SetDeviceResolver([](const QString &name) {
    const sim::SimulatedBoard *board = sim::SimulatedBoardNamed(name.toStdString());
    return board ? QString::fromStdString(board->DevicePath()) : QString();
  });
}

ToolBoard::ToolBoard(const QString &port, bool needControllerVersion, QTextStream &err)
    : Owned(std::make_unique<TBoardSession>()), Session(*Owned), Errors(Session, err) {
  try {
    Session.Open(port);
  } catch (const EEvalError &e) {
    throw ToolFailure{ExitPortFailed, e.Text};
  }
  Session.StartDetection();
  if (!Session.State().CommandAnswered) FailNoAnswer();
  Session.StartPolling();
  AwaitIdentity(needControllerVersion);
}

ToolBoard::ToolBoard(TBoardSession &held, bool needControllerVersion, QTextStream &err) : Session(held), Errors(Session, err) {
  AwaitIdentity(needControllerVersion);
}

ToolBoard::~ToolBoard() {
  if (Owned) Session.Close();
}

ToolBoard::ErrorOutput::ErrorOutput(TBoardSession &session, QTextStream &err)
    : Connection(QObject::connect(&session, &TBoardSession::ErrorReported, [&err](const QString &text) { err << text << Qt::endl; })) {}
ToolBoard::ErrorOutput::~ErrorOutput() { QObject::disconnect(Connection); }

void ToolBoard::AwaitIdentity(bool needControllerVersion) {
  if (!WaitFor([this] { return Session.State().BoardIdentified; }, IdentifyTimeoutMs)) FailNoAnswer();
  if (needControllerVersion &&
      !WaitFor([this] { return !Session.Identity().ControllerVersionText.isEmpty(); }, ControllerVersionTimeoutMs))
    FailNoAnswer();
}

Report PortsCommand() {
  const QList<FoundPort> found = SystemPorts();
  const PortDiscoveryResult ports = DiscoverPorts(found, RememberedPort(-1));
  QJsonArray list;
  for (const QString &entry : ports.Entries) {
    const qsizetype bracket = entry.indexOf(u'[');
    const QString word = bracket < 0 ? QString() : entry.mid(bracket + 1).chopped(1);
    list.append(QJsonObject{{"port", PortNameOf(entry)}, {"entry", entry}, {"mark", word}});
  }
  return {ports.Entries.join(u'\n'), list};
}

Report InfoCommand(ToolBoard &board) {
  const QString kind = setup::BoardKindName(board.Session.Identity().Kind);
  const QString version = QString::fromLatin1(board.Session.Identity().VersionText).trimmed();
  const QString controller = board.Session.Identity().ControllerVersionText;
  return {QStringLiteral("Board: %1\nBoard version: %2\nController version: %3").arg(kind, version, controller),
          QJsonObject{{"board", kind}, {"boardVersion", version}, {"controllerVersion", controller}}};
}

Report StatusCommand(ToolBoard &board) {
  struct Shown { MotorRegister Index; const char *Name; };
  static constexpr Shown shown[] = {{X_ACTUAL, "X_ACTUAL"}, {X_TARGET, "X_TARGET"}, {V_ACTUAL, "V_ACTUAL"},
                                    {V_TARGET, "V_TARGET"}, {A_ACTUAL, "A_ACTUAL"}};
  TBoardAccess &access = board.Session;
  QJsonArray motors;
  QStringList lines;
  TPollingPause pause(access);
  for (int motor = 1; motor <= 3; ++motor) {
    QJsonObject values;
    QStringList texts;
    for (const Shown &s : shown) {
      const DataBytes r = access.ReadDatagram(MotorRegisterAddress(motor, s.Index, true));
      const int value = DecodeMotorValue(s.Index, r[0], r[1], r[2]);
      values[QLatin1String(s.Name)] = value;
      texts << QStringLiteral("%1 %2").arg(QLatin1String(s.Name)).arg(value);
    }
    motors.append(values);
    lines << QStringLiteral("Motor %1: ").arg(motor) + texts.join(QStringLiteral(", "));
  }
  const ControllerStatus status = DecodeStatus(access.ReplyValue()[0]);
  QJsonObject bits;
  QStringList set;
  for (size_t i = 0; i < status.Bit.size(); ++i) {
    bits[QLatin1String(StatusCaptions[i])] = status.Bit[i];
    if (status.Bit[i]) set << QLatin1String(StatusCaptions[i]);
  }
  lines << QStringLiteral("Status: ") + (set.isEmpty() ? QStringLiteral("none set") : set.join(QStringLiteral(", ")));
  return {lines.join(u'\n'), QJsonObject{{"motors", motors}, {"status", bits}}};
}

Report MoveCommand(ToolBoard &board, const MoveRequest &move) {
  const auto refuse = [&move](int motor, int, int limit) {
    if (move.Force) return true;
    throw ToolFailure{ExitUsage, QStringLiteral("Motor %1: the \"Max. Accel.\" parameter should not be less than %2, as else "
                                                "undesired oscillating effects can be caused (--force moves anyway).")
                                     .arg(motor + 1)
                                     .arg(limit)};
  };
  {
    TPollingPause pause(board.Session);
    GoMotor(board.Session, move.Motor - 1, move.Motion, refuse);
  }
  const QJsonObject json{{"motor", move.Motor}, {"mode", QLatin1String(RampModeNames[size_t(move.Motion.Mode)])}};
  if (!move.Wait) return {QStringLiteral("Motor %1 started.").arg(move.Motor), json};
  // The status byte of each poll reply after the Go tells whether the target is reached.
  // The connection ends with this wait: a session the window program holds outlives it.
  bool reached = false;
  const QObject waiting;
  QObject::connect(&board.Session, &TBoardSession::StatusByte, &waiting,
                   [&](uint8_t status) { reached = DecodeStatus(status).PositionReached(move.Motor); });
  const InterruptWatch interrupt;
  WaitFor([&] { return reached || interrupt.Raised(); }, move.TimeoutMs);
  if (interrupt.Raised()) {
    StopCommand(board, {move.Motor});
    return {QStringLiteral("Interrupted: motor %1 stopped.").arg(move.Motor), json, ExitInterrupted};
  }
  if (!reached)
    return {QStringLiteral("Motor %1 did not reach its target in time.").arg(move.Motor), json, ExitDifference};
  return {QStringLiteral("Motor %1 reached its target.").arg(move.Motor), json};
}

Report StopCommand(ToolBoard &board, const QList<int> &motors) {
  TPollingPause pause(board.Session, TCommandKind::Stop);
  QJsonArray stopped;
  for (int motor : motors) {
    StopMotor(board.Session, motor - 1);
    stopped.append(motor);
  }
  return {QStringLiteral("Stopped."), QJsonObject{{"stopped", stopped}}};
}

Report SetupSaveCommand(ToolBoard &board, const QString &path) {
  const setup::BoardSetup s = setup::ReadSetup(board.Session);
  try {
    setup::SaveSetupFile(path, s);
  } catch (const EEvalError &e) {
    throw ToolFailure{ExitUsage, e.Text};
  }
  return {QStringLiteral("Saved %1 values to %2.").arg(s.Values.size()).arg(path),
          QJsonObject{{"file", path}, {"values", int(s.Values.size())}}};
}

namespace {

// Ctrl+C stops the apply after the write in flight is answered: the report says what was and
// was not written.
Report InterruptibleApply(ToolBoard &board, const setup::BoardSetup &s) {
  const InterruptWatch interrupt;
  const auto stopOnInterrupt = [&interrupt](int, int) {
    if (interrupt.Raised()) throw EEvalError(QStringLiteral("Interrupted (Ctrl+C): the apply stopped."));
  };
  Report report = WriteReport(setup::ApplySetup(board.Session, s, stopOnInterrupt));
  if (interrupt.Raised()) report.Code = ExitInterrupted;
  return report;
}

}  // namespace

Report SetupApplyCommand(ToolBoard &board, const QString &path, bool dryRun) {
  const setup::BoardSetup s = LoadFor(board, path);
  if (!dryRun) return InterruptibleApply(board, s);
  QStringList lines;
  QJsonArray writes;
  for (const setup::PlannedWrite &w : setup::PlanWrites(s.BoardKind, s.Values)) {
    lines << w.Text();
    writes.append(QJsonObject{{"names", JsonList(w.Names)}, {"readFirst", w.ReadFirst},
                              {"request", w.Request ? w.Request->Text() : QString()}});
  }
  return {lines.join(u'\n'), writes};
}

Report SetupDiffCommand(ToolBoard &board, const QString &path) {
  const setup::BoardSetup file = LoadFor(board, path);
  const std::vector<setup::SetupDifference> diffs = setup::DiffSetups(file, setup::ReadSetup(board.Session));
  QStringList lines;
  for (const auto &d : diffs) lines << QStringLiteral("%1: file %2, board %3").arg(d.Name, d.A, d.B);
  return {lines.join(u'\n'), DifferencesJson(diffs), diffs.empty() ? ExitSuccess : ExitDifference};
}

}  // namespace ctltool
