#pragma once
// The one setting kept between runs: the port entry chosen last, in an INI file (section
// "Settings"): its index under "COMPort", as older versions read it, and its port name under
// "COMPortName", which survives ports coming and going.
#include <QString>

struct RememberedPort {
  RememberedPort(int index = 0, const QString &name = QString()) : Index(index), Name(name) {}
  int Index;     // -1 for none
  QString Name;  // the entry's port name ("ttyACM0", "SIM2"); empty when unknown
};

// The executable's file name up to its first "." plus ".ini": "abc.exe" -> "abc.ini".
QString SettingsFileNameFor(const QString &exePath);
// Where the settings of the executable exePath live. A program run where it was built keeps
// them beside the executable. An installed one (its folder holds the desktop entry's
// ../share/applications/<name>.desktop, or cannot be written) keeps them in
// userConfigDir/<name>/, as desktop programs do: /usr/bin is not the user's to write, and
// several users of one machine each keep their own choice.
QString SettingsFilePathFor(const QString &exePath, const QString &userConfigDir);
// The settings file of this program, by the rule above with the user's configuration folder.
QString SettingsFilePath();

// The remembered port; index 0 and no name when the file or the keys are missing.
RememberedPort ReadRememberedPort(const QString &iniPath);
// Stores the port; false when the file could not be written.
bool StoreRememberedPort(const QString &iniPath, const RememberedPort &port);
