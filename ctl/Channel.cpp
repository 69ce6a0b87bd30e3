#include "Channel.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QStandardPaths>
#include <unistd.h>
#include "CtlTool.h"
#include "Interrupt.h"
#include "PortDiscovery.h"
#include "WaitFor.h"

namespace ctltool {

namespace {
constexpr int ConnectTimeoutMs = 1000;
}

QString ChannelPath(const QString &port) {
  QString name = PortNameOf(port.trimmed());
  if (name.startsWith(u'/')) {
    const QString canonical = QFileInfo(name).canonicalFilePath();
    if (!canonical.isEmpty()) name = canonical;
    if (name.startsWith(QLatin1String("/dev/"))) name.remove(0, 5);
  }
  name.replace(u'/', u'_');
  QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (folder.isEmpty()) folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return QDir(folder).filePath(QStringLiteral("qvr710-%1-%2.sock").arg(getuid()).arg(name));
}

QByteArray ChannelLine(const QJsonObject &message) { return QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n'; }

ChannelRequest ParseChannelRequest(const QByteArray &line) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
  if (error.error != QJsonParseError::NoError) return {{}, {}, QStringLiteral("The request is no JSON: ") + error.errorString()};
  const QJsonValue args = doc.object().value(QLatin1String("args"));
  const bool strings = args.isArray() && std::all_of(args.toArray().begin(), args.toArray().end(), [](const QJsonValue &v) { return v.isString(); });
  if (!doc.isObject() || !strings) return {{}, {}, QStringLiteral("The request has no \"args\" list of texts.")};
  ChannelRequest request;
  for (const QJsonValue &v : args.toArray()) request.Args << v.toString();
  request.Folder = doc.object().value(QLatin1String("cwd")).toString();
  return request;
}

std::optional<int> RunThroughChannel(const QString &port, const QStringList &args, QTextStream &out, QTextStream &err) {
  QLocalSocket socket;
  socket.connectToServer(ChannelPath(port));
  if (!socket.waitForConnected(ConnectTimeoutMs)) return std::nullopt;
  socket.write(ChannelLine({{"args", QJsonArray::fromStringList(args)}, {"cwd", QDir::currentPath()}}));
  std::optional<int> code;
  const auto readAnswers = [&] {
    while (!code && socket.canReadLine()) {
      const QJsonObject answer = QJsonDocument::fromJson(socket.readLine()).object();
      if (answer.contains(QLatin1String("out"))) (out << answer.value(QLatin1String("out")).toString()).flush();
      if (answer.contains(QLatin1String("err"))) (err << answer.value(QLatin1String("err")).toString()).flush();
      if (answer.contains(QLatin1String("code"))) code = answer.value(QLatin1String("code")).toInt();
    }
  };
  QObject::connect(&socket, &QLocalSocket::readyRead, &socket, readAnswers);
  // Ctrl+C is passed on: the program interrupts the command as the tool would, and answers.
  const InterruptWatch interrupt;
  bool interruptSent = false;
  const auto disconnected = [&socket] { return socket.state() != QLocalSocket::ConnectedState; };
  while (!code && !disconnected()) {
    WaitFor([&] { return code || disconnected() || (interrupt.Raised() && !interruptSent); }, -1);
    if (interrupt.Raised() && !interruptSent) {
      socket.write(ChannelLine({{"interrupt", true}}));
      interruptSent = true;
    }
  }
  readAnswers();  // what came in with the end of the connection
  if (code) return code;
  err << QStringLiteral("The program holding %1 ended the command without an answer.").arg(port) << Qt::endl;
  return int(ExitBoardFailed);
}

}  // namespace ctltool
