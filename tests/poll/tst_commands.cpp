// One command at a time, across windows: a command started while another waits for the board
// runs after it, whole; a stop ends the running command after the exchange in flight and runs
// next; a Go triggered before a stop does not run after it.
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>
#include "MainSession.h"
#include "SpinEdit.h"

class TestCommands : public QObject {
  Q_OBJECT
  MainSession s;
  sim::SimulatedBoard *board = nullptr;

  QWidget *Window(const char *className) const {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (w->inherits(className)) return w;
    qFatal("no window %s", className);
  }
  void Activate(QWidget *w) const {
    w->show();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
  }
  // Presses Alt and the button's own mnemonic letter, as a user would.
  static void PressMnemonic(QAbstractButton *b) {
    const QKeyCombination key = QKeySequence::mnemonic(b->text())[0];
    QTest::keyClick(b->window(), key.key(), key.keyboardModifiers());
  }
  // Motor 1..3 in HOLD mode with a small velocity: a Go of three requests.
  void Hold(int motor, int velocity) const {
    s.Child<QComboBox>(qPrintable(QStringLiteral("CbRampMode%1").arg(motor)))->setCurrentIndex(3);
    s.Child<TSpinEdit>(qPrintable(QStringLiteral("EditVActual%1").arg(motor)))->SetValue(velocity);
  }
  // The requests from the one before `write` on (a Go reads the register it then writes).
  QStringList From(const QString &write) const {
    const QStringList all = Requests(board);
    return all.mid(all.indexOf(write) - 1);
  }

private slots:
  void initTestCase() {
    s.Start();
    board = MainSession::Board("SIM1");
  }
  void cleanupTestCase() { s.Stop(); }
  void init() { s.OpenFresh("SIM1"); }
  void cleanup() {
    board->SetProcessingTime(0);
    for (int m = 1; m <= 3; ++m)
      s.Child<QComboBox>(qPrintable(QStringLiteral("CbRampMode%1").arg(m)))->setCurrentIndex(0);
    s.CloseChecked();
  }

  // Alt+R and Alt+D pressed together in the register editor: the RAM read runs whole and its
  // grid shows the board's RAM; the manual datagram goes out after it, with its own answer.
  void mnemonicPairRunsInOrder() {
    board->WithModel([](sim::BoardModel &m) {
      for (int pair = 0; pair < 64; ++pair)  // word w holds w + 1
        m.Controller().Transfer({uint8_t(0x80 + 2 * pair), 0, uint8_t(2 * pair + 2), uint8_t(2 * pair + 1)});
    });
    QWidget *editor = Window("TFormAdvanced");
    Activate(editor);
    editor->findChild<QTabWidget *>()->setCurrentWidget(editor->findChild<QWidget *>(QStringLiteral("TabRAM")));
    auto *send = editor->findChild<QPushButton *>(QStringLiteral("BtnSendSPIMan"));
    editor->findChild<QLineEdit *>(QStringLiteral("EditSPIMan1"))
        ->setText(QStringLiteral("63"));  // read of the version register
    board->SetProcessingTime(2);
    board->ClearReceivedFrames();
    PressMnemonic(editor->findChild<QPushButton *>(QStringLiteral("BtnReadRAM")));
    PressMnemonic(send);
    QTRY_VERIFY(Requests(board).contains(QStringLiteral("R63")));
    const QStringList sent = Requests(board);
    const qsizetype first = sent.indexOf(QStringLiteral("R81"));
    QVERIFY(first >= 0);
    for (int pair = 0; pair < 64; ++pair)  // the read runs whole, nothing inside it
      QCOMPARE(sent.value(first + pair), QStringLiteral("R%1").arg(0x81 + 2 * pair, 2, 16).toUpper());
    QCOMPARE(sent.indexOf(QStringLiteral("R63")), first + 64);
    auto *grid = editor->findChild<QTableWidget *>(QStringLiteral("StringGridHex"));
    QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("01"));
    QCOMPARE(grid->item(7, 15)->text(), QStringLiteral("80"));
    editor->hide();
  }

  // A command a timer starts while another runs (any window's button, here a second Go) runs
  // after it; one whose reply is lost in the middle of the first is not run at all.
  void timerStartedCommandWaits_data() {
    QTest::addColumn<bool>("dropReply");
    QTest::newRow("answered") << false;
    QTest::newRow("reply lost in the first") << true;
  }
  void timerStartedCommandWaits() {
    QFETCH(bool, dropReply);
    Hold(1, 1);
    Hold(2, 2);
    board->SetProcessingTime(10);
    if (dropReply) board->DropReplyTo(Matching(QStringLiteral("W14=000003")));
    board->ClearReceivedFrames();
    QTimer::singleShot(5, s.Button("BtnGo2"), &QPushButton::click);
    s.Click("BtnGo1");
    QTest::qWait(dropReply ? 1500 : 200);
    const QStringList go1 = {"R15", "W14=000003", "W0A=000001"}, go2 = {"R35", "W34=000003", "W2A=000002"};
    const QStringList sent = From(QStringLiteral("W14=000003"));
    if (dropReply) {
      QCOMPARE(sent.mid(0, 2), go1.mid(0, 2));
      QVERIFY(!sent.contains(QStringLiteral("W0A=000001")));
      QVERIFY(!sent.contains(QStringLiteral("W34=000003")));
      QCOMPARE(s.Errors, QStringList{QStringLiteral("The board does not respond!")});
      s.Errors.clear();
    } else {
      QCOMPARE(sent.mid(0, 6), go1 + go2);
    }
  }

  // Esc during All Go, or Stop clicked during a Go: the Go sends nothing after the exchange in
  // flight, and the stop follows at once.
  void stopEndsTheRunningGo_data() {
    QTest::addColumn<bool>("escape");
    QTest::newRow("Esc during All Go") << true;
    QTest::newRow("Stop during Go") << false;
  }
  void stopEndsTheRunningGo() {
    QFETCH(bool, escape);
    for (int m = 1; m <= 3; ++m) Hold(m, m);
    Activate(s.Main);
    board->SetProcessingTime(20);
    board->ClearReceivedFrames();
    // The stop comes while the Go's first write waits for its reply.
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
      if (!Requests(board).contains(QStringLiteral("W14=000003"))) return;
      watch.stop();
      if (escape)
        QTest::keyClick(s.Main, Qt::Key_Escape);
      else
        s.Click("BtnStop1");
    });
    watch.start(1);
    s.Click(escape ? "BtnGoAll" : "BtnGo1");
    QTRY_VERIFY(Requests(board).contains(QStringLiteral("W0A=000000")));
    const QStringList all = Requests(board);
    const qsizetype stopAt = all.lastIndexOf(QStringLiteral("W14=000002")) - 1;
    QVERIFY2(stopAt >= 2, qPrintable(all.join(u' ')));
    QCOMPARE(all.mid(stopAt - 2, 6),
             (QStringList{"R15", "W14=000003", "R15", "W14=000002", "W08=000000", "W0A=000000"}));
    QTest::qWait(100);
    const QStringList after = Requests(board).mid(stopAt);
    for (const char *go : {"W14=000003", "W34=000003", "W54=000003"}) QVERIFY2(!after.contains(QLatin1String(go)), go);
  }

  // The Go's mnemonic, then Esc before its click comes: the Go never runs.
  void goTriggeredBeforeStopDoesNotRun() {
    for (int m = 1; m <= 3; ++m) Hold(m, m);
    Activate(s.Main);
    board->ClearReceivedFrames();
    PressMnemonic(s.Button("BtnGoAll"));
    QTest::keyClick(s.Main, Qt::Key_Escape);
    QTest::qWait(300);
    const QStringList sent = Requests(board);
    QVERIFY(sent.contains(QStringLiteral("W48=000000")));
    for (const char *go : {"W14=000003", "W34=000003", "W54=000003"}) QVERIFY2(!sent.contains(QLatin1String(go)), go);
  }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
