#pragma once
// The one setting kept between runs: the index of the port entry chosen last, in an INI file
// beside the executable (section "Settings", key "COMPort").
#include <QString>

// The executable's file name up to its first "." plus ".ini": "abc.exe" -> "abc.ini".
QString SettingsFileNameFor(const QString &exePath);
// The settings file of this program: in the executable's folder, named as above.
QString SettingsFilePath();

// The remembered index; 0 when the file or the key is missing.
int ReadRememberedPortIndex(const QString &iniPath);
// Stores the index (-1 for none); a file that cannot be written is ignored.
void StoreRememberedPortIndex(const QString &iniPath, int index);
