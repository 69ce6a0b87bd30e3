// The request primitives through which every window talks to the board.
#include <QCoreApplication>
#include <QEvent>
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
  CommandAnswered = false;
  EndResync();
  const BoardFrame frame = BoardCommand::WithBytes(Address, Command, Type, Motor, Bytes).Frame();
  Comm32->PurgeIn();
  Comm32->Write(frame.data(), int(frame.size()));
  if (!Wait) return true;
  // Any nine-byte reply ends the wait; so does closing the port.
  WaitFor([this] { return CommandAnswered || !Comm32->Enabled(); }, int(ReplyTimeout));
  if (RaiseOnTimeout && !CommandAnswered) throw EEvalError(QStringLiteral("The board does not respond!"));
  return CommandAnswered;
}

void TFormMain::SendDatagram(uint8_t B0, uint8_t B1, uint8_t B2, uint8_t B3) {
  SendCommandBytes(1, SpiTransfer, 0, 0, {B0, B1, B2, B3}, false, false);
}

void TFormMain::TransferDatagram(uint8_t B0, uint8_t B1, uint8_t B2, uint8_t B3) {
  if (PollingEnabled) return;  // callers pause the cycle first
  ReplyReceived = false;
  SendDatagram(B0, B1, B2, B3);
  LastRequestTick = TickCount();
  // No limit of its own: the reply or the watchdog's timeout ends it, or the port closing.
  WaitFor([this] { return ReplyReceived || !Comm32->Enabled(); }, -1);
}

void TFormMain::PausePolling() {
  if (!PollingEnabled) return;
  PollingEnabled = false;
  WaitFor([this] { return ReplyReceived || !Comm32->Enabled(); }, -1);
}

void TFormMain::ResumePolling() {
  PollingEnabled = true;
  PostPollMessage();
}

// A new request while the cycle waits for a quiet line after a timeout: its reply is wanted,
// so stop discarding input; the cycle is asked to go on (it sends only when nothing is pending).
void TFormMain::EndResync() {
  if (!ResyncPending) return;
  ResyncPending = false;
  ResyncTimer->stop();
  PostPollMessage();
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
  void SetLogHooks(TLogHooks *h) override {
    M.LogHooks = h;
    M.PendingLogLine.clear();
    M.PendingValueCount = 0;
  }
private:
  TFormMain &M;
};
}  // namespace

TBoardAccess &TFormMain::Board() {
  if (!BoardAccess) BoardAccess = std::make_unique<TMainBoardAccess>(*this);
  return *BoardAccess;
}
