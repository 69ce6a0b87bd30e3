#pragma once
// qvr710-ctl: the board from the command line. RunTool parses the arguments, runs one command
// against the board session and returns the exit code; data goes to out, errors to err.
#include <QStringList>
#include <QTextStream>

namespace ctltool {

enum ExitCode {
  ExitSuccess = 0,
  ExitBoardFailed = 1,  // the board did not answer, or a command failed on the board
  ExitUsage = 2,        // unknown command or name, value out of range, bad file
  ExitPortFailed = 3,   // the port could not be opened
  ExitDifference = 4,   // setup diff found a difference, or a wait timed out
  ExitInterrupted = 130,  // Ctrl+C ended move --wait (the motor was stopped) or watch
};

// A failure that ends the tool with its exit code and text.
struct ToolFailure {
  int Code;
  QString Text;
};

int RunTool(const QStringList &arguments, QTextStream &out, QTextStream &err);

}  // namespace ctltool
