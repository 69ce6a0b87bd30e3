#include "PortSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {
const QString IndexKey = QStringLiteral("Settings/COMPort");
const QString NameKey = QStringLiteral("Settings/COMPortName");

QString BaseName(const QString &exePath) { return QFileInfo(exePath).fileName().section(QLatin1Char('.'), 0, 0); }

bool IsInstalled(const QString &exePath) {
  const QFileInfo exe(exePath);
  const QString desktopEntry =
      QStringLiteral("../share/applications/") + BaseName(exePath) + QStringLiteral(".desktop");
  return exe.dir().exists(desktopEntry) || !QFileInfo(exe.absolutePath()).isWritable();
}
}  // namespace

QString SettingsFileNameFor(const QString &exePath) { return BaseName(exePath) + QStringLiteral(".ini"); }

QString SettingsFilePathFor(const QString &exePath, const QString &userConfigDir) {
  const QString folder =
      IsInstalled(exePath) ? userConfigDir + QLatin1Char('/') + BaseName(exePath) : QFileInfo(exePath).absolutePath();
  return folder + QLatin1Char('/') + SettingsFileNameFor(exePath);
}

QString SettingsFilePath() {
  return SettingsFilePathFor(QCoreApplication::applicationFilePath(),
                             QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

RememberedPort ReadRememberedPort(const QString &iniPath) {
  const QSettings settings(iniPath, QSettings::IniFormat);
  bool ok = false;
  const int index = settings.value(IndexKey, 0).toInt(&ok);
  return {ok ? index : 0, settings.value(NameKey).toString()};
}

bool StoreRememberedPort(const QString &iniPath, const RememberedPort &port) {
  QSettings settings(iniPath, QSettings::IniFormat);
  settings.setValue(IndexKey, port.Index);
  settings.setValue(NameKey, port.Name);
  settings.sync();
  return settings.status() == QSettings::NoError;
}
