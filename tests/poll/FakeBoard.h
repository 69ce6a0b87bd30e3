#pragma once
// A board access that records what a tool window asks of it and answers every waited request
// with Reply, for tests of a window's wiring without a port.
#include <QObject>
#include <QStringList>
#include "BoardAccess.h"

struct FakeBoard : TBoardAccess {
  QStringList Sent;  // "T 00 0005DC" transfers, "C 6 180 0 0" commands
  int Pauses = 0, Resumes = 0;
  std::array<uint8_t, 9> Frame{};
  TBoardIdentity Board{TBoardKind::NewerDrivers, "710V2.05", QStringLiteral("QVR710 V2.05")};
  QObject GateContext;
  TCommandGate Gate{&GateContext, [this] { PausePolling(); }, [this] { ResumePolling(); }};
  TPollTable Table = InitialPollTable();
  TPollViews PollViews;

  bool SendCommand(uint8_t, uint8_t c, uint8_t t, uint8_t m, int32_t v, bool, bool) override {
    Sent << QStringLiteral("C %1 %2 %3 %4").arg(c).arg(t).arg(m).arg(v);
    return true;
  }
  bool SendCommandBytes(uint8_t, uint8_t c, uint8_t t, uint8_t m, const std::array<uint8_t, 4> &b, bool,
                        bool) override {
    Sent << QStringLiteral("B %1 %2 %3 %4").arg(c).arg(t).arg(m).arg(Hex({b[0], b[1], b[2], b[3]}));
    return true;
  }
  void SendDatagram(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) override { Sent << "D " + Hex({b0, b1, b2, b3}); }
  void TransferDatagram(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) override {
    Sent << "T " + Hex({b0, b1, b2, b3});
  }
  void PausePolling() override { ++Pauses; }
  void ResumePolling() override { ++Resumes; }
  TCommandGate &Commands() override { return Gate; }
  const std::array<uint8_t, 9> &ReplyFrame() const override { return Frame; }
  const TBoardIdentity &Identity() const override { return Board; }
  PollEntry &Entry(int Index) override { return Table.at(size_t(Index)); }
  TPollViews &Views() override { return PollViews; }
  void AddLogHooks(TLogHooks *) override {}
  void RemoveLogHooks(TLogHooks *) override {}
  void OnValuesStale(QObject *, std::function<void()>) override {}

  // "00 0005DC": the address byte, then the three data bytes.
  static QString Hex(std::array<uint8_t, 4> b) {
    return QStringLiteral("%1 %2%3%4")
        .arg(b[0], 2, 16, QLatin1Char('0'))
        .arg(b[1], 2, 16, QLatin1Char('0'))
        .arg(b[2], 2, 16, QLatin1Char('0'))
        .arg(b[3], 2, 16, QLatin1Char('0'))
        .toUpper();
  }
};
