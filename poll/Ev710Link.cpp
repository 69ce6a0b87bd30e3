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
