// The main window's face: controls with their captions and hints, the state after creation,
// the ramp-mode enable table, the mnemonics and the edit ranges. Controls are found by name.
#include <QtTest>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include "Ev710Guard.h"
#include "Ev710Main.h"
#include "Hint95.h"
#include "LedLittle.h"
#include "SpinEdit.h"

namespace {
template <class T = QWidget>
T *Child(QWidget &w, const QString &name) {
  T *child = w.findChild<T *>(name);
  if (!child) qFatal("no control %s", qPrintable(name));
  return child;
}

// The edits of one motor in the order of the enable table below, with their labels.
const char *const EditNames[] = {"EditAMax", "EditVMax", "EditVMin", "EditXTarget", "EditVTarget", "EditVActual"};
QString LabelOf(const QString &edit, int motor) {
  if (edit == QLatin1String("EditVActual"))  // the names as the window has always had them
    return motor == 2 ? QStringLiteral("LblEVAct2") : QStringLiteral("LblEVact%1").arg(motor);
  return QStringLiteral("Lbl") + edit.mid(4) + QString::number(motor);
}
}  // namespace

class TestMainFace : public QObject {
  Q_OBJECT
private slots:
  void initTestCase() { SetGuardErrorSink([this](const QString &text) { Errors << text; }); }
  void cleanupTestCase() { SetGuardErrorSink({}); }

  void captionsAndHints_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("value");
    auto row = [](const QString &name, const char *property, const QString &value) {
      QTest::addRow("%s.%s", qPrintable(name), property) << name << QString::fromLatin1(property) << value;
    };
    row("GrpCOM", "title", " Interface ");
    row("ComboCOM", "toolTip", "Select the serial port to which the evaluation board is connected.");
    row("BtnOpen", "text", "&Open");
    row("BtnClose", "text", "&Close");
    row("GrpMore", "title", " Advanced ");
    row("BtnCmd705", "text", "QVR&710 Registers...");
    row("BtnCmd705", "toolTip", "Click here to open the advanced register window.");
    row("BtnGraphics", "text", "QVR710 &Graphics...");
    row("BtnGraphics", "toolTip", "Click here to open the graphics window.");
    row("BtnBoard", "text", "Board Settings...");
    row("BtnLogging", "text", "Logging...");
    row("BtnQVR533", "text", "QVR&53x trimDrive...");
    row("BtnQVR730", "text", "QVR730 Encoder...");
    row("BtnQVR515", "text", "QVR51x loadProbe...");
    row("BtnQVR550", "text", "QVR550 Registers...");
    row("GrpStatus", "title", " QVR710 Status Bits ");
    row("GrpStatus", "toolTip", "The QVR705 status bits are being displayed here.");
    row("LblXReached1", "text", "X_ACTUAL1 = X_TARGET1");
    row("LblReference2", "text", "REFERENCE_SWITCH_2");
    row("LblXReached3", "text", "X_ACTUAL3 = X_TARGET3");
    row("LblCoverWaiting", "text", "COVER_WAITING");
    row("LblInterrupt", "text", "INTERRUPT");
    for (int m = 1; m <= 3; ++m) {
      const QString n = QString::number(m);
      row("GrpMot" + n, "title", " Motor " + n + " ");
      row("BtnStop" + n, "text", "Stop");
      row("BtnStop" + n, "toolTip", "Click this button to stop motor " + n + ".");
      row("BtnGo" + n, "text", "Go");
      row("BtnGo" + n, "toolTip", "Click this button to run motor " + n + " using the parameters specified above.");
      row("CbRampMode" + n, "toolTip", "");
    }
    row("LblXTarget1", "text", "Target Position:");
    row("LblVTarget2", "text", "Target Velocity:");
    row("LblVMin3", "text", "Vmin:");
    row("LblVMax1", "text", "Vmax:");
    row("LblAMax2", "text", "Max. Accel.:");
    row("LblEVact1", "text", "Actual Velocity:");
    row("LblEVAct2", "text", "Actual Velocity:");
    row("LblEVact3", "text", "Actual Velocity:");
    row("LblRampMode3", "text", "Ramp Mode:");
    row("LblStaticXAct1", "text", "Actual Position:");
    row("LblStaticVAct2", "text", "Actual Velocity:");
    row("LblStaticAAct3", "text", "Actual Accel.:");
    row("LblStaticVTarget1", "text", "Target Velocity:");
    row("GrpAll", "title", " All Motors ");
    row("BtnStopAll", "text", "All &Stop");
    row("BtnStopAll", "toolTip", "Click this button to stop all motors.\nEsc does the same in every window of the program.");
    row("BtnGoAll", "text", "&All Go");
    row("BtnGoAll", "toolTip", "Click this button to run all motors using the parameters specified above.");
  }

  void captionsAndHints() {
    QFETCH(QString, name);
    QFETCH(QString, property);
    QFETCH(QString, value);
    TFormMain w;
    QCOMPARE(Child(w, name)->property(property.toLatin1()).toString(), value);
  }

  void controlKinds() {
    TFormMain w;
    for (int m = 1; m <= 3; ++m) {
      for (const char *edit : EditNames) {
        const QString name = QString::fromLatin1(edit) + QString::number(m);
        QVERIFY2(qobject_cast<TSpinEdit *>(Child(w, name)), qPrintable(name));
        QCOMPARE(Child<QLabel>(w, LabelOf(edit, m))->buddy(), Child(w, name));
      }
      auto *ramp = Child<QComboBox>(w, QStringLiteral("CbRampMode%1").arg(m));
      QCOMPARE(ramp->count(), 4);
      const QStringList modes = {"RAMP", "SOFTMODE", "VELOCITY", "HOLD"};
      for (int i = 0; i < 4; ++i) QCOMPARE(ramp->itemText(i), modes[i]);
      QVERIFY(!ramp->isEditable());
      for (const char *value : {"StaticXAct", "StaticVAct", "StaticAAct", "StaticVTarget"}) {
        auto *field = Child<QLabel>(w, QString::fromLatin1(value) + QString::number(m));
        QCOMPARE(field->frameShadow(), QFrame::Sunken);
      }
    }
    auto *status = Child<QGroupBox>(w, "GrpStatus");
    for (const char *led : {"LedXReached1", "LedReference1", "LedXReached2", "LedReference2", "LedXReached3",
                            "LedReference3", "LedCoverWaiting", "LedInterrupt"}) {
      auto *lamp = qobject_cast<TLedLittle *>(Child(w, led));
      QVERIFY2(lamp && status->isAncestorOf(lamp), led);
      QCOMPARE(lamp->LedColor(), lcDarkGray);  // nothing known before a board answers
    }
    for (const char *info : {"StaticInfo1", "StaticInfo2"})
      QVERIFY(Child<QGroupBox>(w, "GrpCOM")->isAncestorOf(Child<QLabel>(w, info)));
    auto *hint = w.findChild<THint95 *>();
    QVERIFY(hint);
    QCOMPARE(hint->MaxWidth(), 200);
  }

  void initialState() {
    TFormMain w;
    QCOMPARE(w.windowTitle(), QStringLiteral("QVR710+QVR5xx-EVAL V1.09"));
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
    QCOMPARE(Child<QLabel>(w, "StaticInfo1")->text(), QStringLiteral("No port opened."));
    QCOMPARE(Child<QLabel>(w, "StaticInfo2")->text(), QStringLiteral("Select a port, then click \"Open\"."));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.minimumSize(), w.size());
    QCOMPARE(w.maximumSize(), w.size());

    for (const char *on : {"BtnOpen", "ComboCOM"}) QVERIFY2(Child(w, on)->isEnabled(), on);
    for (const char *off : {"BtnClose", "BtnCmd705", "BtnStop1", "BtnStop2", "BtnStop3", "BtnGo1", "BtnGo2",
                            "BtnGo3", "BtnStopAll", "BtnGoAll", "BtnGraphics", "BtnQVR533", "BtnBoard", "BtnQVR730",
                            "BtnLogging", "BtnQVR515", "BtnQVR550"})
      QVERIFY2(!Child(w, off)->isEnabled(), off);
    for (const char *hidden : {"BtnQVR515", "BtnQVR550"}) QVERIFY2(!Child(w, hidden)->isVisible(), hidden);
    // The two hidden buttons take BtnQVR533's place when the board asks for them.
    QCOMPARE(Child(w, "BtnQVR515")->geometry(), Child(w, "BtnQVR533")->geometry());
    QCOMPARE(Child(w, "BtnQVR550")->geometry(), Child(w, "BtnQVR533")->geometry());
    // Every status text the connection shows fits into its field.
    for (const QString &text : {QStringLiteral("QVR710+QVR53x-EVAL board detected!"),
                                QStringLiteral("Please check the cable and the power."),
                                QStringLiteral("Select a port, then click \"Open\".")}) {
      auto *field = Child<QLabel>(w, "StaticInfo2");
      QVERIFY2(field->contentsRect().width() - field->indent() >= field->fontMetrics().horizontalAdvance(text),
               qPrintable(text));
    }
  }

  // Which edits (and labels) each ramp mode enables, for every motor, including no selection.
  void rampModes_data() {
    QTest::addColumn<int>("motor");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("enabled");  // one letter per edit in EditNames: AMax VMax VMin XTarget VTarget VActual
    for (int m = 1; m <= 3; ++m) {
      QTest::addRow("motor %d RAMP", m) << m << 0 << "1111 00";
      QTest::addRow("motor %d SOFTMODE", m) << m << 1 << "1111 00";
      QTest::addRow("motor %d VELOCITY", m) << m << 2 << "1000 10";
      QTest::addRow("motor %d HOLD", m) << m << 3 << "0000 01";
      QTest::addRow("motor %d none", m) << m << -1 << "0000 00";
    }
  }

  void rampModes() {
    QFETCH(int, motor);
    QFETCH(int, mode);
    QFETCH(QString, enabled);
    enabled.remove(u' ');
    TFormMain w;
    auto *ramp = Child<QComboBox>(w, QStringLiteral("CbRampMode%1").arg(motor));
    QCOMPARE(ramp->currentIndex(), 0);
    ramp->setCurrentIndex(3 - qMax(mode, 0));  // come from another mode first
    ramp->setCurrentIndex(mode);
    for (int i = 0; i < 6; ++i) {
      const QString edit = QString::fromLatin1(EditNames[i]);
      const bool on = enabled[i] == u'1';
      QCOMPARE(Child(w, edit + QString::number(motor))->isEnabled(), on);
      QCOMPARE(Child(w, LabelOf(edit, motor))->isEnabled(), on);
    }
    // The other motors keep their RAMP set-up.
    for (int other = 1; other <= 3; ++other)
      if (other != motor) {
        QVERIFY(Child(w, QStringLiteral("EditXTarget%1").arg(other))->isEnabled());
        QVERIFY(!Child(w, QStringLiteral("EditVActual%1").arg(other))->isEnabled());
      }
  }

  void rampModeByKeyboard() {
    TFormMain w;
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto *ramp = Child<QComboBox>(w, "CbRampMode2");
    ramp->setFocus();
    QTest::keyClick(ramp, Qt::Key_End);
    QCOMPARE(ramp->currentText(), QStringLiteral("HOLD"));
    QVERIFY(Child(w, "EditVActual2")->isEnabled());
    QVERIFY(!Child(w, "LblAMax2")->isEnabled());
    QTest::keyClick(ramp, Qt::Key_Up);
    QCOMPARE(ramp->currentText(), QStringLiteral("VELOCITY"));
    QVERIFY(Child(w, "EditVTarget2")->isEnabled());
    QVERIFY(Child(w, "LblAMax2")->isEnabled());
    QVERIFY(!Child(w, "LblEVAct2")->isEnabled());
  }

  // Alt + the underlined letter presses an enabled button, and only an enabled one.
  void mnemonics() {
    TFormMain w;
    auto *combo = Child<QComboBox>(w, "ComboCOM");
    combo->addItem(QStringLiteral("NOPORT"));  // a port that cannot exist
    combo->setCurrentIndex(combo->count() - 1);
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QSignalSpy open(Child<QPushButton>(w, "BtnOpen"), &QPushButton::clicked);
    QSignalSpy close(Child<QPushButton>(w, "BtnClose"), &QPushButton::clicked);
    QSignalSpy goAll(Child<QPushButton>(w, "BtnGoAll"), &QPushButton::clicked);
    Errors.clear();
    QTest::keyClick(&w, Qt::Key_C, Qt::AltModifier);  // Close is disabled
    QTest::keyClick(&w, Qt::Key_O, Qt::AltModifier);
    QTRY_COMPARE(open.count(), 1);
    QCOMPARE(close.count(), 0);
    QCOMPARE(goAll.count(), 0);
    // The handler ran through the error guard.
    QCOMPARE(Errors.size(), 1);
    QVERIFY(Errors[0].startsWith(QStringLiteral("Could not open port NOPORT.\n\nNo such device")));
    QVERIFY(Child(w, "BtnOpen")->isEnabled());
  }

  void editRanges() {
    TFormMain w;
    struct Range {
      const char *edit;
      int min, max;
    };
    const Range ranges[] = {{"EditXTarget", -8388608, 8388607}, {"EditVTarget", -2048, 2047},
                            {"EditVMin", 0, 2047},              {"EditVMax", 0, 2047},
                            {"EditAMax", 0, 2047},              {"EditVActual", -2047, 2047}};
    for (int m = 1; m <= 3; ++m)
      for (const Range &r : ranges) {
        auto *edit = Child<TSpinEdit>(w, QString::fromLatin1(r.edit) + QString::number(m));
        // Motor 3's V_TARGET register takes -2047..2047.
        const int min = m == 3 && r.min == -2048 ? -2047 : r.min;
        QCOMPARE(edit->MinValue(), min);
        QCOMPARE(edit->MaxValue(), r.max);
        edit->SetValue(r.max + 1);
        QCOMPARE(edit->Value(), r.max);
        edit->SetValue(min - 1);
        QCOMPARE(edit->Value(), min);
      }
  }

private:
  QStringList Errors;
};

QTEST_MAIN(TestMainFace)
#include "tst_mainface.moc"
