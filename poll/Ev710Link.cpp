// The request primitives through which every window talks to the board.
#include <QCoreApplication>
#include <QEvent>
#include <algorithm>
#include "BoardFrames.h"
#include "Ev710Main.h"
#include "Ev710Utils.h"
#include "Ticks.h"
#include "WaitFor.h"
#include "async32.h"

bool TFormMain::SendCommand(uint8_t Address, uint8_t Command, uint8_t Type, uint8_t Motor,
                            int32_t Value, bool Wait, bool RaiseOnTimeout) {
  const auto frame = BoardCommand::WithValue(Address, Command, Type, Motor, Value);
  return SendCommandBytes(Address, Command, Type, Motor, frame.Value, Wait, RaiseOnTimeout);
}

bool TFormMain::SendCommandBytes(uint8_t Address, uint8_t Command, uint8_t Type, uint8_t Motor,
                                 const std::array<uint8_t, 4> &Bytes, bool Wait,
                                 bool RaiseOnTimeout) {
  WaitForQuietLine();
  CommandAnswered = false;
  const BoardFrame frame = BoardCommand::WithBytes(Address, Command, Type, Motor, Bytes).Frame();
  Comm32->PurgeIn();
  Comm32->Write(frame.data(), int(frame.size()));
  if (!Wait) return true;
  // Any nine-byte reply ends the wait; so does closing the port.
  WaitFor([this] { return CommandAnswered || !Comm32->Enabled(); }, int(ReplyTimeout));
  if (RaiseOnTimeout && !CommandAnswered) FailNoAnswer();
  return CommandAnswered;
}

void TFormMain::SendDatagram(uint8_t B0, uint8_t B1, uint8_t B2, uint8_t B3) {
  SendCommandBytes(1, SpiTransfer, 0, 0, {B0, B1, B2, B3}, false, false);
}

void TFormMain::TransferDatagram(uint8_t B0, uint8_t B1, uint8_t B2, uint8_t B3) {
  if (PollingEnabled) return;  // callers pause the cycle first
  WaitForQuietLine();
  ReplyReceived = false;
  SendDatagram(B0, B1, B2, B3);
  LastRequestTick = TickCount();
  WaitFor([this] { return ReplyReceived || !Comm32->Enabled(); }, int(ReplyTimeout));
  if (!ReplyReceived) FailNoAnswer();
}

// Waits for the answer to the poll request in flight, at most until one reply timeout after
// it was sent; a request that stays unanswered ends the operation.
void TFormMain::PausePolling() {
  if (!PollingEnabled) return;
  PollingEnabled = false;
  const int left = int(ReplyTimeout) - int(std::min(TicksSince(LastRequestTick), ReplyTimeout));
  WaitFor([this] { return ReplyReceived || !Comm32->Enabled(); }, left);
  if (!ReplyReceived) FailNoAnswer();
}

void TFormMain::ResumePolling() {
  PollingEnabled = true;
  PostPollMessage();
}

// A waited request went unanswered: the operation stops here and nothing of it is sent
// further. The request is given up, the poll cycle goes on, and its next request waits for a
// quiet line, so a late reply can never be taken for the answer to a later request. A wait
// ended by closing the port ends the operation without a message.
void TFormMain::FailNoAnswer() {
  if (!Comm32->Enabled()) throw EAbort();
  ReplyReceived = true;
  PollingEnabled = true;
  StartResync();
  throw EEvalError(QStringLiteral("The board does not respond!"));
}

// A request of a handler while the cycle waits for a quiet line after a timeout: it waits too,
// at most as long as the cycle would, then drops what came meanwhile.
void TFormMain::WaitForQuietLine() {
  if (!ResyncPending) return;
  WaitFor([this] { return !ResyncPending || !Comm32->Enabled(); }, ResyncLimitMs + ResyncQuietMs);
  StopResync();
  Comm32->PurgeIn();
}

void TFormMain::PostPollMessage() {
  QCoreApplication::postEvent(this, new QEvent(QEvent::Type(PollMessage)));
}

// --- The board access handed to the tool windows ---------------------------------------------

namespace {
class TMainBoardAccess final : public TBoardAccess {
public:
  explicit TMainBoardAccess(TFormMain &m) : M(m) {}
  bool SendCommand(uint8_t a, uint8_t c, uint8_t t, uint8_t m, int32_t v, bool w, bool r) override {
    return M.SendCommand(a, c, t, m, v, w, r);
  }
  bool SendCommandBytes(uint8_t a, uint8_t c, uint8_t t, uint8_t m, const std::array<uint8_t, 4> &b, bool w,
                        bool r) override {
    return M.SendCommandBytes(a, c, t, m, b, w, r);
  }
  void SendDatagram(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) override { M.SendDatagram(b0, b1, b2, b3); }
  void TransferDatagram(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) override {
    M.TransferDatagram(b0, b1, b2, b3);
  }
  void PausePolling() override { M.PausePolling(); }
  void ResumePolling() override { M.ResumePolling(); }
  const std::array<uint8_t, 9> &ReplyFrame() const override { return M.ReplyFrame; }
  const std::array<uint8_t, 4> &ReplyValue() const override { return M.ReplyValue; }
  uint8_t BoardKind() const override { return M.BoardKind; }
  QByteArray BoardVersionText() const override { return M.BoardVersionText; }
  QString ControllerVersionText() const override { return M.ControllerVersionText; }
  PollEntry &Entry(int i) override { return M.PollTable.at(size_t(i)); }
  bool EditorShown() const override { return M.EditorShown; }
  void SetEditorShown(bool on) override { M.EditorShown = on; }
  int EditorPage() const override { return M.EditorPage; }
  void SetEditorPage(int p) override { M.EditorPage = p; }
  int SelectedMotor() const override { return M.SelectedMotor; }
  void SetSelectedMotor(int m) override { M.SelectedMotor = m; }
  void SetGraphHooks(TGraphHooks *h) override { M.GraphHooks = h; }
  void SetLogHooks(TLogHooks *h) override { M.LogHooks = h; }
private:
  TFormMain &M;
};
}  // namespace

TBoardAccess &TFormMain::Board() {
  if (!BoardAccess) BoardAccess = std::make_unique<TMainBoardAccess>(*this);
  return *BoardAccess;
}
