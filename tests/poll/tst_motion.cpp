// Moving the motors from the main window: the datagrams of Go and Stop in every mode, the
// acceleration warning, and a motor of the simulated controller running to its target.
#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>
#include <qpa/qwindowsysteminterface.h>
#include "LedLittle.h"
#include "MainSession.h"
#include "MotionMath.h"
#include "SpinEdit.h"
#include "Ticks.h"

namespace {
QString Hex6(int v) { return QStringLiteral("%1").arg(v & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper(); }
}  // namespace

class TestMotion : public QObject {
  Q_OBJECT
  MainSession s;
  sim::SimulatedBoard *board = nullptr;

  void SetEdit(const QString &name, int value) { s.Child<TSpinEdit>(qPrintable(name))->SetValue(value); }
  void SetMode(int motor, int mode) {
    s.Child<QComboBox>(qPrintable(QStringLiteral("CbRampMode%1").arg(motor)))->setCurrentIndex(mode);
  }
  // The requests from the first occurrence of `first` on, as many as `expected` holds.
  QStringList SequenceFrom(const QString &first, int count) {
    const QStringList all = Requests(board);
    const int start = int(all.indexOf(first));
    return start < 0 ? all : all.mid(start, count);
  }
  void SetDividers(int motor, int pulseDiv, int rampDiv) {
    board->WithModel([=](sim::BoardModel &m) { m.Controller().WriteRegister(motor, 12, uint32_t(pulseDiv << 12 | rampDiv << 8)); });
  }
  // Answers the warning dialog once it shows: remembers its number, ticks or not, and presses.
  QString AnswerWarning(const char *button, bool tickNotify = false) {
    QString shown;
    QTimer watch;
    watch.setInterval(10);
    connect(&watch, &QTimer::timeout, [&] {
      QWidget *dialog = QApplication::activeModalWidget();
      if (!dialog) return;
      watch.stop();
      shown = dialog->findChild<QLabel *>(QStringLiteral("LblNumber"))->text();
      if (tickNotify) dialog->findChild<QCheckBox *>(QStringLiteral("CheckNotify"))->setChecked(true);
      dialog->findChild<QPushButton *>(QLatin1String(button))->click();
    });
    watch.start();
    s.Click("BtnGo1");
    return shown;
  }

private slots:
  void initTestCase() {
    s.Start();
    board = MainSession::Board("SIM1");
  }
  void cleanupTestCase() { s.Stop(); }
  void init() {
    s.OpenFresh("SIM1");
  }
  void cleanup() { s.CloseChecked(); }

  void goSendsTheModesDatagrams_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("expected");
    // Motor 2 (datagram bytes + 0x20); the board's dividers give PULSDIV 6, RAMPDIV 7.
    const ctl::RegPMulPDiv p = ComputePMulPDiv(100, 7, 6);
    const QString pMulPDiv = QStringLiteral("W32=00%1%2").arg(p.P_MUL, 2, 16, QLatin1Char('0')).arg(p.P_DIV, 2, 16, QLatin1Char('0')).toUpper();
    const QStringList positioning = {"W2C=000064", "W26=0003E8", "W24=00000A", "W20=" + Hex6(-10000)};
    QTest::newRow("RAMP") << 0 << QStringList{"R39", pMulPDiv, "R35", "W34=000000"} + positioning;
    QTest::newRow("SOFTMODE") << 1 << QStringList{"R39", pMulPDiv, "R35", "W34=000001"} + positioning;
    // VELOCITY: V_MAX is the magnitude; velocities are 12-bit two's complement.
    QTest::newRow("VELOCITY") << 2 << QStringList{"R35", "W34=000002", "W2C=000064", "W26=00012C", "W28=000ED4"};
    QTest::newRow("HOLD") << 3 << QStringList{"R35", "W34=000003", "W2A=000FFB"};
  }
  void goSendsTheModesDatagrams() {
    QFETCH(int, mode);
    QFETCH(QStringList, expected);
    SetMode(2, mode);
    SetEdit("EditXTarget2", -10000);
    SetEdit("EditVMax2", 1000);
    SetEdit("EditVMin2", 10);
    SetEdit("EditAMax2", 100);
    SetEdit("EditVTarget2", -300);
    SetEdit("EditVActual2", -5);
    board->ClearReceivedFrames();
    s.Click("BtnGo2");
    QCOMPARE(SequenceFrom(expected.first(), int(expected.size())), expected);
    QTRY_VERIFY(board->ReceivedFrames().size() > size_t(expected.size()) + 3);  // polling goes on
    s.Click("BtnStop2");
    SetMode(2, 0);
  }

  void stopKeepsTheUpperBitsAndTheList() {
    board->WithModel([](sim::BoardModel &m) { m.Controller().WriteRegister(2, 10, 0x0A01); });  // REF_CONF 1010, SOFTMODE
    SetMode(3, 1);
    board->ClearReceivedFrames();
    s.Click("BtnStop3");
    QCOMPARE(SequenceFrom("R55", 4), (QStringList{"R55", "W54=000A02", "W48=000000", "W4A=000000"}));
    QCOMPARE(s.Child<QComboBox>("CbRampMode3")->currentText(), QStringLiteral("SOFTMODE"));
    SetMode(3, 0);
    board->WithModel([](sim::BoardModel &m) { m.Controller().WriteRegister(2, 10, 0); });
  }

  void allMotors() {
    board->ClearReceivedFrames();
    s.Click("BtnStopAll");
    const QStringList stops = {"R15", "W14=000002", "W08=000000", "W0A=000000",
                               "R35", "W34=000002", "W28=000000", "W2A=000000",
                               "R55", "W54=000002", "W48=000000", "W4A=000000"};
    QCOMPARE(SequenceFrom("R15", 12), stops);

    for (int motor = 1; motor <= 3; ++motor) {
      SetMode(motor, 3);
      SetEdit(QStringLiteral("EditVActual%1").arg(motor), motor);
    }
    board->ClearReceivedFrames();
    s.Click("BtnGoAll");
    QCOMPARE(SequenceFrom("R15", 9), (QStringList{"R15", "W14=000003", "W0A=000001", "R35", "W34=000003",
                                                  "W2A=000002", "R55", "W54=000003", "W4A=000003"}));
    s.Click("BtnStopAll");
    for (int motor = 1; motor <= 3; ++motor) SetMode(motor, 0);
  }

  // All Go with three motors below their limit asks three times, each question naming its motor.
  void warningNamesItsMotor() {
    for (int motor = 1; motor <= 3; ++motor) {
      SetDividers(motor - 1, 3, 7);  // limit 8
      SetMode(motor, 0);
      SetEdit(QStringLiteral("EditAMax%1").arg(motor), 7);
    }
    QStringList titles;
    QTimer watch;
    watch.setInterval(10);
    connect(&watch, &QTimer::timeout, [&] {
      if (QWidget *dialog = QApplication::activeModalWidget()) {
        titles << dialog->windowTitle();
        dialog->findChild<QPushButton *>(QStringLiteral("BtnAbort"))->click();
      }
    });
    watch.start();
    s.Click("BtnGoAll");
    watch.stop();
    QCOMPARE(titles, (QStringList{"Warning: Motor 1", "Warning: Motor 2", "Warning: Motor 3"}));
    for (int motor = 0; motor < 3; ++motor) SetDividers(motor, 6, 7);
  }

  // Runs last among the warning cases: once "do not notify" is ticked it stays for the run.
  void accelerationWarning() {
    SetDividers(0, 3, 7);  // limit 2^(7-3-1) = 8
    SetMode(1, 0);
    SetEdit("EditXTarget1", 100);
    SetEdit("EditVMax1", 100);

    SetEdit("EditAMax1", 8);  // at the limit: no question
    board->ClearReceivedFrames();
    s.Click("BtnGo1");
    QVERIFY(Requests(board).contains(QStringLiteral("W00=000064")));

    SetEdit("EditAMax1", 7);  // below: asked, and Abort writes only the ramp mode
    board->ClearReceivedFrames();
    QCOMPARE(AnswerWarning("BtnAbort"), QStringLiteral("8,"));
    QCOMPARE(SequenceFrom("R19", 3), (QStringList{"R19", "R15", "W14=000000"}));
    QVERIFY(!Requests(board).contains(QStringLiteral("W0C=000007")));
    QVERIFY(!Requests(board).filter(QRegularExpression("^W12=")).size());

    board->ClearReceivedFrames();  // Continue: the whole start
    QCOMPARE(AnswerWarning("BtnCont"), QStringLiteral("8,"));
    QVERIFY(Requests(board).contains(QStringLiteral("W0C=000007")));

    board->ClearReceivedFrames();  // ticked with Abort: this start is abandoned...
    AnswerWarning("BtnAbort", true);
    QVERIFY(!Requests(board).contains(QStringLiteral("W0C=000007")));
    board->ClearReceivedFrames();  // ...and later ones go on without a question
    s.Click("BtnGo1");
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(Requests(board).contains(QStringLiteral("W0C=000007")));
    s.Click("BtnStop1");
    SetDividers(0, 6, 7);
  }

  // A reply lost in the middle of Go or Stop: nothing further of the command is sent, one
  // message, and the poll cycle goes on.
  void lostReplyEndsTheCommand_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("lost");
    QTest::newRow("Go, divider read") << "BtnGo1" << "R19";
    QTest::newRow("Go, ramp mode read") << "BtnGo1" << "R15";
    QTest::newRow("Stop, ramp mode read") << "BtnStop1" << "R15";
    QTest::newRow("All Go, motor 2's divider read") << "BtnGoAll" << "R39";
  }
  void lostReplyEndsTheCommand() {
    QFETCH(QString, button);
    QFETCH(QString, lost);
    board->DropReplyTo(Matching(lost));
    board->ClearReceivedFrames();
    const uint32_t start = TickCount();
    s.Click(button.toLatin1().constData());
    QVERIFY(TicksSince(start) < 2000);
    const QStringList sent = Requests(board);
    QVERIFY(sent.contains(lost));
    QCOMPARE(sent.mid(sent.indexOf(lost)).filter(QRegularExpression("^W")), QStringList());
    QCOMPARE(s.Errors, QStringList{QStringLiteral("The board does not respond!")});
    s.Errors.clear();
    QTRY_VERIFY(board->ReceivedFrames().size() > size_t(sent.size()) + 10);  // polling goes on
    s.Click("BtnStopAll");
  }

  // Go acts on what the edits show: a number out of range is clamped and shown as sent, text
  // that is no number is refused before anything is sent.
  void goTakesTheEditsAsShown() {
    SetMode(1, 2);
    auto *vTarget = s.Child<TSpinEdit>("EditVTarget1");
    vTarget->SetText(QStringLiteral("3000"));
    board->ClearReceivedFrames();
    s.Click("BtnGo1");
    QVERIFY(Requests(board).contains(QStringLiteral("W08=0007FF")));
    QCOMPARE(vTarget->Text(), QStringLiteral("2047"));
    for (const QString &text : {QString(), QStringLiteral("1000.5"), QStringLiteral("-")}) {
      vTarget->SetText(text);
      board->ClearReceivedFrames();
      s.Click("BtnGo1");
      QCOMPARE(Requests(board).filter(QRegularExpression("^W")), QStringList());
      QCOMPARE(s.Errors.size(), 1);
      QCOMPARE(vTarget->Text(), text);
      s.Errors.clear();
    }
    vTarget->SetValue(0);
    s.Click("BtnStop1");
    SetMode(1, 0);
  }

  void escapeStopsAllMotors_data() {
    QTest::addColumn<QString>("window");
    QTest::newRow("main window") << "";
    QTest::newRow("graphics window") << "FormGraphics";
    QTest::newRow("register editor") << "TFormAdvanced";
    QTest::newRow("QVR53x window") << "TFormQVR533";
  }
  // Esc stops all motors from every window of the program, whichever control has the focus.
  void escapeStopsAllMotors() {
    QFETCH(QString, window);
    QWidget *w = window.isEmpty() ? s.Main : s.Main->findChild<QWidget *>(window);
    w->show();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    QWidget *focus = window.isEmpty() ? s.Child<TSpinEdit>("EditXTarget2")->Editor() : w;
    focus->setFocus();
    board->ClearReceivedFrames();
    QTest::keyClick(focus, Qt::Key_Escape);
    const QStringList sent = Requests(board);
    if (w != s.Main) w->close();
    for (const char *stop : {"W14=000002", "W08=000000", "W34=000002", "W28=000000", "W54=000002", "W48=000000"})
      QVERIFY2(sent.contains(QLatin1String(stop)), stop);
  }

  // A press that comes while a Go waits for the board runs after the Go, not inside it.
  void secondPressRunsAfterTheFirst() {
    SetMode(1, 3);
    SetMode(2, 3);
    SetEdit("EditVActual1", 0);
    SetEdit("EditVActual2", 0);
    board->SetProcessingTime(20);  // a slow board: the Go takes a while
    board->ClearReceivedFrames();
    QPushButton *go2 = s.Button("BtnGo2");
    QWindow *window = s.Main->windowHandle();
    const QPointF local = go2->mapTo(s.Main, go2->rect().center());
    const QPointF global = s.Main->mapToGlobal(local);
    QTimer::singleShot(15, [=] {
      QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
          window, local, global, Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress);
      QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
          window, local, global, Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease);
    });
    const uint32_t start = TickCount();
    const double cpuStart = ProcessCpuSeconds();
    s.Click("BtnGo1");
    // The wait sleeps most of the time, input or not.
    const double wall = TicksSince(start) / 1000.0;
    QVERIFY2(ProcessCpuSeconds() - cpuStart < 0.5 * wall, qPrintable(QString::number(wall)));
    QTRY_VERIFY(Requests(board).contains(QStringLiteral("W2A=000000")));  // the second Go ran
    const QStringList all = Requests(board);
    const int goEnd = int(all.indexOf(QStringLiteral("W0A=000000")));
    QVERIFY(goEnd >= 2);
    QCOMPARE(all.mid(goEnd - 2, 6), (QStringList{"R15", "W14=000003", "W0A=000000", "R35", "W34=000003", "W2A=000000"}));
    board->SetProcessingTime(0);
    SetMode(1, 0);
    SetMode(2, 0);
  }

  void motorRunsToItsTarget() {
    SetMode(1, 0);
    SetEdit("EditXTarget1", 3000);
    SetEdit("EditVMax1", 2047);
    SetEdit("EditVMin1", 1);
    SetEdit("EditAMax1", 2047);
    s.Click("BtnGo1");
    QTRY_COMPARE_WITH_TIMEOUT(s.Text("StaticXAct1"), QStringLiteral("3000"), 10000);
    QTRY_COMPARE(s.Child<TLedLittle>("LedXReached1")->LedColor(), lcCyan);
    QTRY_COMPARE(s.Text("StaticVAct1"), QStringLiteral("0"));  // read later in the cycle
    SetEdit("EditXTarget1", 0);
    s.Click("BtnGo1");
    QTRY_COMPARE_WITH_TIMEOUT(s.Text("StaticXAct1"), QStringLiteral("0"), 10000);
  }
};

QTEST_MAIN(TestMotion)
#include "tst_motion.moc"
