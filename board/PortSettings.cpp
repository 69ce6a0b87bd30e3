#include "PortSettings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>

namespace {
const QString PortKey = QStringLiteral("Settings/COMPort");
}

QString SettingsFileNameFor(const QString &exePath) {
  const QString fileName = QFileInfo(exePath).fileName();
  return fileName.section(QLatin1Char('.'), 0, 0) + QStringLiteral(".ini");
}

QString SettingsFilePath() {
  return QCoreApplication::applicationDirPath() + QLatin1Char('/') +
         SettingsFileNameFor(QCoreApplication::applicationFilePath());
}

int ReadRememberedPortIndex(const QString &iniPath) {
  const QSettings settings(iniPath, QSettings::IniFormat);
  bool ok = false;
  const int index = settings.value(PortKey, 0).toInt(&ok);
  return ok ? index : 0;
}

void StoreRememberedPortIndex(const QString &iniPath, int index) {
  QSettings settings(iniPath, QSettings::IniFormat);
  settings.setValue(PortKey, index);
  settings.sync();  // a failure shows only in settings.status(), which is ignored on purpose
}
