#pragma once
// The writes a simulated board received, and a planned setup request, as Describe writes them.
#include "SetupBoard.h"
#include "poll/MainSession.h"

// The board's writes of a command: register and RAM writes, driver parameter sets.
inline QStringList Writes(sim::SimulatedBoard *board) {
  QStringList out;
  for (const QString &r : Requests(board))
    if (r.startsWith(u'W') || r.startsWith(u'S')) out << r;
  return out;
}

inline QString Described(const setup::SetupRequest &r) {
  if (!r.IsDatagram) return QStringLiteral("S%1/%2").arg(r.Param).arg(r.Motor);
  return Describe({1, 71, 0, 0, r.Datagram[0], r.Datagram[1], r.Datagram[2], r.Datagram[3], 0});
}

// The received writes match the plan one by one; a write that reads first matches any register write.
inline void CompareWithPlan(const QStringList &sent, const std::vector<setup::PlannedWrite> &plan) {
  QCOMPARE(sent.size(), int(plan.size()));
  for (size_t i = 0; i < plan.size(); ++i) {
    const QString planned = plan[i].Request ? Described(*plan[i].Request) : QString();
    QVERIFY2(plan[i].Request ? sent[int(i)] == planned : sent[int(i)].startsWith(QLatin1String("W")),
             qPrintable(plan[i].Text() + QStringLiteral(" / ") + sent[int(i)]));
  }
}

inline bool IsWriteOf(const std::array<uint8_t, 9> &f, uint8_t address) { return f[1] == 71 && f[4] == address; }
