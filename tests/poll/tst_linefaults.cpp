// Replies that do not fit the request are never shown: a corrupted reply, a reply sent twice or
// late, and junk on the line, against the main window and the register editor. Every value on
// screen is one the board holds, and the cycle is back in step within a cycle.
#include <QTabWidget>
#include <QTimer>
#include "MainSession.h"

class TestLineFaults : public QObject {
  Q_OBJECT
  MainSession s;
  sim::SimulatedBoard *board = nullptr;
  QWidget *editor = nullptr;

  // The values shown for motor 1 that the board holds still: X_ACTUAL 100, X_TARGET 555.
  QStringList Shown() const {
    auto text = [](QWidget *w, const char *name) { return w->findChild<QLabel *>(QLatin1String(name))->text(); };
    return {text(s.Main, "StaticXAct1"), text(editor, "StaticXAct1"), text(editor, "StaticXTarg1")};
  }
  static QStringList Held() { return {"100", "100", "555"}; }

private slots:
  void initTestCase() {
    s.Start();
    board = MainSession::Board("SIM1");
    for (QWidget *w : QApplication::topLevelWidgets())
      if (w->inherits("TFormAdvanced")) editor = w;
    QVERIFY(editor);
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
    board->WithModel([](sim::BoardModel &m) {
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
    QTRY_VERIFY_WITH_TIMEOUT(s.Text("StaticInfo1").contains(QLatin1String("bad repl")), 5000);
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
