#pragma once
// Application set-up and the windows' start-up order, shared by the program, the snapshot
// tool and the tests.
class QApplication;
class TFormMain;

// Title, C-locale numbers, tool-tip style. Call once after the QApplication exists.
void SetUpApplication(QApplication &app);
// Creates every window in the start-up order; the main window is returned (not yet shown).
TFormMain *CreateWindows();
void DestroyWindows();
