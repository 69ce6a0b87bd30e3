// The request primitives every window uses, against a simulated board over a pseudo-terminal.
#include <QTimer>
#include "BoardFrames.h"
#include "Ev710Utils.h"
#include "async32.h"
#include "MainSession.h"
#include "Ticks.h"

class TestLink : public QObject {
  Q_OBJECT
  MainSession s;
  sim::SimulatedBoard *board = nullptr;

private slots:
  void initTestCase() {
    s.Start();
    board = MainSession::Board("SIM1");
  }
  void cleanupTestCase() { s.Stop(); }
  void init() {
    s.OpenFresh("SIM1");
    s.Main->Session->PausePolling();
    board->ClearReceivedFrames();
  }
  void cleanup() { s.CloseChecked(); }

  void sendCommandWaitsForAnyReply() {
    TBoardSession *m = s.Main->Session;
    QVERIFY(m->SendCommand(1, GetVersion, 0, 0, 0, true, true));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(m->ReplyFrame().data()) + 1, 3), QByteArray("710"));

    // Replies to GetParameter (command byte 6) and SpiTransfer (71) end the wait just as well.
    QVERIFY(m->SendCommand(1, GetParameter, 180, 0, 0, true, true));
    QCOMPARE(m->ReplyFrame()[3], uint8_t(6));
    QVERIFY(m->SendCommandBytes(1, SpiTransfer, 0, 0, {0x73, 0, 0, 0}, true, true));
    QCOMPARE(m->ReplyFrame()[3], uint8_t(71));
    QCOMPARE(m->ReplyValue()[1], uint8_t(0x71));  // the chip type register: QVR710 V2.05
    QCOMPARE(m->ReplyValue()[2], uint8_t(0x02));
    QCOMPARE(m->ReplyValue()[3], uint8_t(0x05));

    // Without wait the call returns before the answer comes; the answer still arrives.
    QVERIFY(m->SendCommand(1, GetVersion, 0, 0, 0, false, false));
    QVERIFY(!m->State().CommandAnswered);
    QTRY_VERIFY(m->State().CommandAnswered);
    QCOMPARE(Requests(board), (QStringList{"V", "P180/0", "R73", "V"}));
  }

  // Only the answer to a version query is taken for the version text; a driver enable's answer
  // looks the same to the frame rules but names no board.
  void otherCommandsLeaveTheVersionText() {
    TBoardSession *m = s.Main->Session;
    const QByteArray version = m->Identity().VersionText;
    QVERIFY(version.startsWith("710"));
    QVERIFY(m->SendCommand(1, 64, 0, 0, 1, true, true));
    QVERIFY(BoardReply{m->ReplyFrame()}.IsVersion());
    QCOMPARE(m->Identity().VersionText, version);
  }

  void silentBoardTimesOut() {
    TBoardSession *m = s.Main->Session;
    board->SetSilent(true);
    uint32_t start = TickCount();
    const double cpuStart = ProcessCpuSeconds();
    QVERIFY(!m->SendCommand(1, GetParameter, 180, 0, 0, true, false));
    const uint32_t waited = TicksSince(start);
    QVERIFY2(waited > 1200 && waited < 1700, qPrintable(QString::number(waited)));
    // The wait sleeps: far less than a tenth of the time is spent on the processor.
    QVERIFY(ProcessCpuSeconds() - cpuStart < 0.1 * waited / 1000.0);

    start = TickCount();
    QString error;
    try {
      m->SendCommand(1, GetParameter, 180, 0, 0, true, true);
    } catch (const EEvalError &e) {
      error = e.Text;
    }
    QCOMPARE(error, QStringLiteral("The board does not respond!"));
    QVERIFY(TicksSince(start) > 1200);
  }

  void transferDatagramNeedsAPausedCycle() {
    TBoardSession *m = s.Main->Session;
    m->TransferDatagram(0x03, 0, 0, 0);  // paused: sent and answered
    QVERIFY(m->State().ReplyReceived);
    QCOMPARE(Requests(board), QStringList{"R03"});

    // While the cycle polls, a waited request is refused before anything is sent: its answer
    // could be a poll reply.
    m->ResumePolling();
    const uint32_t start = TickCount();
    QVERIFY_THROWS_EXCEPTION(EEvalError, m->TransferDatagram(0x66, 0x12, 0x34, 0x56));
    QVERIFY_THROWS_EXCEPTION(EEvalError, m->SendCommand(1, 5, 6, 1, 7, true, false));
    QVERIFY(TicksSince(start) < 100);
    QTRY_VERIFY(board->ReceivedFrames().size() > 5);
    QVERIFY(!Requests(board).contains(QStringLiteral("S6/1")));
    QVERIFY(!Requests(board).contains(QStringLiteral("W66=123456")));
  }

  void pausesDoNotNest() {
    TBoardSession *m = s.Main->Session;
    m->PausePolling();  // already paused: returns at once
    QVERIFY(!m->State().PollingEnabled);
    m->TransferDatagram(0x01, 0, 0, 0);
    m->TransferDatagram(0x03, 0, 0, 0);
    // Nothing but the two transfers went out while paused.
    QCOMPARE(Requests(board), (QStringList{"R01", "R03"}));
    m->ResumePolling();  // one resume restarts the cycle
    QTRY_VERIFY(board->ReceivedFrames().size() > 10);
  }

  void pauseWaitsForTheRequestInFlight() {
    TBoardSession *m = s.Main->Session;
    board->SetReplyDelay(300);
    m->ResumePolling();
    QTRY_VERIFY(!m->State().ReplyReceived);  // a poll request is out
    QTRY_COMPARE(board->ReceivedFrames().size(), size_t(1));
    const size_t sent = board->ReceivedFrames().size();
    m->PausePolling();
    QVERIFY(m->State().ReplyReceived);  // its answer came before the pause returned
    QCOMPARE(board->ReceivedFrames().size(), sent);
  }

  // An unanswered transfer ends after one reply timeout with the message, polling goes on.
  void hangUpDuringAWaitEndsIt() {
    TBoardSession *m = s.Main->Session;
    board->HangUp();
    const uint32_t start = TickCount();
    QString error;
    try {
      m->TransferDatagram(0x01, 0, 0, 0);
    } catch (const EEvalError &e) {
      error = e.Text;
    }
    QCOMPARE(error, QStringLiteral("The board does not respond!"));
    QVERIFY(TicksSince(start) >= 1200);
    QVERIFY(TicksSince(start) < 2000);
    QVERIFY(m->State().PollingEnabled);
    m->PausePolling();  // the requests below are the test's own
    QVERIFY(!m->SendCommand(1, GetVersion, 0, 0, 0, true, false));
    board->ComeBack();
    QTRY_VERIFY_WITH_TIMEOUT(m->SendCommand(1, GetVersion, 0, 0, 0, true, false), 5000);
  }

  void closeDuringAWaitReturns() {
    TBoardSession *m = s.Main->Session;
    board->SetSilent(true);
    QTimer::singleShot(100, [this] { s.Button("BtnClose")->click(); });
    uint32_t start = TickCount();
    QVERIFY_THROWS_EXCEPTION(EAbort, m->TransferDatagram(0x01, 0, 0, 0));  // ends without a message
    QVERIFY(TicksSince(start) < 1000);
    QVERIFY(!m->Comm32->Enabled());

    // The same for PausePolling's wait for the request in flight.
    board->SetSilent(false);
    s.Open("SIM1");
    QVERIFY(s.WaitActive());
    // A request recorded after the board fell silent is the one in flight, and stays unanswered.
    board->SetSilent(true);
    board->ClearReceivedFrames();
    QTRY_VERIFY(!board->ReceivedFrames().empty());
    QTimer::singleShot(100, [this] { s.Button("BtnClose")->click(); });
    start = TickCount();
    QVERIFY_THROWS_EXCEPTION(EAbort, m->PausePolling());
    QVERIFY(TicksSince(start) < 1000);
  }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
