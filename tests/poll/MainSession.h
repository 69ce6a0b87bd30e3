#pragma once
// The program as a test drives it: the application set-up and windows as the program makes
// them, the port list, the buttons, and the simulated boards behind SIM1..SIM3.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <ctime>
#include "Ev710App.h"
#include "Ev710Guard.h"
#include "Ev710Main.h"
#include "MainWindowProbe.h"
#include "SimulatedBoard.h"
#include "Ticks.h"

class MainSession : public MainWindowProbe {
public:
  QStringList Errors;  // what the error guard would have shown

  void Start() {
    SetUpApplication(*qApp);
    Main = CreateWindows();
    Main->show();
    SetGuardErrorSink([this](const QString &text) { Errors << text; });
  }
  void Stop() {
    Main->close();
    DestroyWindows();
    Main = nullptr;
  }

  // What the program hands its tool windows.
  TBoardAccess &Access() const { return Main->Board(); }

  // The simulated board behind `port`, recording what it receives, as the tests read that.
  static sim::SimulatedBoard *Board(const char *port) {
    sim::SimulatedBoard *board = sim::SimulatedBoardNamed(port);
    board->SetRecording(true);
    return board;
  }

  // A board back in its ordinary state: no faults, its own version text, nothing recorded.
  static void Reset(sim::SimulatedBoard *board) {
    board->SetSilent(false);
    board->StaySilent(0);
    board->SetReplyDelay(0);
    board->SplitReplies(0, 0);
    board->SetProcessingTime(0);
    board->SetPaced(false);
    board->WithModel([](sim::BoardModel &m) { m.SetVersionText(std::string()); });
    board->ForgetPending();
    board->ClearReceivedFrames();
  }

  // Selects the port list entry of `port` (its first field) and presses Open.
  void Open(const char *port) const {
    auto *combo = Child<QComboBox>("ComboCOM");
    const int index = combo->findText(QLatin1String(port), Qt::MatchStartsWith);
    QVERIFY2(index >= 0, port);
    combo->setCurrentIndex(index);
    Click("BtnOpen");
    QVERIFY(!Button("BtnOpen")->isEnabled());
  }
  bool WaitActive(int ms = 5000) const {
    return QTest::qWaitFor([this] { return Text("StaticInfo1").startsWith(QLatin1String("The board is active")); }, ms);
  }
  void Close() const {
    if (Button("BtnClose")->isEnabled()) Click("BtnClose");
  }

  // The start and end of a test that works with an opened, identified board.
  void OpenFresh(const char *port) {
    Reset(Board(port));
    Errors.clear();
    Open(port);
    QVERIFY(WaitActive());
  }
  void CloseChecked() {
    Close();
    QVERIFY2(Errors.isEmpty(), qPrintable(Errors.join(u'\n')));
  }
};

// A recorded request as a short text: "R03" controller read, "W14=000002" controller write,
// "E08" encoder read, "P180/0" GetParameter of a motor, "V" GetVersion.
inline QString Describe(const std::array<uint8_t, 9> &f) {
  auto hex = [](int v, int digits) { return QStringLiteral("%1").arg(v, digits, 16, QLatin1Char('0')).toUpper(); };
  switch (f[1]) {
    case 136: return QStringLiteral("V");
    case 6: return QStringLiteral("P%1/%2").arg(f[2]).arg(f[3]);
    case 5: return QStringLiteral("S%1/%2").arg(f[2]).arg(f[3]);
    case 71:
      if (f[2] == 4) return QStringLiteral("E") + hex(f[4], 2);
      if (f[4] & 1) return QStringLiteral("R") + hex(f[4], 2);
      return QStringLiteral("W") + hex(f[4], 2) + u'=' + hex(f[5] << 16 | f[6] << 8 | f[7], 6);
    default: return QStringLiteral("C%1").arg(f[1]);
  }
}

// Matches the request `text` describes (as Describe writes it), for SimulatedBoard::DropReplyTo.
inline std::function<bool(const std::array<uint8_t, 9> &)> Matching(const QString &text) {
  return [text](const std::array<uint8_t, 9> &f) { return Describe(f) == text; };
}

inline QStringList Requests(sim::SimulatedBoard *board) {
  QStringList out;
  for (const auto &f : board->ReceivedFrames()) out << Describe(f);
  return out;
}
