#include "ChannelServer.h"

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <memory>
#include "BoardSession.h"
#include "CtlTool.h"
#include "HandlerScope.h"
#include "Interrupt.h"

namespace ctltool {

namespace {
constexpr int ProbeTimeoutMs = 200;
constexpr int RetryMs = 10;
constexpr qsizetype MaxPendingRequests = 16;
}  // namespace

// One connected script: its socket, the lines it sent that wait their turn, and the flag that
// interrupts its command (Ctrl+C in the tool, or the script gone).
class ChannelClient : public QObject {
public:
  ChannelClient(QLocalSocket *socket, QObject *parent) : QObject(parent), Socket(socket) { socket->setParent(this); }
  bool Connected() const { return Socket->state() == QLocalSocket::ConnectedState; }
  void Send(const QJsonObject &message) {
    if (Connected()) Socket->write(ChannelLine(message));
  }
  QLocalSocket *Socket;
  QByteArray Partial;              // the line being received
  std::deque<QByteArray> Requests;  // complete lines not yet run
  std::shared_ptr<bool> Interrupted = std::make_shared<bool>(false);
  bool Busy = false;  // a request waits for its turn or runs
};

namespace {

// A command's output stream: each flush goes to the script as one {"out"} or {"err"} line, so
// what a command writes while it runs (watch) arrives as it is written.
class ClientOutput : public QIODevice {
public:
  ClientOutput(QPointer<ChannelClient> client, QString key) : Client(std::move(client)), Key(std::move(key)) { open(WriteOnly); }

protected:
  qint64 readData(char *, qint64) override { return -1; }
  qint64 writeData(const char *data, qint64 size) override {
    if (Client) Client->Send({{Key, QString::fromUtf8(data, size)}});
    return size;
  }

private:
  QPointer<ChannelClient> Client;
  QString Key;
};

// The script's folder is the current one while its command runs: relative file names
// (setup save FILE) mean what they mean in the shell that started the tool.
class ScriptFolder {
public:
  explicit ScriptFolder(const QString &folder) : Before(QDir::currentPath()) {
    if (!folder.isEmpty()) QDir::setCurrent(folder);
  }
  ~ScriptFolder() { QDir::setCurrent(Before); }

private:
  QString Before;
};

bool IsInterrupt(const QByteArray &line) { return QJsonDocument::fromJson(line).object().value(QLatin1String("interrupt")).toBool(); }

}  // namespace

ChannelServer::ChannelServer(TBoardSession &session, QObject *parent)
    : QObject(parent), Session(session), Retry(new QTimer(this)) {
  Retry->setSingleShot(true);
  Retry->setInterval(RetryMs);
  connect(Retry, &QTimer::timeout, this, &ChannelServer::RunWaiting);
}

ChannelServer::~ChannelServer() { Close(); }

bool ChannelServer::Listen(const QString &port) {
  Close();
  const QString path = ChannelPath(port);
  if (QFile::exists(path)) {
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(ProbeTimeoutMs)) return false;
    QLocalServer::removeServer(path);  // nobody answers: left by a program that ended abruptly
  }
  Server = new QLocalServer(this);
  Server->setSocketOptions(QLocalServer::UserAccessOption);
  connect(Server, &QLocalServer::newConnection, this, &ChannelServer::Accept);
  if (!Server->listen(path)) return false;
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
  return true;
}

void ChannelServer::Close() {
  const QString path = SocketPath();
  delete Server;
  Server = nullptr;
  if (!path.isEmpty()) QFile::remove(path);
  Waiting.clear();
  Retry->stop();
  const QObjectList all = children();  // deleting changes the list
  for (QObject *child : all) {
    auto *client = dynamic_cast<ChannelClient *>(child);
    if (!client) continue;
    *client->Interrupted = true;
    client->Socket->abort();
    if (!client->Busy) delete client;  // a running one goes when its command has ended
  }
}

QString ChannelServer::SocketPath() const { return Server && Server->isListening() ? Server->fullServerName() : QString(); }

void ChannelServer::Accept() {
  while (QLocalSocket *socket = Server->nextPendingConnection()) {
    auto *client = new ChannelClient(socket, this);
    connect(socket, &QLocalSocket::readyRead, client, [this, client] { Read(client); });
    connect(socket, &QLocalSocket::disconnected, client, [client] {
      *client->Interrupted = true;  // as Ctrl+C: a move --wait stops its motor
      if (!client->Busy) client->deleteLater();
    });
    Read(client);
  }
}

// Complete lines wait their turn; an interrupt acts at once. A line over the limit, or more
// requests than a script could mean to queue, end the connection.
void ChannelServer::Read(ChannelClient *client) {
  client->Partial += client->Socket->readAll();
  for (qsizetype end; (end = client->Partial.indexOf('\n')) >= 0;) {
    const QByteArray line = client->Partial.left(end).trimmed();
    client->Partial.remove(0, end + 1);
    if (line.isEmpty()) continue;
    if (IsInterrupt(line)) *client->Interrupted = true;
    else client->Requests.push_back(line);
  }
  if (client->Partial.size() > ChannelLineLimit || qsizetype(client->Requests.size()) > MaxPendingRequests) {
    client->Requests.clear();
    client->Send({{"err", QStringLiteral("The request is too long; the connection is closed.\n")}});
    client->Send({{"code", int(ExitUsage)}});
    client->Socket->disconnectFromServer();
    return;
  }
  Queue(client);
}

void ChannelServer::Queue(ChannelClient *client) {
  if (client->Busy || client->Requests.empty() || !client->Connected()) return;
  client->Busy = true;
  Waiting.push_back(client);
  // From a timer event, not a posted one: while a posted event is delivered, events posted
  // meanwhile (the serial link's replies among them) can stay undelivered in the command's waits.
  Retry->start(0);
}

// A request starts while the poll cycle runs, so a command that waits with the cycle running
// (watch, move --wait) never sits inside another command's wait; a stop starts at once.
bool ChannelServer::MayRunNow(const ChannelRequest &request) const {
  return !request.Error.isEmpty() || Session.State().PollingEnabled || IsStopRequest(QStringList{QString()} + request.Args);
}

void ChannelServer::RunWaiting() {
  while (!Waiting.empty()) {
    for (const QPointer<ChannelClient> &c : Waiting)
      if (c && !c->Connected()) c->deleteLater();  // gone before its turn
    std::erase_if(Waiting, [](const QPointer<ChannelClient> &c) { return !c || !c->Connected(); });
    const auto next = std::find_if(Waiting.begin(), Waiting.end(), [this](const QPointer<ChannelClient> &c) {
      return MayRunNow(ParseChannelRequest(c->Requests.front()));
    });
    if (next == Waiting.end()) return Retry->start(RetryMs);
    const QPointer<ChannelClient> client = *next;
    Waiting.erase(next);
    const ChannelRequest request = ParseChannelRequest(client->Requests.front());
    client->Requests.pop_front();
    if (!request.Error.isEmpty()) {
      client->Send({{"err", request.Error + u'\n'}});
      Finish(client, ExitUsage);
    } else {
      Run(client, request);
    }
  }
}

// A request deferred by the board's command rule runs later, whole; dropped there (a stop came
// first, or the port closed), its script is told the command was stopped.
struct DeferredRequest {
  QPointer<ChannelServer> Server;
  QPointer<ChannelClient> Client;
  ChannelRequest Request;
  bool Ran = false;
  ~DeferredRequest() {
    if (Ran || !Server || !Client) return;
    Client->Send({{"err", QStringLiteral("Stopped.\n")}});
    Client->Send({{"code", int(ExitBoardFailed)}});
    Client->Busy = false;
    if (!Client->Connected()) Client->deleteLater();
  }
};

void ChannelServer::Run(QPointer<ChannelClient> client, const ChannelRequest &request) {
  if (!client) return;
  emit RequestStarted(request.Args);
  ClientOutput outDevice(client, QStringLiteral("out")), errDevice(client, QStringLiteral("err"));
  QTextStream out(&outDevice), err(&errDevice);
  int code = ExitBoardFailed;
  try {
    const ScriptFolder folder(request.Folder);
    const InterruptScope interrupt(client->Interrupted);
    const THandlerScope scope;
    code = RunToolOn(&Session, QStringList{QStringLiteral("qvr710-ctl")} + request.Args, out, err);
  } catch (const ECommandDeferred &busy) {
    auto deferred = std::make_shared<DeferredRequest>();
    deferred->Server = this;
    deferred->Client = client;
    deferred->Request = request;
    busy.Defer([deferred] {
      deferred->Ran = true;
      if (deferred->Server && deferred->Client) deferred->Server->Run(deferred->Client, deferred->Request);
    });
    return;
  } catch (const std::exception &e) {
    err << QString::fromUtf8(e.what()) << Qt::endl;
  }
  out.flush();
  err.flush();
  if (client) Finish(client, code);
}

void ChannelServer::Finish(ChannelClient *client, int code) {
  client->Send({{"code", code}});
  client->Busy = false;
  if (client->Connected()) Queue(client);
  else client->deleteLater();
}

}  // namespace ctltool
