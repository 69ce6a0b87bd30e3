#pragma once
// qvr710-ctl: the board from the command line. RunTool parses the arguments, runs one command
// against the board session and returns the exit code; data goes to out, errors to err.
#include <QStringList>
#include <QTextStream>

class TBoardSession;

namespace ctltool {

enum ExitCode {
  ExitSuccess = 0,
  ExitBoardFailed = 1,  // the board did not answer, or a command failed on the board
  ExitUsage = 2,        // unknown command or name, value out of range, bad file
  ExitPortFailed = 3,   // the port could not be opened
  ExitDifference = 4,   // setup diff found a difference, or a wait timed out
  ExitInterrupted = 130,  // Ctrl+C ended move --wait (the motor stopped), setup apply or watch
};

// A failure that ends the tool with its exit code and text.
struct ToolFailure {
  int Code;
  QString Text;
};

// With --port NAME, a window program holding NAME runs the command (Channel.h); otherwise the
// tool opens the port itself.
int RunTool(const QStringList &arguments, QTextStream &out, QTextStream &err);
// The same on `held`, the window program's own session (null: as RunTool). Lets
// ECommandDeferred through: the caller runs the whole command again when the board is free.
int RunToolOn(TBoardSession *held, const QStringList &arguments, QTextStream &out, QTextStream &err);
// Whether the arguments (with the program name first) ask for a stop, which never waits.
bool IsStopRequest(const QStringList &arguments);

}  // namespace ctltool
