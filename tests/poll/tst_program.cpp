// The program as a whole: closing the main window ends it whichever tool windows are open, and
// everything made at start-up goes with it.
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <QtTest>
#include "Ev710Advanced.h"
#include "Ev710App.h"
#include "Ev710Main.h"
#include "Ev710Registers.h"
#include "FakeBoard.h"
#include "SpinEdit.h"

class TestProgram : public QObject {
  Q_OBJECT
private slots:
  // A tool window needs nothing but the board access: the register editor, made with a
  // recording fake, joins the poll table, sets the flags the cycle consults and sends through it.
  void aToolWindowNeedsOnlyTheBoardAccess() {
    FakeBoard board;
    TFormAdvanced editor(board);
    QVERIFY(board.Entry(PollRow::MotorRegister(0, ctl::X_TARGET)).EditorControl);
    QVERIFY(board.Entry(PollRow::MotorRegister(2, ctl::P_MUL_P_DIV)).Handler);
    editor.show();
    QVERIFY(board.EditorShown());
    QCOMPARE(board.Entry(PollRow::MotorRegister(0, ctl::USTEP_710)).PageFilter, 0);
    editor.findChild<TSpinEdit *>(QStringLiteral("EditXTarg1"))->SetValue(1500);
    QTest::mouseClick(editor.findChild<QPushButton *>(QStringLiteral("BtnSendMot1")), Qt::LeftButton);
    QCOMPARE(board.Sent, QStringList{QStringLiteral("T 00 0005DC")});
    QCOMPARE(board.Pauses, 1);
    QCOMPARE(board.Resumes, 1);
    editor.close();
    QVERIFY(!board.EditorShown());
  }

  void closingTheMainWindowEndsTheProgram() {
    SetUpApplication(*qApp);
    TFormMain *main = CreateWindows();
    main->show();
    const TToolWindows &w = main->Windows;
    const QList<QWidget *> tools = {w.FormAdvanced, w.FormGraphics, w.FormQVR533, w.FormQVR730, w.FormBoard,
                                    w.FormBoard51x, w.FormQVR51x, w.FormQVR550, w.FormLogging};
    QVERIFY(!tools.contains(nullptr));
    for (QWidget *tool : tools) {
      QCOMPARE(tool->parent(), main);
      tool->show();
    }
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(windows.begin(), windows.end(), [](QWidget *x) { return x->isVisible(); }), tools.size() + 1);
    // The program's event loop ends when the main window closes (it would run on otherwise).
    QTimer::singleShot(0, main, [main] { main->close(); });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
    QCOMPARE(QApplication::exec(), 0);
    DestroyWindows();  // with the sanitizers on, a window left behind shows as a leak
  }
};

QTEST_MAIN(TestProgram)
#include "tst_program.moc"
