#include "PollRouter.h"
#include <algorithm>
#include "BoardFrames.h"
#include "Ev710Registers.h"
#include "Ev710Utils.h"

TPollRouter::TPollRouter(ErrorReport Report, StatusReport Status)
    : Table(InitialPollTable()), Report(std::move(Report)), Status(std::move(Status)) {}

void TPollRouter::AddLogHooks(TLogHooks *Hooks) {
  RemoveLogHooks(Hooks);
  Logs.push_back({Hooks, {}});
}

void TPollRouter::RemoveLogHooks(TLogHooks *Hooks) {
  std::erase_if(Logs, [Hooks](const TLogFeed &f) { return f.Hooks == Hooks; });
}

void TPollRouter::StopLogging() {
  for (const TLogFeed &f : std::vector<TLogFeed>(Logs)) f.Hooks->StopLogging();
}

bool TPollRouter::Logged(int Row) const {
  return std::any_of(Logs.begin(), Logs.end(), [Row](const TLogFeed &f) { return f.Hooks->IsLogged(Row); });
}

void TPollRouter::Route(const std::array<uint8_t, 9> &Reply) {
  const PollEntry &e = Table[size_t(Index)];
  int Value = 0;
  if (Reply[3] == SpiTransfer) {
    Value = RouteControllerReply(e, Reply);
  } else {
    Value = BoardReply{Reply}.Value();
    CallHandler(e, Reply);
  }
  for (TLogFeed &f : Logs) {
    if (!f.Hooks->LoggingRunning() || !f.Hooks->IsLogged(Index)) continue;
    try {
      f.Line.Add(Value, *f.Hooks);
    } catch (const std::exception &err) {
      Report(ErrorText(err));
    }
  }
}

int TPollRouter::RouteControllerReply(const PollEntry &e, const std::array<uint8_t, 9> &Reply) {
  const int Value = ctl::DecodeValue(Reply[5], Reply[6], Reply[7], e.Format);
  if (e.ShowMain || (e.ShowEditor && Views.EditorShown)) {
    const QString text = ctl::ValueText(Value, e.Format);
    if (e.ShowMain) e.ShowMain(text);
    if (e.ShowEditor && Views.EditorShown) e.ShowEditor(text);
  }
  CallHandler(e, Reply);
  FeedGraph(Value);
  if (Index <= PollRow::LastController) Status(Reply[4]);
  return Value;
}

void TPollRouter::FeedGraph(int Value) {
  TGraphHooks *graph = Views.GraphHooks;
  if (!graph || Index < PollRow::FirstMotorRegister || Index >= PollRow::FirstGlobal) return;
  const int motor = (Index - PollRow::FirstMotorRegister) / 16;
  switch ((Index - PollRow::FirstMotorRegister) % 16) {
    case ctl::X_ACTUAL: graph->SetPositionSample(Value, motor); break;
    case ctl::V_ACTUAL: graph->SetVelocitySample(Value, motor); break;
    case ctl::V_TARGET: graph->SetTargetVelocitySample(Value, motor); break;
    case ctl::A_ACTUAL: graph->SetAccelerationSample(Value, motor); break;
    default: break;
  }
}

void TPollRouter::CallHandler(const PollEntry &e, const std::array<uint8_t, 9> &Reply) {
  if (!e.Handler) return;
  try {
    e.Handler(Reply[5], Reply[6], Reply[7]);
  } catch (const std::exception &err) {
    Report(ErrorText(err));
  }
}

void TPollRouter::Advance(bool Restart) {
  if (Index == PollRow::Last || Restart) return CycleStartsAt(PollRow::ControllerVersion);
  for (;;) {
    if (Index == PollRow::Last)
      CycleStartsAt(PollRow::ControllerVersion);
    else
      ++Index;
    const int filter = Table[size_t(Index)].PageFilter;
    if (filter == -1 || (Views.EditorShown && filter == Views.EditorPage) || Logged(Index)) return;
  }
}

TPollRequest TPollRouter::NextRequest(TBoardKind Kind) {
  using namespace PollRow;
  auto code = [this] { return Table[size_t(Index)].Datagram; };
  auto driverParameter = [&](int motor) { return TPollRequest{TPollRequest::DriverParameter, code(), uint8_t(motor)}; };
  auto jumpByBoard = [&] {
    if (Kind == TBoardKind::OlderDrivers)
      Index = OlderDriver;
    else if (Kind == TBoardKind::Qvr550)
      Index = Qvr550Driver;
  };
  const int i = Index;
  if (i >= NewerDriverSelected && i <= NewerDriverLast) {
    jumpByBoard();
    return driverParameter(Views.SelectedMotor);
  }
  if (i >= NewerDriverPairs && i < NewerDriverSelected) {
    jumpByBoard();
    return driverParameter((i - NewerDriverPairs) / 2);
  }
  if (i >= Encoder && i <= EncoderLast) return {TPollRequest::EncoderTransfer, code()};
  const bool qvr550Row = i >= Qvr550Driver && i <= Last;
  const bool olderRow = i >= OlderDriver && i <= OlderDriverLast;
  if ((qvr550Row && Kind != TBoardKind::Qvr550) || (olderRow && Kind != TBoardKind::OlderDrivers))
    CycleStartsAt(FirstMotorRegister);
  else if (qvr550Row)
    return driverParameter(Views.SelectedMotor);
  else if (olderRow)
    return driverParameter((i - OlderDriver) / 2);
  return {TPollRequest::Datagram, code()};
}

void TPollRouter::CycleStartsAt(int Row) {
  Index = Row;
  for (TLogFeed &f : Logs) f.Line.CycleStarts();
}
