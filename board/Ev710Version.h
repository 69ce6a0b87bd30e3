#pragma once
// The program's version text and its short form shown in window captions.
#include <QString>

QString GetFileVersionText();                  // "1.0.9.0", compiled in from the build
QString ShortVersionText(const QString &S);    // "1.0.9.0" -> "1.09"
