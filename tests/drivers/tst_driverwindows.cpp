// The driver windows against the simulated boards: the exact requests of every Set, reads that
// fill every control, the live status and graph, the motor choice, a reply lost inside a set,
// and the QVR550 window's motor index 2.
#include <QCheckBox>
#include <QDialog>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <map>
#include "Ev710_QVR53x.h"
#include "Ev710_QVR550.h"
#include "LedLittle.h"
#include "poll/MainSession.h"
#include "SpinEdit.h"

namespace {
// The requests of the driver windows: "S165/1=15" a set with its value, "P165/1" a read.
QStringList DriverRequests(sim::SimulatedBoard *board) {
  QStringList out;
  for (const auto &f : board->ReceivedFrames())
    if (f[1] == 5) out << QStringLiteral("S%1/%2=%3").arg(f[2]).arg(f[3]).arg(sim::FrameValue(f));
    else if (f[1] == 6) out << QStringLiteral("P%1/%2").arg(f[2]).arg(f[3]);
  return out;
}

QStringList Sets(sim::SimulatedBoard *board) { return DriverRequests(board).filter(QRegularExpression("^S")); }

// The `count` requests from the first occurrence of `first` on.
QStringList SequenceFrom(sim::SimulatedBoard *board, const QString &first, int count) {
  const QStringList all = DriverRequests(board);
  const int start = int(all.indexOf(first));
  return start < 0 ? all : all.mid(start, count);
}

// "165=15" as a set of motor index `motor`: "S165/1=15".
QStringList SetsOfMotor(int motor, const QStringList &paramValues) {
  QStringList out;
  for (const QString &pv : paramValues) out << QStringLiteral("S%1/%2=%3").arg(pv.section(u'=', 0, 0)).arg(motor).arg(pv.section(u'=', 1));
  return out;
}
}  // namespace

class TestDriverWindows : public QObject {
  Q_OBJECT
  MainSession s;
  sim::SimulatedBoard *board = nullptr;

  template <class Form> Form *Window(const char *name) {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (w->objectName() == QLatin1String(name)) return qobject_cast<Form *>(w);
    qFatal("no window %s", name);
  }
  TFormQVR533 *Newer() { return Window<TFormQVR533>("TFormQVR533"); }
  TFormQVR550 *Qvr550() { return Window<TFormQVR550>("TFormQVR550"); }
  template <class T> T *Ctl(QWidget *w, const char *name) {
    T *c = w->findChild<T *>(QLatin1String(name));
    if (!c) qFatal("no control %s", name);
    return c;
  }
  void ShowPage(QWidget *w, const char *tab, bool read = true) {
    auto *pages = Ctl<QTabWidget>(w, "PageControl");
    const QSignalBlocker quiet(read ? nullptr : pages);
    pages->setCurrentWidget(Ctl<QWidget>(w, tab));
  }
  void SelectMotor(int motor) {
    auto *combo = Ctl<QComboBox>(Newer(), "CbMotorSelect");
    combo->setCurrentIndex(motor);
    emit combo->activated(motor);
  }
  void SetChecked(QWidget *w, const char *name, bool on) { Ctl<QCheckBox>(w, name)->setChecked(on); }
  void SetItem(QWidget *w, const char *name, int item) { Ctl<QComboBox>(w, name)->setCurrentIndex(item); }
  void SetSpin(QWidget *w, const char *name, int v) { Ctl<TSpinEdit>(w, name)->SetValue(v); }
  QString Text(QWidget *w, const char *name) { return Ctl<QLabel>(w, name)->text(); }
  // Every control of the newer window set to a value apart from the board's power-on values.
  void FillNewerControls() {
    TFormQVR533 *w = Newer();
    SetChecked(w, "CheckDrvCtrlIntpol", false);
    SetChecked(w, "CheckDrvCtrlDEdge", true);
    SetItem(w, "CbDrvCtrlMRes", 7);
    SetItem(w, "CbChopConfTbl", 3);
    SetItem(w, "CbChopConfHDec", 2);
    SetSpin(w, "EditChopConfHEnd", -3);
    SetSpin(w, "EditChopConfHStart", 8);
    SetSpin(w, "EditChopConfTOff", 15);
    SetChecked(w, "CheckChopConfRndTf", true);
    SetChecked(w, "CheckChopConfFDMode", true);
    SetItem(w, "CbChopConfFastDecayTime", 9);
    SetSpin(w, "EditChopConfSineWaveOffset", 12);
    SetItem(w, "CbThriftLvTLIMin", 1);
    SetItem(w, "CbThriftLvTLDN", 2);
    SetSpin(w, "EditThriftLvTLMax", 9);
    SetItem(w, "CbThriftLvTLUP", 3);
    SetSpin(w, "EditThriftLvTLMin", 4);
    SetChecked(w, "CheckLDSConfSFilt", true);
    SetSpin(w, "EditLDSConfLDT", -1);
    SetSpin(w, "EditLDSConfCurrentScale", 31);
    SetItem(w, "CbDrvConfSLPH", 3);
    SetItem(w, "CbDrvConfSLPL", 1);
    SetChecked(w, "CheckDrvConfDisS2G", true);
    SetItem(w, "CbDrvConfTS2G", 2);
    SetItem(w, "CbDrvConfVSense", 1);
    SetChecked(w, "CheckDrvConfSDOff", false);
    SetChecked(w, "CheckDrvConfTestMode", true);
  }
  void Close(QWidget *w) {
    w->close();
    ShowPage(w, "TabDrvCtrl1", false);
  }

private slots:
  void initTestCase() { s.Start(); }
  void cleanupTestCase() { s.Stop(); }
  void init() {
    board = MainSession::Board(QTest::currentTestFunction() == QLatin1String("qvr550Window") ? "SIM3" : "SIM1");
    s.OpenFresh(board == MainSession::Board("SIM3") ? "SIM3" : "SIM1");
  }
  void cleanup() {
    SelectMotor(0);
    for (QWidget *w : std::initializer_list<QWidget *>{Newer(), Qvr550()}) Close(w);
    s.CloseChecked();
  }

  void setButtonsSendTheirFields_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("chopperMode");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("DRVCTRL") << "BtnDrvCtrlSet" << 0 << QStringList{"160=0", "161=1", "140=7"};
    QTest::newRow("CHOPCONF standard") << "BtnChopConfSet" << 0
                                       << QStringList{"162=3", "163=0", "164=2", "165=0", "166=7", "167=15", "184=1"};
    QTest::newRow("CHOPCONF const. Toff") << "BtnChopConfSet" << 1
                                          << QStringList{"162=3", "163=1", "164=3", "165=15", "166=1", "167=15", "184=1"};
    QTest::newRow("THRIFTLV") << "BtnThriftLvSet" << 0 << QStringList{"168=1", "169=2", "170=9", "171=3", "172=4"};
    QTest::newRow("LDCSCONF") << "BtnLDSConfSet" << 0 << QStringList{"173=1", "174=-1", "6=31"};
    QTest::newRow("DRVCONF") << "BtnDrvConfSet" << 0 << QStringList{"175=3", "176=1", "177=1", "178=2", "179=1", "183=0", "185=1"};
  }
  // Motor 2 chosen: every request carries motor index 1, in the group's order, with the control's code.
  void setButtonsSendTheirFields() {
    QFETCH(QString, button);
    QFETCH(int, chopperMode);
    QFETCH(QStringList, expected);
    SelectMotor(1);
    FillNewerControls();
    SetItem(Newer(), "CbChopConfChm", chopperMode);
    board->ClearReceivedFrames();
    QTest::mouseClick(Ctl<QPushButton>(Newer(), qPrintable(button)), Qt::LeftButton);
    QCOMPARE(Sets(board), SetsOfMotor(1, expected));
    QTRY_VERIFY(Requests(board).size() > expected.size() + 3);  // polling goes on
  }

  // Showing reads DRVCONF and then the shown page; each control shows what the board holds.
  void readFillsEveryControl() {
    const std::map<int, int32_t> held = {{160, 1}, {161, 1},  {140, 8}, {162, 1}, {163, 1}, {164, 3}, {165, 15},
                                         {166, 1}, {167, 9},  {184, 1}, {168, 1}, {169, 3}, {170, 7}, {171, 2},
                                         {172, 5}, {173, 1},  {174, -64}, {6, 31}, {175, 1}, {176, 3}, {177, 1},
                                         {178, 3}, {179, 0},  {183, 1}, {185, 1}};
    board->WithModel([&](sim::BoardModel &m) {
      for (auto [number, code] : held) m.Drivers().Set(number, 0, code);
    });
    TFormQVR533 *w = Newer();
    // Each control of the group shows what the board holds, decoded by the map.
    auto checkGroup = [&](DriverGroup group) {
      for (const DriverField &f : GroupFields(TBoardKind::NewerDrivers, group, 1)) {
        if (f.Code == Coding::FastDecayHigh || f.Code == Coding::FastDecayLow) continue;
        QWidget *c = Ctl<QWidget>(w, f.Control);
        const int shown = qobject_cast<QComboBox *>(c) ? static_cast<QComboBox *>(c)->currentIndex()
                          : qobject_cast<QCheckBox *>(c) ? int(static_cast<QCheckBox *>(c)->isChecked())
                                                          : static_cast<TSpinEdit *>(c)->Value();
        QVERIFY2(shown == DecodeField(f, held.at(f.Param), TBoardKind::NewerDrivers), f.Control);
      }
    };
    board->ClearReceivedFrames();
    s.Click("BtnQVR533");
    QVERIFY(w->isVisible() && w->IsShown);
    const QStringList drvConf = {"P175/0", "P176/0", "P177/0", "P178/0", "P179/0", "P183/0", "P185/0"};
    QCOMPARE(SequenceFrom(board, "P175/0", 10), (drvConf + QStringList{"P160/0", "P161/0", "P140/0"}));
    checkGroup(DriverGroup::DrvConf);
    checkGroup(DriverGroup::DrvCtrl);
    // INTPOL read as 1 and MRES as 8: "256", not to be changed while interpolating.
    QCOMPARE(Ctl<QComboBox>(w, "CbDrvCtrlMRes")->currentText(), QStringLiteral("256"));
    QVERIFY(!Ctl<QComboBox>(w, "CbDrvCtrlMRes")->isEnabled());
    ShowPage(w, "TabChopConf");
    checkGroup(DriverGroup::ChopConf);  // constant off-time mode, as read
    QVERIFY(Ctl<QCheckBox>(w, "CheckChopConfFDMode")->isChecked() && Ctl<QCheckBox>(w, "CheckChopConfFDMode")->isEnabled());
    QCOMPARE(Ctl<QComboBox>(w, "CbChopConfFastDecayTime")->currentIndex(), 9);
    QVERIFY(!Ctl<TSpinEdit>(w, "EditChopConfHEnd")->isEnabled());
    ShowPage(w, "TabThriftLv");
    checkGroup(DriverGroup::ThriftLv);
    QCOMPARE(w->Graph.TLIMin, 1);
    QCOMPARE(w->Graph.TLMax, 7);
    QCOMPARE(w->Graph.TLMin, 5);
    ShowPage(w, "TabLdsConf");
    checkGroup(DriverGroup::LdcsConf);
    QCOMPARE(Text(w, "StaticCurrentPeak"), QStringLiteral("4.559"));  // 0.31 V, 0.068 ohms, CS 31
    QCOMPARE(Text(w, "StaticCurrentRMS"), QStringLiteral("3.224"));
    board->ClearReceivedFrames();
    ShowPage(w, "TabDrvStatus");  // its values come from the poll cycle alone
    QTRY_VERIFY(Requests(board).size() > 20);
    QVERIFY(Sets(board).isEmpty() && !DriverRequests(board).contains("P175/0"));
    // A resistance that is no positive number leaves nothing to show.
    for (const char *bad : {"0", "abc"}) {
      Ctl<TFloatSpinEdit>(w, "EditRSense")->SetText(QLatin1String(bad));
      QCOMPARE(Text(w, "StaticCurrentRMS"), QString());
      QCOMPARE(Text(w, "StaticCurrentPeak"), QString());
    }
    Ctl<TFloatSpinEdit>(w, "EditRSense")->SetValue(0.068);
    board->WithModel([](sim::BoardModel &m) { m = sim::BoardModel(1); });
  }

  // The status word, LD and TL of the selected motor follow it; the graph gets a sample per LD.
  void liveStatusAndMotorChoice() {
    TFormQVR533 *w = Newer();
    s.Click("BtnQVR533");
    board->WithModel([](sim::BoardModel &m) {
      m.Drivers().SetForcedFlags(1, sim::DriverModel::OvertemperatureWarning);
      m.Controller().WriteRegister(1, sim::ControllerModel::RefConfRampMode, sim::ControllerModel::Hold);
      m.Controller().WriteRegister(1, sim::ControllerModel::VMax, 1500);
      m.Controller().WriteRegister(1, sim::ControllerModel::VActual, 1500);
    });
    QTRY_COMPARE(Ctl<TLedLittle>(w, "LedDrvStatusSTST")->LedColor(), lcCyan);  // motor 1 stands
    QCOMPARE(Ctl<TLedLittle>(w, "LedDrvStatusOTPW")->LedColor(), lcDarkCyan);
    QCOMPARE(Text(w, "StaticDrvStatusLD"), QStringLiteral("0"));

    board->ClearReceivedFrames();
    SelectMotor(1);
    QCOMPARE(Ctl<TFloatSpinEdit>(w, "EditRSense")->Value(), 0.15);
    QCOMPARE(w->History.Count(), 0);
    QCOMPARE(SequenceFrom(board, "P160/1", 3), (QStringList{"P160/1", "P161/1", "P140/1"}));  // the shown page, motor 2
    QTRY_COMPARE(Ctl<TLedLittle>(w, "LedDrvStatusOTPW")->LedColor(), lcCyan);
    QTRY_COMPARE(Ctl<TLedLittle>(w, "LedDrvStatusSTST")->LedColor(), lcDarkCyan);
    QTRY_VERIFY(Text(w, "StaticDrvStatusLD").toInt() > 100);
    QTRY_VERIFY(w->History.Count() > 5);
    QVERIFY(Text(w, "StaticDrvStatusTL").toInt() < 16);  // the running motor's thrift level is below CS
    QVERIFY(Requests(board).contains("P182/1"));          // the selected motor's rows follow the choice
    QVERIFY(!s.Access().Entry(PollRow::NewerDriverPairs).Handler && s.Access().Entry(PollRow::NewerDriverPairs + 2).Handler);

    board->ClearReceivedFrames();
    SelectMotor(1);  // the motor already chosen: nothing is sent, the graph stays
    const int count = w->History.Count();
    QVERIFY(DriverRequests(board).filter(QRegularExpression("^P1[46]")).isEmpty());
    QVERIFY(w->History.Count() >= count);

    QTest::mouseClick(Ctl<QPushButton>(w, "BtnDrvStatusReset"), Qt::LeftButton);
    QVERIFY(w->StatusResetRequest);
    QCOMPARE(Ctl<TLedLittle>(w, "LedDrvStatusOTPW")->LedColor(), lcBlack);
    QVERIFY(w->History.Count() <= 1);
    QTRY_COMPARE(Ctl<TLedLittle>(w, "LedDrvStatusOTPW")->LedColor(), lcCyan);  // read afresh

    QTest::mouseClick(Ctl<QLabel>(w, "ImgTrimDrive"), Qt::LeftButton);
    auto *info = w->findChild<QDialog *>(QStringLiteral("FormTrimDriveInfo"));
    QVERIFY(info && info->isVisible());
    QVERIFY(info->findChild<QTextBrowser *>()->toPlainText().contains(QStringLiteral("TLMIN")));
    info->close();

    board->WithModel([](sim::BoardModel &m) { m = sim::BoardModel(1); });
    SelectMotor(0);
    s.Close();  // closing the connection closes the window
    QVERIFY(!w->isVisible() && !w->IsShown);
  }

  void missingReplyStopsTheCommand_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("requests");  // the command's own requests
    QTest::newRow("set THRIFTLV") << "BtnThriftLvSet" << "^S";
    QTest::newRow("read CHOPCONF") << "TabChopConf" << "^P(16[2-7]|184)/";
  }
  // A reply lost in the middle: nothing further is sent, one message, polling resumes.
  void missingReplyStopsTheCommand() {
    QFETCH(QString, command);
    QFETCH(QString, requests);
    const QRegularExpression own(requests);
    board->SetReplyDelay(100);
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
      if (DriverRequests(board).filter(own).size() >= 2) board->SetSilent(true);  // the third goes unanswered
    });
    watch.start(2);
    board->ClearReceivedFrames();
    if (command.startsWith(u'B')) QTest::mouseClick(Ctl<QPushButton>(Newer(), qPrintable(command)), Qt::LeftButton);
    else ShowPage(Newer(), qPrintable(command));
    watch.stop();
    QCOMPARE(DriverRequests(board).filter(own).size(), 3);
    QCOMPARE(s.Errors, QStringList{"The board does not respond!"});
    s.Errors.clear();
    board->SetSilent(false);
    board->SetReplyDelay(0);
    const qsizetype sent = Requests(board).size();
    QTRY_VERIFY_WITH_TIMEOUT(Requests(board).size() > sent + 20, 6000);
    QCOMPARE(DriverRequests(board).filter(own).size(), 3);
  }

  // The QVR550 window addresses motor index 2 alone; the poll rows 81..88 feed it.
  void qvr550Window() {
    TFormQVR550 *w = Qvr550();
    ShowPage(w, "TabLdsConf", false);
    board->ClearReceivedFrames();
    s.Click("BtnQVR550");
    const QStringList drvConf = {"P175/2", "P176/2", "P177/2", "P178/2", "P179/2", "P183/2"};
    QCOMPARE(SequenceFrom(board, "P175/2", 10), (drvConf + QStringList{"P173/2", "P174/2", "P189/2", "P6/2"}));
    QCOMPARE(Text(w, "StaticCurrentPeak"), QStringLiteral("1.098"));  // 0.31 V, 0.15 ohms, CS 16

    SetItem(w, "CbChopConfTbl", 1);
    SetSpin(w, "EditChopConfTOff", 5);
    SetItem(w, "CbChopConfCSync", 1);
    SetItem(w, "CbChopConfCDir", 1);
    SetChecked(w, "CheckChopConfNoSlowDecay", true);
    SetSpin(w, "EditChopConfHyst", 63);
    SetChecked(w, "CheckLDSConfSSpd", true);
    board->ClearReceivedFrames();
    QTest::mouseClick(Ctl<QPushButton>(w, "BtnChopConfSet"), Qt::LeftButton);
    QTest::mouseClick(Ctl<QPushButton>(w, "BtnLDSConfSet"), Qt::LeftButton);
    QTest::mouseClick(Ctl<QPushButton>(w, "BtnDrvConfSet"), Qt::LeftButton);
    QCOMPARE(Sets(board), (QStringList{"S162/2=1", "S167/2=5", "S184/2=0", "S185/2=1", "S186/2=1", "S187/2=1", "S188/2=63",
                                       "S173/2=0", "S174/2=0", "S189/2=1", "S6/2=16",
                                       "S175/2=2", "S176/2=2", "S177/2=0", "S178/2=0", "S179/2=0", "S183/2=0"}));
    board->ClearReceivedFrames();
    ShowPage(w, "TabSpecial");
    SetSpin(w, "EditStopOnStallSpeed", 2047);
    QTest::mouseClick(Ctl<QPushButton>(w, "Button1"), Qt::LeftButton);
    QTRY_VERIFY(Requests(board).size() > 10);
    QCOMPARE(Sets(board), QStringList{"S181/2=2047"});
    QCOMPARE(DriverRequests(board).filter(QRegularExpression("/2(=|$)")), QStringList{"S181/2=2047"});

    // Status bit 4 is not the QVR550's: no indicator; its one driver turns the first motor.
    board->WithModel([](sim::BoardModel &m) {
      m.Drivers().SetForcedFlags(0, 0x10 | sim::DriverModel::OvertemperatureWarning);
      m.Controller().WriteRegister(0, sim::ControllerModel::RefConfRampMode, sim::ControllerModel::Hold);
      m.Controller().WriteRegister(0, sim::ControllerModel::VMax, 1000);
      m.Controller().WriteRegister(0, sim::ControllerModel::VActual, 1000);
    });
    QTRY_COMPARE(Ctl<TLedLittle>(w, "LedDrvStatusOTPW")->LedColor(), lcCyan);
    for (const char *led : {"LedDrvStatusS2GA", "LedDrvStatusOLA", "LedDrvStatusSTST"})
      QCOMPARE(Ctl<TLedLittle>(w, led)->LedColor(), lcDarkCyan);
    QTRY_VERIFY(w->History.Count() > 5 && Text(w, "StaticDrvStatusLD").toInt() > 0);
    board->WithModel([](sim::BoardModel &m) { m = sim::BoardModel(3); });
  }
};

QTEST_MAIN(TestDriverWindows)
#include "tst_driverwindows.moc"
