#pragma once
// A simulated evaluation board served on the master side of a pseudo-terminal, in a thread of
// its own, so that the program's own serial code talks to it like to a real board.
// The device appears under a stable path (a symbolic link to the pseudo-terminal's slave), so a
// hang-up followed by a come-back shows up under the same name, like a re-plugged USB board.
#include "BoardModel.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

enum class Delivery { ByteByByte, WholePieces };

// What can go wrong with one reply: lost, corrupted (wrong checksum), sent twice (the copy
// some time after it), sent late, or with junk bytes on the line before it.
enum class ReplyFault { Drop, WrongChecksum, Twice, Late, JunkFirst };

// Board kinds: 1 newer-driver board, 2 older-driver board, 3 QVR550 board.
class SimulatedBoard {
public:
  // Throws std::system_error when no pseudo-terminal or run-time folder can be made.
  explicit SimulatedBoard(int kind, bool paced = false);
  ~SimulatedBoard();
  SimulatedBoard(const SimulatedBoard &) = delete;
  SimulatedBoard &operator=(const SimulatedBoard &) = delete;

  std::string DevicePath() const;  // stable path of the serial device to open
  int Kind() const;

  // Line pacing at 115200 bit/s, ten bits a byte, both directions.
  void SetPaced(bool paced);
  // How paced replies reach the program: byte by byte, as from a UART, or each reply (or piece
  // of a split reply) in one go once its last byte has crossed the line, as over USB.
  void SetDelivery(Delivery delivery);

  // Fault controls (thread-safe; take effect for the next frames).
  void SetReplyDelay(int ms);                       // answer every frame `ms` late
  void StaySilent(int ms);                          // answer nothing for `ms` (0: again at once)
  void SetSilent(bool silent);                      // answer nothing until told otherwise
  void SetProcessingTime(int ms);                   // each reply `ms` after the previous one left
  void SplitReplies(int firstBytes, int gapMs);     // send each reply as two pieces (0: whole)
  void SendStray(const std::vector<uint8_t> &bytes);// unsolicited bytes on the line, now
  // Leaves the next request that `request` matches unanswered, once (a reply lost on the line).
  void DropReplyTo(std::function<bool(const std::array<uint8_t, 9> &)> request);
  // Spoils the reply to the next request that `request` matches, once; `ms` is how much later
  // the copy or the late reply leaves.
  void FaultReplyTo(std::function<bool(const std::array<uint8_t, 9> &)> request, ReplyFault fault, int ms = 0);
  void HangUp();                                    // close the master side: the device is lost
  void ComeBack();                                  // a fresh device under the same path
  // Puts the program's side of the line back to a new terminal's settings, as another program
  // or a fresh device would leave it. The board answers only a line set to 115200 8N1 raw.
  void ResetLine();
  // Forgets requests waiting on the line or for their answer and replies not yet sent, so that
  // a test starts on a quiet line whatever the previous connection left behind.
  void ForgetPending();

  // Recording of received requests, off at start: a board serving the program for hours keeps
  // no record. Switching it off forgets the record.
  void SetRecording(bool on);
  // What the board received while recording: every complete request frame, in order (also those
  // it did not answer because it was silent). Throws std::logic_error when not recording.
  std::vector<std::array<uint8_t, 9>> ReceivedFrames() const;
  void ClearReceivedFrames();
  // Requests answered so far.
  uint64_t RequestsAnswered() const;
  // Times the server thread woke up (for tests that bound wake-ups).
  uint64_t Wakeups() const;

  // Runs f(BoardModel&) with the model locked and its clock brought up to now; returns f's
  // result. Do not call other members of this board from inside f.
  template <class F> auto WithModel(F &&f) {
    std::lock_guard<std::mutex> lock(ModelMutex());
    return f(ModelAtNow());
  }

private:
  struct Private;
  std::unique_ptr<Private> d;
  std::mutex &ModelMutex();
  BoardModel &ModelAtNow();  // with ModelMutex held
};

// The simulated boards offered in the port list: SIM1, SIM2, SIM3 for kinds 1, 2, 3.
// Started on first use, paced at the line's speed, and kept for the rest of the run. Returns nullptr for other names
// (and when the board cannot be started).
SimulatedBoard *SimulatedBoardNamed(const std::string &name);

}  // namespace sim
