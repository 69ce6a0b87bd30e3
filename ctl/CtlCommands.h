#pragma once
// The commands of qvr710-ctl, each on a board opened and identified by ToolBoard (ports alone
// needs none). A command returns its report for people and for scripts, or throws ToolFailure.
#include <QJsonValue>
#include <QStringList>
#include <QTextStream>
#include <memory>
#include "BoardSession.h"
#include "CtlTool.h"
#include "MotionCommands.h"
#include "SetupBoard.h"

namespace ctltool {

struct Report {
  QString Text;     // for people, ends without a newline
  QJsonValue Json;  // for --json
  int Code = ExitSuccess;
};

// The port opened (ToolFailure ExitPortFailed with the window's reason otherwise) and the board
// identified with the poll cycle running (ExitBoardFailed when it does not answer); closed again
// on every way out. Or the session the window program holds, used as it is and left open. The
// session's own failures are written to err meanwhile.
class ToolBoard {
  std::unique_ptr<TBoardSession> Owned;  // the port this tool opened itself

public:
  ToolBoard(const QString &port, bool needControllerVersion, QTextStream &err);
  ToolBoard(TBoardSession &held, bool needControllerVersion, QTextStream &err);
  ~ToolBoard();
  ToolBoard(const ToolBoard &) = delete;
  ToolBoard &operator=(const ToolBoard &) = delete;
  TBoardSession &Session;
  QTextStream *Out = nullptr;  // where a command that reports as it runs (watch) writes

private:
  void AwaitIdentity(bool needControllerVersion);
  // The session's failures on err for as long as this lives, also when a constructor throws.
  struct ErrorOutput {
    ErrorOutput(TBoardSession &session, QTextStream &err);
    ~ErrorOutput();
    QMetaObject::Connection Connection;
  } Errors;
};

// The in-process simulated boards SIM1..SIM3 under their port names.
void ResolveSimulatedBoards();

Report PortsCommand();
Report InfoCommand(ToolBoard &board);
Report StatusCommand(ToolBoard &board);
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
// What a write of setup items did: ExitBoardFailed unless every write was answered (and read
// back unchanged, after an apply).
Report WriteReport(const setup::ApplyReport &r);
Report SetupSaveCommand(ToolBoard &board, const QString &path);
Report SetupApplyCommand(ToolBoard &board, const QString &path, bool dryRun);
Report SetupDiffCommand(ToolBoard &board, const QString &path);

}  // namespace ctltool
