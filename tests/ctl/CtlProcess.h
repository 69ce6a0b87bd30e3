#pragma once
// qvr710-ctl run as a process, and what a simulated board received from it.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include "poll/MainSession.h"

struct Run {
  int Code = -1;
  QByteArray Out, Err;
  QJsonValue Json() const {
    const QJsonDocument d = QJsonDocument::fromJson(Out);
    return d.isArray() ? QJsonValue(d.array()) : QJsonValue(d.object());
  }
};

inline Run Ctl(const QStringList &args) {
  QProcess p;
  p.start(QStringLiteral(QVR_CTL_PATH), args);
  if (!p.waitForFinished(20000)) p.kill();
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
}

// Register and RAM writes and driver parameter sets, as Describe writes them.
inline QStringList Writes(sim::SimulatedBoard &board) {
  QStringList out;
  for (const QString &r : Requests(&board))
    if (r.startsWith(u'W') || r.startsWith(u'S')) out << r;
  return out;
}
