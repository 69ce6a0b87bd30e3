// The board settings, encoder and older-driver windows against the simulated boards: the exact
// requests of every control, the live values of the poll rows, a reply lost in the middle of
// setting the clocks, and what the simulated boards make of enables, clocks and telegrams.
#include <QTimer>
#include <QComboBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QSlider>
#include "CheckedComboBinary.h"
#include "Ev51xBoard.h"
#include "Ev710Param51x.h"
#include "Ev710_QVR730.h"
#include "LedLittle.h"
#include "SpinEdit.h"
#include "poll/MainSession.h"

namespace {
// A recorded request with its value: "C65 1/0=8" (command, type, motor), "E11 803456" (encoder
// telegram), "S205/2=8" (set parameter).
QString Request(const std::array<uint8_t, 9> &f) {
  if (f[1] == 5) return QStringLiteral("S%1/%2=%3").arg(f[2]).arg(f[3]).arg(sim::FrameValue(f));
  if (f[1] == 71 && f[2] == 4) return QStringLiteral("E%1").arg(sim::FrameValue(f), 8, 16, QLatin1Char('0')).toUpper().insert(3, u' ');
  if (f[1] == 71 || f[1] == 6) return Describe(f);
  return QStringLiteral("C%1 %2/%3=%4").arg(f[1]).arg(f[2]).arg(f[3]).arg(sim::FrameValue(f));
}
QStringList Sent(sim::SimulatedBoard *board, const QString &pattern) {
  QStringList out;
  for (const auto &f : board->ReceivedFrames()) out << Request(f);
  return out.filter(QRegularExpression(pattern));
}
}  // namespace

class TestBoardWindows : public QObject {
  Q_OBJECT
  MainSession s;
  sim::SimulatedBoard *board = nullptr;

  QWidget *Window(const char *name) {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (w->objectName() == QLatin1String(name)) return w;
    qFatal("no window %s", name);
  }
  template <class T> T *Ctl(const char *window, const QString &name) {
    T *c = Window(window)->findChild<T *>(name);
    if (!c) qFatal("no control %s", qPrintable(name));
    return c;
  }
  void Click(const char *window, const char *button) {
    QTest::mouseClick(Ctl<QAbstractButton>(window, button), Qt::LeftButton);
  }
  void Open(const char *port) {
    board = MainSession::Board(port);
    s.OpenFresh(port);
  }
  // Polling goes on: fresh poll requests arrive after the command.
  void VerifyPollingResumes() {
    const size_t sent = board->ReceivedFrames().size();
    QTRY_VERIFY_WITH_TIMEOUT(board->ReceivedFrames().size() > sent + 10, 5000);
  }

private slots:
  void initTestCase() { s.Start(); }
  void cleanupTestCase() { s.Stop(); }
  void cleanup() {
    for (const char *w : {"TFormQVR51x", "TFormBoard51x", "TFormQVR730", "TFormBoard", "TFormQVR550"}) Window(w)->close();
    s.CloseChecked();
    if (board) board->WithModel([](sim::BoardModel &m) { m = sim::BoardModel(m.Kind()); });
  }

  void windowsFollowTheBoard_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("stays");
    QTest::newRow("older drivers, then QVR550") << "SIM2" << "BtnQVR515" << "TFormQVR51x" << "SIM3" << false;
    QTest::newRow("older board settings, then newer") << "SIM2" << "BtnBoard" << "TFormBoard51x" << "SIM1" << false;
    QTest::newRow("QVR550, then older drivers") << "SIM3" << "BtnQVR550" << "TFormQVR550" << "SIM2" << false;
    QTest::newRow("QVR550, then QVR550") << "SIM3" << "BtnQVR550" << "TFormQVR550" << "SIM3" << true;
  }
  // A window of the drivers of one board closes when a board without them is identified; Close
  // alone leaves it open.
  void windowsFollowTheBoard() {
    QFETCH(QString, first);
    QFETCH(QString, button);
    QFETCH(QString, window);
    QFETCH(QString, second);
    QFETCH(bool, stays);
    Open(qPrintable(first));
    s.Click(qPrintable(button));
    QVERIFY(Window(qPrintable(window))->isVisible());
    s.CloseChecked();
    QVERIFY(Window(qPrintable(window))->isVisible());
    Open(qPrintable(second));
    QCOMPARE(Window(qPrintable(window))->isVisible(), stays);
  }

  void boardSettingsRequests_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("Enable motor 3") << "BtnEnbaleMotor3" << QStringList{"C64 0/2=1"};
    QTest::newRow("Disable motor 2") << "BtnDisableMotor2" << QStringList{"C64 0/1=0"};
    QTest::newRow("Set clocks") << "BtnSetFreq" << QStringList{"C65 0/0=6", "C65 1/0=8"};
    QTest::newRow("SPI") << "BtnModeSPI" << QStringList{"C66 0/0=1"};
    QTest::newRow("Step/Direction") << "BtnModeStepDir" << QStringList{"C66 0/0=0"};
  }
  // Each button's commands, and the board keeps what they set. The lists: "250 kHz" for the
  // drivers, "48 MHz" for the controller.
  void boardSettingsRequests() {
    QFETCH(QString, button);
    QFETCH(QStringList, expected);
    Open("SIM1");
    s.Click("BtnBoard");
    QVERIFY(Window("TFormBoard")->isVisible());
    Ctl<QComboBox>("TFormBoard", "CbFreq53x")->setCurrentIndex(6);
    Ctl<QComboBox>("TFormBoard", "CbFreq710")->setCurrentIndex(8);
    board->ClearReceivedFrames();
    Click("TFormBoard", qPrintable(button));
    QCOMPARE(Sent(board, "^C6"), expected);
    board->WithModel([&](sim::BoardModel &m) {
      QCOMPARE(m.ClockIndex(0), button == "BtnSetFreq" ? 6 : 0);
      QCOMPARE(m.ClockIndex(1), button == "BtnSetFreq" ? 8 : 0);
      QCOMPARE(m.InterfaceMode(), button == "BtnModeStepDir" ? 0 : 1);
      QCOMPARE(m.DriverEnabled(1), button != "BtnDisableMotor2");
    });
    VerifyPollingResumes();
    s.Close();  // closing the connection closes the window; it keeps its lists
    QVERIFY(!Window("TFormBoard")->isVisible());
    QCOMPARE(Ctl<QComboBox>("TFormBoard", "CbFreq710")->currentIndex(), 8);
  }

  // The driver clock goes unanswered: the controller clock is not sent, one message, polling goes on.
  void setFreqStopsAtALostReply() {
    Open("SIM1");
    s.Click("BtnBoard");
    Ctl<QComboBox>("TFormBoard", "CbFreq53x")->setCurrentIndex(2);
    board->DropReplyTo([](const std::array<uint8_t, 9> &f) { return f[1] == 65; });
    board->ClearReceivedFrames();
    Click("TFormBoard", "BtnSetFreq");
    QCOMPARE(Sent(board, "^C65"), QStringList{"C65 0/0=2"});
    QCOMPARE(s.Errors, QStringList{"The board does not respond!"});
    s.Errors.clear();
    VerifyPollingResumes();
    QCOMPARE(Sent(board, "^C65"), QStringList{"C65 0/0=2"});
  }

  void encoderTelegrams_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("telegram");
    QTest::newRow("ENC1_PS 1 + 8/5, Direction") << 0 << "01 81 80 80";
    QTest::newRow("ENC2_POS -1") << 4 << "0B FF FF FF";
    QTest::newRow("INT after ENC3_POS 0x123456, Register Hold") << 6 << "11 80 34 56";
  }
  // The telegram as composed, shown and sent through command 71 with type 4.
  void encoderTelegrams() {
    QFETCH(int, item);
    QFETCH(QString, telegram);
    Open("SIM1");
    s.Click("BtnQVR730");
    const char *w = "TFormQVR730";
    auto choose = [&](int i) { Click(w, qPrintable(QStringLiteral("RGRegistersItem%1").arg(i))); };
    choose(item == 6 ? 5 : item);
    Ctl<TSpinEdit>(w, "EditEnc1Int")->SetValue(1);  // only the chosen register's controls take input
    QVERIFY(Ctl<TSpinEdit>(w, "EditEnc1Int")->isEnabled() == (item == 0));
    Ctl<TSpinEdit>(w, "EditEnc1Fract")->SetValue(8);
    Ctl<QComboBox>(w, "CbEnc1Fract")->setCurrentIndex(1);
    Ctl<TCheckedComboBinary>(w, "CbEnc1FunctionBits")->SetItemChecked(0, true);
    Ctl<TSpinEdit>(w, "EditEnc2Pos")->SetValue(-1);
    Ctl<TSpinEdit>(w, "EditEnc3Pos")->SetValue(0x123456);
    if (item == 6) {
      choose(6);
      Ctl<TCheckedComboBinary>(w, "CbInterruptBits")->SetItemChecked(2, true);
      QVERIFY(!Ctl<TSpinEdit>(w, "EditEnc3Pos")->isEnabled());
    }
    QStringList shown;
    for (int i = 1; i <= 4; ++i) shown << Ctl<QLabel>(w, QStringLiteral("StaticSPI%1").arg(i))->text();
    QCOMPARE(shown.join(u' '), telegram);
    board->ClearReceivedFrames();
    Click(w, "BtnSendMot1");
    QCOMPARE(Sent(board, "^E(0[1-9B-F]|1[01]) "), QStringList{QStringLiteral("E") + QString(telegram).remove(u' ').insert(2, u' ')});
    VerifyPollingResumes();
  }

  // While shown, the encoder rows are read: positions as signed numbers, the N inputs on their
  // indicators; a prescaler sent makes encoder 1 count 2.5 per motor step; a disabled driver's
  // motor stands, so its encoder stays. Closed, the rows are no longer read.
  void encoderLiveValues() {
    Open("SIM1");
    board->WithModel([](sim::BoardModel &m) {
      m.Encoder().Transfer({0x0B, 0xFF, 0xFF, 0xFE});  // ENC2_POS -2
      m.Encoder().SetNullInputs(0x05);
    });
    s.Click("BtnQVR730");
    QTRY_COMPARE(Ctl<QLabel>("TFormQVR730", "StaticEnc2Pos")->text(), QStringLiteral("-2"));
    QTRY_COMPARE(Ctl<TLedLittle>("TFormQVR730", "LED_N1")->LedColor(), lcCyan);
    QCOMPARE(Ctl<TLedLittle>("TFormQVR730", "LED_N2")->LedColor(), lcDarkCyan);
    QCOMPARE(Ctl<TLedLittle>("TFormQVR730", "LED_N3")->LedColor(), lcCyan);

    Click("TFormQVR730", "RGRegistersItem0");
    Ctl<TSpinEdit>("TFormQVR730", "EditEnc1Int")->SetValue(2);
    Ctl<TSpinEdit>("TFormQVR730", "EditEnc1Fract")->SetValue(8);
    Ctl<QComboBox>("TFormQVR730", "CbEnc1Fract")->setCurrentIndex(0);
    Ctl<TCheckedComboBinary>("TFormQVR730", "CbEnc1FunctionBits")->DeSelectAll();
    Click("TFormQVR730", "BtnSendMot1");
    auto runMotor1 = [&] {
      board->WithModel([](sim::BoardModel &m) {
        m.Controller().WriteRegister(0, sim::ControllerModel::RefConfRampMode, sim::ControllerModel::Hold);
        m.Controller().WriteRegister(0, sim::ControllerModel::VActual, 300);
      });
      QTest::qWait(300);
      return board->WithModel([](sim::BoardModel &m) {
        m.Controller().WriteRegister(0, sim::ControllerModel::VActual, 0);
        return std::pair{sim::SignExtend(m.Controller().ReadRegister(0, sim::ControllerModel::XActual), 24),
                         m.Encoder().PositionOf(0)};
      });
    };
    const auto [steps, counts] = runMotor1();
    QVERIFY(steps > 0 && std::abs(counts - 2.5 * steps) <= 2);
    QTRY_COMPARE(Ctl<QLabel>("TFormQVR730", "StaticEnc1Pos")->text(), QString::number(counts));

    s.Click("BtnBoard");
    Click("TFormBoard", "BtnDisableMotor1");
    const auto [stepsDisabled, countsDisabled] = runMotor1();
    QVERIFY(stepsDisabled > steps);
    QCOMPARE(countsDisabled, counts);

    Window("TFormQVR730")->close();
    board->ClearReceivedFrames();
    VerifyPollingResumes();
    QCOMPARE(Sent(board, "^E"), QStringList());
  }

  void olderThresholds_data() {
    QTest::addColumn<QString>("slider");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Motor 1's group, SDT Off") << "LoadSlider517" << 0 << "S205/0=8";
    QTest::newRow("Motor 1's group, bottom") << "LoadSlider517" << 7 << "S205/0=1";
    QTest::newRow("Motor 2's group") << "LoadSlider515" << 3 << "S205/1=5";
    QTest::newRow("Motor 3's group") << "LoadSlider513" << 7 << "S205/2=1";
  }
  // Showing sends motor 3's and motor 1's thresholds; each slider sends 8 - position for the
  // motor index of its group, whatever chip number its name carries.
  void olderThresholds() {
    QFETCH(QString, slider);
    QFETCH(int, position);
    QFETCH(QString, expected);
    Open("SIM2");
    for (const char *top : {"LoadSlider517", "LoadSlider513"}) {
      const QSignalBlocker quiet(Ctl<QSlider>("TFormQVR51x", top));
      Ctl<QSlider>("TFormQVR51x", top)->setValue(0);
    }
    board->ClearReceivedFrames();
    s.Click("BtnQVR515");
    QCOMPARE(Sent(board, "^S205"), (QStringList{"S205/2=8", "S205/0=8"}));
    auto *control = Ctl<QSlider>("TFormQVR51x", slider);
    control->setValue(position == 0 ? 1 : 0);
    board->ClearReceivedFrames();
    control->setValue(position);
    QCOMPARE(Sent(board, "^S205"), QStringList{expected});
    QCOMPARE(board->WithModel([&](sim::BoardModel &m) { return m.StoredParameter(205, expected.at(5).digitValue()); }),
             8 - position);
    VerifyPollingResumes();
  }

  // Showing meets a lost reply to motor 3's threshold: motor 1's is not sent, one message,
  // polling goes on.
  void showStopsAtALostReply() {
    Open("SIM2");
    board->DropReplyTo([](const std::array<uint8_t, 9> &f) { return f[1] == 5 && f[2] == 205 && f[3] == 2; });
    board->ClearReceivedFrames();
    s.Click("BtnQVR515");
    QCOMPARE(Sent(board, "^S205").size(), 1);
    QCOMPARE(s.Errors, QStringList{"The board does not respond!"});
    s.Errors.clear();
    VerifyPollingResumes();
    QCOMPARE(Sent(board, "^S205").size(), 1);
  }

  // Flags and load from the poll rows: OC-HS is not shown in motor 3's group; disabling the
  // drivers stops the running motor's load and shows open load; closing stops the reading.
  void olderLiveStatus() {
    Open("SIM2");
    s.Click("BtnQVR515");
    board->WithModel([](sim::BoardModel &m) {
      for (int motor = 0; motor < 3; ++motor) m.Drivers().SetForcedFlags(motor, 0x10);
      m.Controller().WriteRegister(1, sim::ControllerModel::RefConfRampMode, sim::ControllerModel::Hold);
      m.Controller().WriteRegister(1, sim::ControllerModel::VMax, 1000);
      m.Controller().WriteRegister(1, sim::ControllerModel::VActual, 1000);
    });
    const char *w = "TFormQVR51x";
    QTRY_COMPARE(Ctl<TLedLittle>(w, "LED_OCHS_517")->LedColor(), lcCyan);
    QTRY_COMPARE(Ctl<TLedLittle>(w, "LED_OCHS_515")->LedColor(), lcCyan);
    QTRY_VERIFY(Ctl<QProgressBar>(w, "StallBar515")->value() > 3);
    QTRY_COMPARE(Ctl<TLedLittle>(w, "LED_OCHS_513")->LedColor(), lcDarkCyan);  // grey until its row is read
    QCOMPARE(Ctl<QProgressBar>(w, "StallBar517")->value(), 0);
    QCOMPARE(Ctl<TLedLittle>(w, "LED_OLA_515")->LedColor(), lcDarkCyan);

    s.Click("BtnBoard");
    board->ClearReceivedFrames();
    Click("TFormBoard51x", "BtnDisableMotor1");
    QCOMPARE(Sent(board, "^C64"), QStringList{"C64 0/0=0"});
    QTRY_COMPARE(Ctl<QProgressBar>(w, "StallBar515")->value(), 0);
    QTRY_COMPARE(Ctl<TLedLittle>(w, "LED_OLA_515")->LedColor(), lcCyan);
    QCOMPARE(Ctl<TLedLittle>(w, "LED_OLB_517")->LedColor(), lcCyan);
    Click("TFormBoard51x", "BtnEnableMotor1");
    QTRY_VERIFY(Ctl<QProgressBar>(w, "StallBar515")->value() > 3);

    Window(w)->close();
    board->ClearReceivedFrames();
    VerifyPollingResumes();
    // Only the row the cycle's jump from the newer drivers' rows lands on is still read.
    QCOMPARE(Sent(board, "^P(208|206/[12])"), QStringList());
  }

  // Keys held on the PWM track bar: the poll cycle pauses, every position goes out as it comes,
  // and the release resumes polling. A change with nothing held goes out alone.
  void pwmStreamsWhileHeld() {
    Open("SIM2");
    s.Click("BtnBoard");
    auto *pwm = Ctl<QSlider>("TFormBoard51x", "TrackBarPWM");
    pwm->setFocus();
    board->ClearReceivedFrames();
    for (int i = 0; i < 5; ++i) QTest::keyPress(pwm, Qt::Key_Right);
    QTRY_COMPARE(Sent(board, "^S6/").size(), 5);
    QTest::qWait(50);
    const QStringList held = Sent(board, ".");
    QTest::keyRelease(pwm, Qt::Key_Right);
    const qsizetype firstSet = held.indexOf("S6/1=1");
    QVERIFY(firstSet >= 0 && firstSet <= 1);  // at most the poll request in flight before
    QCOMPARE(held.mid(firstSet), (QStringList{"S6/1=1", "S6/1=2", "S6/1=3", "S6/1=4", "S6/1=5"}));
    VerifyPollingResumes();
    QCOMPARE(board->WithModel([](sim::BoardModel &m) { return m.StoredParameter(6, 1); }), 5);
    pwm->setValue(200);  // the wheel
    QCOMPARE(board->WithModel([](sim::BoardModel &m) { return m.StoredParameter(6, 1); }), 200);
    QVERIFY(!static_cast<TFormBoard51x *>(Window("TFormBoard51x"))->Dragging());
    VerifyPollingResumes();

    // A slow board: no PWM reply is left on the line when polling resumes, so the cycle goes on
    // at once and every poll reply reaches its own row (X_TARGET 555 never shows as X_ACTUAL).
    board->WithModel([](sim::BoardModel &m) {
      m.Controller().WriteRegister(0, sim::ControllerModel::XTarget, 555);
      m.Controller().WriteRegister(0, sim::ControllerModel::XActual, 1234);
    });
    QTRY_COMPARE(s.Text("StaticXAct1"), QStringLiteral("1234"));
    board->SetReplyDelay(40);
    for (int i = 0; i < 3; ++i) QTest::keyPress(pwm, Qt::Key_Right);
    QTest::keyRelease(pwm, Qt::Key_Right);
    const size_t sent = board->ReceivedFrames().size();
    for (int i = 0; i < 20; ++i) {
      QTest::qWait(20);
      QCOMPARE(s.Text("StaticXAct1"), QStringLiteral("1234"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(board->ReceivedFrames().size() > sent + 8, 1000);
    board->SetReplyDelay(0);
  }

  // A board that stops answering while a key is held on the PWM track bar costs one timeout
  // and one message: the further steps are not sent until the key is released.
  void pwmStopsSendingOnASilentBoard() {
    Open("SIM2");
    s.Click("BtnBoard");
    auto *pwm = Ctl<QSlider>("TFormBoard51x", "TrackBarPWM");
    pwm->setFocus();
    const QString firstStep = QStringLiteral("S6/1=%1").arg(pwm->value() + 1);
    board->SetSilent(true);
    board->ClearReceivedFrames();
    QTimer::singleShot(100, [pwm] {
      for (int i = 0; i < 3; ++i) QTest::keyPress(pwm, Qt::Key_Right);  // the key repeats
    });
    QTest::keyPress(pwm, Qt::Key_Right);
    QTest::qWait(400);
    QCOMPARE(Sent(board, "^S6/"), QStringList{firstStep});
    QCOMPARE(s.Errors, QStringList{"The board does not respond!"});
    s.Errors.clear();
    QTest::keyRelease(pwm, Qt::Key_Right);
    board->SetSilent(false);
    VerifyPollingResumes();
    QTest::keyClick(pwm, Qt::Key_Right);
    QTRY_COMPARE(Sent(board, "^S6/").last(), QStringLiteral("S6/1=%1").arg(pwm->value()));
  }
};

QTEST_MAIN(TestBoardWindows)
#include "tst_boardwindows.moc"
