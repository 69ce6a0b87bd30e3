#pragma once
// The poll cycle's rows: which row is asked next and where each reply goes (the row's display
// callbacks and handler, the graph samples, the data log's line). The session sends the
// requests and hands every reply that fits its request here; nothing here touches the line.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>
#include "BoardAccess.h"
#include "LogLine.h"

// What the cycle sends to ask for a row.
struct TPollRequest {
  enum TKind { Datagram, DriverParameter, EncoderTransfer } Kind;
  uint8_t Code;       // the datagram's address, or the parameter or encoder register number
  uint8_t Motor = 0;  // of a driver parameter
};

class TPollRouter {
public:
  using ErrorReport = std::function<void(const QString &Text)>;
  using StatusReport = std::function<void(uint8_t Status)>;
  TPollRouter(ErrorReport Report, StatusReport Status);

  TPollTable Table;
  TPollViews Views;
  int Index = 0;  // the row asked for, or asked next

  void AddLogHooks(TLogHooks *Hooks);  // hooks added before start their line afresh
  void RemoveLogHooks(TLogHooks *Hooks);
  void StopLogging();  // the port closes: every log ends

  // A reply to the row Index: its value to the row's consumers. A consumer that fails is
  // reported; the rest of the routing goes on.
  void Route(const std::array<uint8_t, 9> &Reply);
  // The next row the page filters admit or the log takes; after the last row, or at a restart,
  // the cycle begins again at the controller version, whatever its filter.
  void Advance(bool Restart);
  // The request for the row Index on a board of this kind. Driver rows the board does not have
  // jump to its own driver rows, or restart the cycle at the first motor register.
  TPollRequest NextRequest(TBoardKind Kind);

private:
  int RouteControllerReply(const PollEntry &e, const std::array<uint8_t, 9> &Reply);
  void FeedGraph(int Value);
  void CallHandler(const PollEntry &e, const std::array<uint8_t, 9> &Reply);
  void CycleStartsAt(int Row);
  bool Logged(int Row) const;

  ErrorReport Report;
  StatusReport Status;
  struct TLogFeed {
    TLogHooks *Hooks;
    TLogLine Line;
  };
  std::vector<TLogFeed> Logs;
};
