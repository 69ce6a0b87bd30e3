#pragma once
// The message for a port that could not be opened: the fixed first line, then why, in the
// user's terms, from the system's error code.
#include <QString>

QString OpenFailureText(const QString &portEntry, int errorCode);
