#pragma once
// The command channel of a window program holding a port: a local socket in the user's runtime
// folder, one JSON object per line each way. The tool sends {"args":[...],"cwd":"..."} (its
// arguments without the program name, and its folder for relative file names) and, on Ctrl+C,
// {"interrupt":true}. The program answers with what the command writes, as it writes it,
// {"out":"..."} and {"err":"..."}, and ends with {"code":N}, the tool's exit code.
#include <QByteArray>
#include <QJsonObject>
#include <QStringList>
#include <QTextStream>
#include <optional>

namespace ctltool {

constexpr qsizetype ChannelLineLimit = 64 * 1024;  // a longer line ends the connection

// The socket of the program holding `port`: "SIM1", "ttyACM0", "/dev/ttyACM0", a link to it
// and a port list entry ("ttyACM0  [Board]") all name the same one.
QString ChannelPath(const QString &port);

QByteArray ChannelLine(const QJsonObject &message);

// A request line: the arguments and the folder, or the reason it is none.
struct ChannelRequest {
  QStringList Args;
  QString Folder;
  QString Error;  // not empty: no request
};
ChannelRequest ParseChannelRequest(const QByteArray &line);

// Runs the command through the channel of the program holding `port`: its exit code, or
// nothing when no program answers there (the tool opens the port itself then).
std::optional<int> RunThroughChannel(const QString &port, const QStringList &args, QTextStream &out, QTextStream &err);

}  // namespace ctltool
