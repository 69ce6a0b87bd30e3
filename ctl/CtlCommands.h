#pragma once
// The commands of qvr710-ctl, each on a board opened and identified by ToolBoard (ports alone
// needs none). A command returns its report for people and for scripts, or throws ToolFailure.
#include <QJsonValue>
#include <QStringList>
#include <QTextStream>
#include "BoardSession.h"
#include "CtlTool.h"
#include "MotionCommands.h"

namespace ctltool {

struct Report {
  QString Text;     // for people, ends without a newline
  QJsonValue Json;  // for --json
  int Code = ExitSuccess;
};

// The port opened (ToolFailure ExitPortFailed with the window's reason otherwise) and the board
// identified with the poll cycle running (ExitBoardFailed when it does not answer); closed again
// on every way out. The session's own failures are written to err.
class ToolBoard {
public:
  ToolBoard(const QString &port, bool needControllerVersion, QTextStream &err);
  ~ToolBoard();
  TBoardSession Session;
  QTextStream *Out = nullptr;  // where a command that reports as it runs (watch) writes
};

// The in-process simulated boards SIM1..SIM3 under their port names.
void ResolveSimulatedBoards();

Report PortsCommand();
Report InfoCommand(ToolBoard &board);
Report StatusCommand(ToolBoard &board);
Report GetCommand(ToolBoard &board, const QStringList &names);
Report SetCommand(ToolBoard &board, const QStringList &assignments);
// A Go of one motor (1..3) as the main window sends it; a value the window's acceleration warning
// would question is refused (usage) unless Force. Wait: until the motor reached its target,
// ExitDifference after TimeoutMs.
struct MoveRequest {
  int Motor = 1;
  TMotion Motion;
  bool Force = false, Wait = false;
  int TimeoutMs = 0;
};
Report MoveCommand(ToolBoard &board, const MoveRequest &move);
Report StopCommand(ToolBoard &board, const QList<int> &motors);
Report SetupSaveCommand(ToolBoard &board, const QString &path);
Report SetupApplyCommand(ToolBoard &board, const QString &path, bool dryRun);
Report SetupDiffCommand(ToolBoard &board, const QString &path);

}  // namespace ctltool
