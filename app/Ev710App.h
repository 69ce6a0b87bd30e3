#pragma once
// Application set-up and the windows' start-up order, shared by the program, the snapshot
// tool and the tests.
#include <QString>
#include <QStringList>

class QApplication;
class TFormMain;

// What the command line asks for.
struct TStartOptions {
  QString Port;  // port to preselect, e.g. "ttyACM0" or "SIM2"; empty for the usual choice
};

// Parses the command line (program name first). It needs no QApplication, so --help and
// --version work without a display. Returns -1 to go on starting, otherwise the exit code after
// printing the help, the version or the error (2 for a wrong command line).
int ParseCommandLine(const QStringList &arguments, TStartOptions &options);

// The application's name, desktop entry, icon, message box title room, tool-tip style, and
// the simulated boards behind SIM1..SIM3. Call once after the QApplication exists.
void SetUpApplication(QApplication &app);
// Creates every window in the start-up order; the main window is returned (not yet shown).
TFormMain *CreateWindows();
void DestroyWindows();
