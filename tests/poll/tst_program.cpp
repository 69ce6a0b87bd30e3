// The program as a whole: closing the main window ends it whichever tool windows are open, and
// everything made at start-up goes with it.
#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <QtTest>
#include "Ev710Advanced.h"
#include "Ev710App.h"
#include "Ev710Main.h"
#include "Ev710Registers.h"
#include "FakeBoard.h"
#include "SpinEdit.h"

namespace {
// A control's mnemonic (Alt + its underlined letter) and the stacked pages (tab pages) it lies
// on: controls on different pages of one stack are never shown together.
struct Mnemonic {
  QKeySequence Key;
  QString Control;
  QList<QPair<const QWidget *, const QWidget *>> Pages;  // stack, page
};

QList<QPair<const QWidget *, const QWidget *>> PagesOf(const QWidget *w) {
  QList<QPair<const QWidget *, const QWidget *>> pages;
  for (; !w->isWindow(); w = w->parentWidget())
    if (auto *stack = qobject_cast<const QStackedWidget *>(w->parentWidget())) pages.append({stack, w});
  return pages;
}

bool ShownTogether(const Mnemonic &a, const Mnemonic &b) {
  for (const auto &[stack, page] : a.Pages)
    for (const auto &[otherStack, otherPage] : b.Pages)
      if (stack == otherStack && page != otherPage) return false;
  return true;
}

// The mnemonics of a window's buttons, check boxes, labels with a buddy, group boxes and tabs.
QList<Mnemonic> MnemonicsOf(const QWidget *window) {
  QList<Mnemonic> found;
  const auto add = [&](const QWidget *control, const QString &text) {
    const QKeySequence key = QKeySequence::mnemonic(text);
    if (!key.isEmpty()) found.append({key, control->objectName() + QStringLiteral(" \"") + text + u'"', PagesOf(control)});
  };
  for (const QWidget *c : window->findChildren<QWidget *>()) {
    if (c->window() != window) continue;
    if (auto *button = qobject_cast<const QAbstractButton *>(c)) add(c, button->text());
    if (auto *label = qobject_cast<const QLabel *>(c); label && label->buddy()) add(c, label->text());
    if (auto *group = qobject_cast<const QGroupBox *>(c)) add(c, group->title());
    if (auto *tabs = qobject_cast<const QTabWidget *>(c))
      for (int i = 0; i < tabs->count(); ++i) add(c, tabs->tabText(i));
  }
  return found;
}
}  // namespace

class TestProgram : public QObject {
  Q_OBJECT
private slots:
  // Within one window, no two controls shown together answer the same Alt key: Alt+O once
  // opened the port and, pressed again, started all motors.
  void noMnemonicIsSharedWithinAWindow() {
    SetUpApplication(*qApp);
    TFormMain *main = CreateWindows();
    QList<QWidget *> windows = {main};
    for (QWidget *w : main->findChildren<QWidget *>())
      if (w->isWindow()) windows.append(w);
    QStringList clashes;
    int mnemonics = 0;
    for (const QWidget *window : windows) {
      const QList<Mnemonic> found = MnemonicsOf(window);
      mnemonics += int(found.size());
      for (qsizetype i = 0; i < found.size(); ++i)
        for (qsizetype j = i + 1; j < found.size(); ++j)
          if (found[i].Key == found[j].Key && ShownTogether(found[i], found[j]))
            clashes << window->objectName() + u':' + found[i].Control + QStringLiteral(" and ") + found[j].Control;
    }
    QVERIFY(mnemonics > 20);  // the controls were found at all
    QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join(u'\n')));
    DestroyWindows();
  }

  // A tool window needs nothing but the board access: the register editor, made with a
  // recording fake, joins the poll table, sets the flags the cycle consults and sends through it.
  void aToolWindowNeedsOnlyTheBoardAccess() {
    FakeBoard board;
    TFormAdvanced editor(board);
    QVERIFY(board.Entry(PollRow::MotorRegister(0, ctl::X_TARGET)).ShowEditor);
    QVERIFY(board.Entry(PollRow::MotorRegister(2, ctl::P_MUL_P_DIV)).Handler);
    editor.show();
    QVERIFY(board.Views().EditorShown);
    QCOMPARE(board.Entry(PollRow::MotorRegister(0, ctl::USTEP_710)).PageFilter, 0);
    editor.findChild<TSpinEdit *>(QStringLiteral("EditXTarg1"))->SetValue(1500);
    QTest::mouseClick(editor.findChild<QPushButton *>(QStringLiteral("BtnSendMot1")), Qt::LeftButton);
    QCOMPARE(board.Sent, QStringList{QStringLiteral("T 00 0005DC")});
    QCOMPARE(board.Pauses, 1);
    QCOMPARE(board.Resumes, 1);
    editor.close();
    QVERIFY(!board.Views().EditorShown);
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
