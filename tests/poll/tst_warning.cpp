// The acceleration warning dialog: texts, window kind, answers through real clicks and keys,
// and the notify-once box that lasts between showings.
#include <QtTest>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include "Ev710Warn.h"

class TestWarning : public QObject {
  Q_OBJECT

  template <class T>
  static T *Child(QWidget &w, const char *name) {
    T *child = w.findChild<T *>(QString::fromLatin1(name));
    if (!child) qFatal("no child %s", name);
    return child;
  }

  // Opens the dialog like the caller does (exec) and performs `answer` once it is shown.
  static int ExecAndAnswer(TFormWarning &dlg, const std::function<void()> &answer) {
    QTimer::singleShot(0, &dlg, [&dlg, answer] {
      if (QTest::qWaitForWindowActive(&dlg)) answer();
      else dlg.done(-1);
    });
    return dlg.exec();
  }

private slots:
  void texts() {
    TFormWarning dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Warning"));
    QCOMPARE(Child<QLabel>(dlg, "LblText1")->text(),
             QStringLiteral("The \"Max. Accel.\" Parameter should not be less than "));
    QCOMPARE(Child<QLabel>(dlg, "LblText2")->text(), QStringLiteral("as else undesired oscillating effects can be caused."));
    QCOMPARE(Child<QLabel>(dlg, "LblText3")->text(), QStringLiteral("Do you wish to continue anyway?"));
    QCOMPARE(Child<QCheckBox>(dlg, "CheckNotify")->text(), QStringLiteral("Do not notify me again during this session."));
    QCOMPARE(Child<QPushButton>(dlg, "BtnCont")->text(), QStringLiteral("&Continue"));
    QCOMPARE(Child<QPushButton>(dlg, "BtnAbort")->text(), QStringLiteral("&Abort"));
    QVERIFY(!dlg.NotifyChecked());

    auto *panel = Child<QFrame>(dlg, "PnlText");
    QCOMPARE(panel->frameShadow(), QFrame::Sunken);
    for (const char *name : {"LblText1", "LblNumber", "LblText2", "LblText3"})
      QVERIFY2(panel->isAncestorOf(Child<QLabel>(dlg, name)), name);

    dlg.SetNumber(QStringLiteral("1024,"));
    QCOMPARE(dlg.Number(), QStringLiteral("1024,"));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    // The number follows the first line's text on the same line, fully readable.
    const QRect text1 = Child<QLabel>(dlg, "LblText1")->geometry();
    QLabel *number = Child<QLabel>(dlg, "LblNumber");
    QVERIFY(number->geometry().left() >= text1.right());
    QCOMPARE(number->geometry().center().y(), text1.center().y());
    QVERIFY(number->width() >= number->sizeHint().width());
  }

  void windowKind() {
    TFormWarning dlg;
    QVERIFY(dlg.isModal());
    const Qt::WindowFlags flags = dlg.windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    QVERIFY(flags & Qt::CustomizeWindowHint);
    QVERIFY(flags & Qt::WindowTitleHint);
    for (Qt::WindowType button : {Qt::WindowSystemMenuHint, Qt::WindowCloseButtonHint, Qt::WindowMinimizeButtonHint,
                                  Qt::WindowMaximizeButtonHint, Qt::WindowContextHelpButtonHint})
      QVERIFY(!(flags & button));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.minimumSize(), dlg.size());
    QCOMPARE(dlg.maximumSize(), dlg.size());
  }

  void answers() {
    TFormWarning dlg;
    QCOMPARE(ExecAndAnswer(dlg, [&] { QTest::mouseClick(Child<QPushButton>(dlg, "BtnCont"), Qt::LeftButton); }),
             int(QDialog::Accepted));
    QCOMPARE(ExecAndAnswer(dlg, [&] { QTest::mouseClick(Child<QPushButton>(dlg, "BtnAbort"), Qt::LeftButton); }),
             int(QDialog::Rejected));
    QCOMPARE(ExecAndAnswer(dlg, [&] { QTest::keyClick(&dlg, Qt::Key_C, Qt::AltModifier); }), int(QDialog::Accepted));
    QCOMPARE(ExecAndAnswer(dlg, [&] { QTest::keyClick(&dlg, Qt::Key_A, Qt::AltModifier); }), int(QDialog::Rejected));
    QCOMPARE(ExecAndAnswer(dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Escape); }), int(QDialog::Rejected));
  }

  // Ticking the box and aborting abandons this start only; the box stays ticked afterwards.
  void notifyLastsBetweenShowings() {
    TFormWarning dlg;
    auto *check = Child<QCheckBox>(dlg, "CheckNotify");
    QCOMPARE(ExecAndAnswer(dlg,
                           [&] {
                             QTest::mouseClick(check, Qt::LeftButton, {}, check->rect().center());
                             QTest::mouseClick(Child<QPushButton>(dlg, "BtnAbort"), Qt::LeftButton);
                           }),
             int(QDialog::Rejected));
    QVERIFY(dlg.NotifyChecked());
    QCOMPARE(ExecAndAnswer(dlg, [&] { QTest::mouseClick(Child<QPushButton>(dlg, "BtnCont"), Qt::LeftButton); }),
             int(QDialog::Accepted));
    QVERIFY(dlg.NotifyChecked());
    QVERIFY(check->isChecked());
  }
};

QTEST_MAIN(TestWarning)
#include "tst_warning.moc"
