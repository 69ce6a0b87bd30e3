// Replies that do not fit the request are never shown: a corrupted reply, a reply sent twice or
// late, and junk on the line, against the main window and the register editor. Every value on
// screen is one the board holds, and the cycle is back in step within a cycle.
#include <QTabWidget>
#include <QTimer>
#include <array>
#include "MainSession.h"

class TestLineFaults : public QObject {
  Q_OBJECT
  MainSession s;
  sim::SimulatedBoard *board = nullptr;
  QWidget *editor = nullptr;

  // The values shown for motor 1 that the board holds still: X_ACTUAL 100, X_TARGET 555.
  std::array<QLabel *, 3> Labels{};
  QStringList Shown() const { return {Labels[0]->text(), Labels[1]->text(), Labels[2]->text()}; }
  static QStringList Held() { return {"100", "100", "555"}; }

private slots:
  void initTestCase() {
    s.Start();
    board = MainSession::Board("SIM1");
    for (QWidget *w : QApplication::topLevelWidgets())
      if (w->inherits("TFormAdvanced")) editor = w;
    QVERIFY(editor);
    Labels = {s.Child<QLabel>("StaticXAct1"), editor->findChild<QLabel *>(QStringLiteral("StaticXAct1")),
              editor->findChild<QLabel *>(QStringLiteral("StaticXTarg1"))};
  }
  void cleanupTestCase() { s.Stop(); }

  void faultsNeverShow_data() {
    QTest::addColumn<int>("fault");  // a sim::ReplyFault
    QTest::addColumn<QString>("request");
    QTest::addColumn<int>("ms");
    QTest::newRow("wrong checksum") << int(sim::ReplyFault::WrongChecksum) << "R03" << 0;
    QTest::newRow("reply twice") << int(sim::ReplyFault::Twice) << "R01" << 50;
    QTest::newRow("reply late") << int(sim::ReplyFault::Late) << "R03" << 2500;
    QTest::newRow("junk bytes") << int(sim::ReplyFault::JunkFirst) << "R03" << 0;
  }
  void faultsNeverShow() {
    QFETCH(int, fault);
    QFETCH(QString, request);
    QFETCH(int, ms);
    s.OpenFresh("SIM1");
    board->WithModel([](sim::BoardModel &m) {  // VELOCITY at V_TARGET 0: stands at 100, target 555
      m.Controller().WriteRegister(0, sim::ControllerModel::RefConfRampMode, sim::ControllerModel::Velocity);
      m.Controller().WriteRegister(0, sim::ControllerModel::VTarget, 0);
      m.Controller().WriteRegister(0, sim::ControllerModel::XTarget, 555);
      m.Controller().WriteRegister(0, sim::ControllerModel::XActual, 100);
    });
    editor->show();
    editor->findChild<QTabWidget *>()->setCurrentIndex(0);
    QTRY_COMPARE(Shown(), Held());

    // Watch every value shown from the fault on.
    QStringList wrong;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
      if (Shown() != Held()) wrong << Shown().join(u'/');
    });
    watch.start(1);
    board->FaultReplyTo(Matching(request), sim::ReplyFault(fault), ms);
    // A spoiled reply is always seen and counted; a copy or a late one may also fall into a
    // quiet-line wait that drops it unseen.
    const bool counted = fault == int(sim::ReplyFault::WrongChecksum) || fault == int(sim::ReplyFault::JunkFirst);
    if (counted) QTRY_VERIFY_WITH_TIMEOUT(s.Text("StaticInfo1").contains(QLatin1String("bad reply")), 10000);
    QTest::qWait(ms + 500);
    // A copy of a reply can be taken once for another datagram's answer before the next one
    // shows the line out of step; it never stays, and never reaches a field of another command.
    if (fault != int(sim::ReplyFault::Twice)) QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u' ')));
    wrong.clear();
    QTest::qWait(500);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u' ')));
    QCOMPARE(Shown(), Held());
    editor->hide();
    s.CloseChecked();
  }
};

QTEST_MAIN(TestLineFaults)
#include "tst_linefaults.moc"
