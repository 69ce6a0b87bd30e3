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
constexpr int IdentifyTimeoutMs = 2 * int(TBoardSession::ReplyTimeout);
constexpr int ControllerVersionTimeoutMs = 3 * int(TBoardSession::ReplyTimeout);

[[noreturn]] void FailNoAnswer() { throw ToolFailure{ExitBoardFailed, QStringLiteral("The board does not respond!")}; }

QJsonArray JsonList(const QStringList &names) { return QJsonArray::fromStringList(names); }

// NAME=VALUE pairs by the items' names, refused (usage) when unknown or out of range.
QMap<QString, int> Assignments(TBoardKind boardKind, const QStringList &texts) {
  QMap<QString, int> values;
  for (const QString &text : texts) {
    const qsizetype eq = text.indexOf(u'=');
    const QString name = text.left(eq).trimmed();
    bool ok = false;
    const int value = eq < 0 ? 0 : text.mid(eq + 1).trimmed().toInt(&ok, 0);
    if (!ok) throw ToolFailure{ExitUsage, QStringLiteral("\"%1\" is no NAME=VALUE with a whole number.").arg(text)};
    const setup::SetupItem *item = setup::FindSetupItem(boardKind, name);
    if (!item) throw ToolFailure{ExitUsage, QStringLiteral("Unknown name \"%1\".").arg(name)};
    if (value < item->Min || value > item->Max)
      throw ToolFailure{ExitUsage, QStringLiteral("%1 = %2 is out of its range %3..%4.").arg(item->Name).arg(value).arg(item->Min).arg(item->Max)};
    values[item->Name] = value;
  }
  return values;
}

setup::BoardSetup LoadFor(ToolBoard &board, const QString &path) {
  try {
    return setup::LoadSetupFile(path, board.Session.BoardKind());
  } catch (const EEvalError &e) {
    throw ToolFailure{ExitUsage, e.Text};
  }
}

QJsonArray DifferencesJson(const std::vector<setup::SetupDifference> &diffs) {
  QJsonArray list;
  for (const auto &d : diffs) list.append(QJsonObject{{"name", d.Name}, {"file", d.A}, {"board", d.B}});
  return list;
}

Report WriteReport(const setup::ApplyReport &r) {
  const bool ok = r.Complete && r.Error.isEmpty() && r.ReadBackDifferences.empty();
  return {r.Summary(),
          QJsonObject{{"complete", r.Complete}, {"written", JsonList(r.Written)}, {"unconfirmed", JsonList(r.Unconfirmed)},
                      {"notWritten", JsonList(r.NotWritten)}, {"error", r.Error},
                      {"readBackDifferences", DifferencesJson(r.ReadBackDifferences)}},
          ok ? ExitSuccess : ExitBoardFailed};
}

}  // namespace

void ResolveSimulatedBoards() {
  SetDeviceResolver([](const QString &name) {
    const sim::SimulatedBoard *board = sim::SimulatedBoardNamed(name.toStdString());
    return board ? QString::fromStdString(board->DevicePath()) : QString();
  });
}

ToolBoard::ToolBoard(const QString &port, bool needControllerVersion, QTextStream &err) {
  QObject::connect(&Session, &TBoardSession::ErrorReported, &Session, [&err](const QString &text) { err << text << Qt::endl; });
  try {
    Session.Open(port);
  } catch (const EEvalError &e) {
    throw ToolFailure{ExitPortFailed, e.Text};
  }
  Session.StartDetection();
  if (!Session.State().CommandAnswered) FailNoAnswer();
  Session.StartPolling();
  if (!WaitFor([this] { return Session.State().BoardIdentified; }, IdentifyTimeoutMs)) FailNoAnswer();
  if (needControllerVersion &&
      !WaitFor([this] { return !Session.ControllerVersionText().isEmpty(); }, ControllerVersionTimeoutMs))
    FailNoAnswer();
}

ToolBoard::~ToolBoard() { Session.Close(); }

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
  const QString kind = setup::BoardKindName(board.Session.BoardKind());
  const QString version = QString::fromLatin1(board.Session.BoardVersionText()).trimmed();
  const QString controller = board.Session.ControllerVersionText();
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
      access.TransferDatagram(MotorRegisterAddress(motor, s.Index, true), 0, 0, 0);
      const auto &r = access.ReplyValue();
      const int value = DecodeMotorValue(s.Index, r[1], r[2], r[3]);
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

Report GetCommand(ToolBoard &board, const QStringList &names) {
  const TBoardKind kind = board.Session.BoardKind();
  for (const QString &name : names)
    if (!setup::FindSetupItem(kind, name)) throw ToolFailure{ExitUsage, QStringLiteral("Unknown name \"%1\".").arg(name)};
  const QMap<QString, int> values = setup::ReadSetupValues(board.Session, names);
  QJsonObject json;
  QStringList lines;
  for (const QString &name : names) {
    const setup::SetupItem *item = setup::FindSetupItem(kind, name);
    if (!values.contains(item->Name))
      throw ToolFailure{ExitBoardFailed, QStringLiteral("%1 is not in use in the chopper mode the board runs.").arg(item->Name)};
    const int value = values[item->Name];
    json[item->Name] = value;
    lines << QStringLiteral("%1 = %2").arg(item->Name, setup::SetupValueText(*item, value));
  }
  return {lines.join(u'\n'), json};
}

Report SetCommand(ToolBoard &board, const QStringList &assignments) {
  return WriteReport(setup::WriteSetupValues(board.Session, Assignments(board.Session.BoardKind(), assignments)));
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
  bool reached = false;
  QObject::connect(&board.Session, &TBoardSession::StatusByte, &board.Session,
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

Report SetupApplyCommand(ToolBoard &board, const QString &path, bool dryRun) {
  const setup::BoardSetup s = LoadFor(board, path);
  if (!dryRun) return WriteReport(setup::ApplySetup(board.Session, s));
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
