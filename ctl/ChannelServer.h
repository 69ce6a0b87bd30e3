#pragma once
// The window program's end of the command channel (Channel.h). While the program holds a port,
// scripts run the tool's commands on its board session: each request is one command under the
// session's one-command-at-a-time rule, run between poll requests, deferred like a click while
// another command holds the board, and answered with exactly what the tool would print.
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <deque>
#include "Channel.h"

class QLocalServer;
class QTimer;
class TBoardSession;

namespace ctltool {

class ChannelClient;

class ChannelServer : public QObject {
  Q_OBJECT
public:
  explicit ChannelServer(TBoardSession &session, QObject *parent = nullptr);
  ~ChannelServer() override;

  // Listens for `port`, readable and writable by this user only; a socket left by a program
  // that crashed is removed first. False when another program answers there.
  bool Listen(const QString &port);
  void Close();  // stops listening and drops every client; a running command is interrupted
  QString SocketPath() const;  // empty while not listening

signals:
  void RequestStarted(const QStringList &args);  // a script's command begins

private:
  void Accept();
  void Read(ChannelClient *client);
  void Queue(ChannelClient *client);
  void RunWaiting();
  bool MayRunNow(const ChannelRequest &request) const;
  void Run(QPointer<ChannelClient> client, const ChannelRequest &request);
  void Finish(ChannelClient *client, int code);

  TBoardSession &Session;
  QLocalServer *Server = nullptr;  // while listening
  QTimer *Retry;  // while the board is busy with another command
  std::deque<QPointer<ChannelClient>> Waiting;
};

}  // namespace ctltool
