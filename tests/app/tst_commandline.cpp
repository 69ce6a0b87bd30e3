// The program's start and end: help, version and wrong options answered without a display, the
// port the command line preselects, the port list scanned again as it drops down, and a settings
// file that cannot be written reported at the end.
#include <QComboBox>
#include <QMessageBox>
#include <QProcess>
#include <QtTest>
#include "Ev710App.h"
#include "Ev710Guard.h"
#include "Ev710Main.h"
#include "PortSettings.h"

class TestCommandLine : public QObject {
  Q_OBJECT

private slots:
  // The real executable, with no display at all: nothing here may need one.
  void answersWithoutDisplay_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::newRow("help") << QStringList{"--help"} << 0 << "--port <name>";
    QTest::newRow("help in one voice") << QStringList{"--help"} << 0 << "-v, --version  Show the version.";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "qvr710-eval 1.0.9.0\n";
    QTest::newRow("unknown") << QStringList{"--bogus"} << 2 << "qvr710-eval: Unknown option 'bogus'.";
    QTest::newRow("no value") << QStringList{"--port"} << 2 << "Missing value after '--port'.";
    QTest::newRow("stray word") << QStringList{"SIM1"} << 2 << "Unexpected argument 'SIM1'.";
  }
  void answersWithoutDisplay() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QVR_EVAL_EXE), args);
    QVERIFY(process.waitForFinished(10000));
    const QString text = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    QVERIFY2(text.contains(output), qPrintable(text));
  }

  // The title bar of a message box holds its whole title beside the icon and buttons.
  void messageBoxTitleFits() {
    SetUpApplication(*qApp);
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), QStringLiteral("No."));
    box.show();
    QFont bold = box.font();
    bold.setBold(true);
    QVERIFY(box.width() > QFontMetrics(bold).horizontalAdvance(box.windowTitle()) + 4 * QFontMetrics(bold).height());
  }

  void portIsPreselected() {
    TStartOptions options;
    QCOMPARE(ParseCommandLine({"qvr710-eval", "--port", "/dev/ttyACM0"}, options), -1);
    QCOMPARE(options.Port, QString("ttyACM0"));
    QCOMPARE(ParseCommandLine({"qvr710-eval", "-platform", "offscreen", "--port=SIM2"}, options), -1);
    QCOMPARE(options.Port, QString("SIM2"));
    QCOMPARE(ParseCommandLine({"qvr710-eval", "--port", "sim3"}, options), -1);
    QCOMPARE(options.Port, QString("SIM3"));  // as the list shows it

    SetUpApplication(*qApp);
    TFormMain *main = CreateWindows();
    auto *combo = main->findChild<QComboBox *>(QStringLiteral("ComboCOM"));
    const int listed = combo->count();
    main->SelectPort(QStringLiteral("SIM2"));
    QCOMPARE(combo->currentText(), QString("SIM2  [Simulator]"));
    main->SelectPort(QStringLiteral("ttyQVRGONE"));  // not on this machine: added and selected
    QCOMPARE(combo->count(), listed + 1);
    QCOMPARE(combo->currentText(), QString("ttyQVRGONE"));

    // Dropping the list down scans again: the selected port stays while it is selected.
    combo->showPopup();
    combo->hidePopup();
    QCOMPARE(combo->currentText(), QString("ttyQVRGONE"));
    combo->setCurrentIndex(combo->findText(QStringLiteral("SIM3  [Simulator]")));
    combo->showPopup();
    combo->hidePopup();
    QCOMPARE(combo->count(), listed);
    QCOMPARE(combo->currentText(), QString("SIM3  [Simulator]"));
    DestroyWindows();
  }

  void unwritableSettingsAreReportedOnce() {
    QDir().mkpath(SettingsFilePath());  // a folder where the file should be
    QStringList errors;
    SetGuardErrorSink([&errors](const QString &text) { errors << text; });
    SetUpApplication(*qApp);
    CreateWindows()->close();
    DestroyWindows();
    SetGuardErrorSink({});
    QDir(SettingsFilePath()).removeRecursively();
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].startsWith("Cannot write the settings file " + SettingsFilePath()), qPrintable(errors[0]));
  }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
