// The main window's setup buttons against the simulated board SIM1: a file saved by either side
// opens in the other, the comparison shows what differs, Apply sends what the setup core plans,
// and a lost reply stops it with a message.
#include <QCheckBox>
#include <QProgressBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include "BoardSetup.h"
#include "DriverParameterMap.h"
#include "Ev710Registers.h"
#include "SetupCompare.h"
#include "SetupRequests.h"

using namespace setup;

class TestSetupWindow : public QObject {
  Q_OBJECT
  MainSession s;
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("saved.qvrsetup"));
  const QMap<QString, int> boardChanges = {{"V_MAX.1", 1500}, {"RAM_41", 0x5A}, {"LSMD", 2}};

  // SIM1 opened with its setup saved by the core, then changed on the board; the window's Load
  // of that file shows the comparison.
  TFormSetupCompare *LoadChangedBoard(BoardSetup *file) {
    s.OpenFresh("SIM1");
    *file = ReadSetup(s.Access());
    SaveSetupFile(path, *file);
    if (!WriteSetupValues(s.Access(), boardChanges).Complete) return nullptr;
    RunGuarded(s.Main, [this] { s.Main->LoadSetupFrom(path); });
    return s.Main->findChild<TFormSetupCompare *>();
  }

private slots:
  void initTestCase() {
    QVERIFY(dir.isValid());
    s.Start();
  }
  void cleanupTestCase() { s.Stop(); }
  void cleanup() { qDeleteAll(s.Main->findChildren<TFormSetupCompare *>()); }

  // Enabled only with an identified board; what the window saves is what the core reads.
  void windowSavesWhatTheCoreReads() {
    QVERIFY(!s.Button("BtnSaveSetup")->isEnabled() && !s.Button("BtnLoadSetup")->isEnabled());
    s.OpenFresh("SIM1");
    QVERIFY(s.Button("BtnSaveSetup")->isEnabled() && s.Button("BtnLoadSetup")->isEnabled());
    RunGuarded(s.Main, [this] { s.Main->SaveSetupTo(path); });
    QCOMPARE(LoadSetupFile(path, TBoardKind::NewerDrivers), ReadSetup(s.Access()));
    s.CloseChecked();
    QVERIFY(!s.Button("BtnSaveSetup")->isEnabled());
  }

  void comparisonMarksTheChangedRows() {
    BoardSetup file;
    QPointer<TFormSetupCompare> compare = LoadChangedBoard(&file);
    QVERIFY(compare && compare->isVisible());
    const int items = int(ItemsOf(file).size());
    QCOMPARE(compare->findChild<QLabel *>("LblCount")->text(), QStringLiteral("3 of %1 values differ").arg(items));
    auto *table = compare->findChild<QTableWidget *>("TableValues");
    QCOMPARE(table->rowCount(), items);
    QStringList marked;
    for (int r = 0; r < table->rowCount(); ++r)
      if (table->item(r, 0)->data(Qt::UserRole).toBool())
        marked << QStringList{table->item(r, 0)->text(), table->item(r, 1)->text(), table->item(r, 2)->text()}.join(u' ');
    QCOMPARE(marked, QStringList({QStringLiteral("V_MAX.1 1500 %1").arg(file.Values["V_MAX.1"]),
                                  QStringLiteral("LSMD 2 %1").arg(file.Values["LSMD"]),
                                  QStringLiteral("RAM_41 5A %1").arg(file.Values["RAM_41"], 2, 16, QLatin1Char('0')).toUpper()}));
    compare->findChild<QCheckBox *>("CheckDiffOnly")->click();
    int shown = 0;
    for (int r = 0; r < table->rowCount(); ++r) shown += !table->isRowHidden(r);
    QCOMPARE(shown, 3);
    QTest::mouseClick(compare->findChild<QPushButton *>("BtnCancel"), Qt::LeftButton);
    QTRY_VERIFY(compare.isNull());
    QVERIFY(!DiffSetups(file, ReadSetup(s.Access())).empty());  // Cancel wrote nothing
    s.CloseChecked();
  }

  // Apply sends the core's plan for the file, and the board then holds the file.
  void applySendsThePlannedWrites() {
    BoardSetup file;
    QPointer<TFormSetupCompare> compare = LoadChangedBoard(&file);
    QVERIFY(compare);
    sim::SimulatedBoard *sim = MainSession::Board("SIM1");
    sim->ClearReceivedFrames();
    QTest::mouseClick(compare->findChild<QPushButton *>("BtnApply"), Qt::LeftButton);
    QTRY_VERIFY(compare.isNull());
    CompareWithPlan(Writes(sim), PlanWrites(file.BoardKind, file.Values));
    QVERIFY(DiffSetups(file, ReadSetup(s.Access())).empty());
    s.CloseChecked();
  }

  // A lost reply in the RAM table stops the apply: nothing after it is sent, and the message
  // names what was written and what was not.
  void lostReplyStopsWithAMessage() {
    BoardSetup file;
    QPointer<TFormSetupCompare> compare = LoadChangedBoard(&file);
    QVERIFY(compare);
    sim::SimulatedBoard *sim = MainSession::Board("SIM1");
    const uint8_t pair32 = ctl::RamPairAddress(32, false);
    sim->DropReplyTo([pair32](const std::array<uint8_t, 9> &f) { return IsWriteOf(f, pair32); });
    sim->ClearReceivedFrames();
    QTest::mouseClick(compare->findChild<QPushButton *>("BtnApply"), Qt::LeftButton);
    QTRY_VERIFY(compare.isNull());
    QCOMPARE(s.Errors.size(), 1);
    const QString message = s.Errors.takeFirst();
    for (const char *part : {"The board does not respond!", "Written (", "Perhaps written (the reply was lost) (2): RAM_40, RAM_41", "Not written ("})
      QVERIFY2(message.contains(QLatin1String(part)), qPrintable(message));
    QVERIFY(Writes(sim).last().startsWith(QStringLiteral("W%1=").arg(pair32, 2, 16, QLatin1Char('0')).toUpper()));
    s.CloseChecked();
  }

  // A file refused on its line opens no comparison and reads nothing from the board.
  void refusedFileNamesItsLine() {
    s.OpenFresh("SIM1");
    SaveSetupFile(path, ReadSetup(s.Access()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const QByteArray text = f.readAll().replace("V_MAX.1 =", "V_MAXX.1 =");
    const int line = int(text.left(text.indexOf("V_MAXX.1")).count('\n')) + 1;
    f.resize(0);
    f.write(text);
    f.close();
    sim::SimulatedBoard *sim = MainSession::Board("SIM1");
    s.Access().PausePolling();
    sim->ClearReceivedFrames();
    RunGuarded(s.Main, [this] { s.Main->LoadSetupFrom(path); });
    QVERIFY(sim->ReceivedFrames().empty());
    s.Access().ResumePolling();
    QCOMPARE(s.Errors.size(), 1);
    QVERIFY2(s.Errors.takeFirst().contains(QStringLiteral("line %1: unknown name \"V_MAXX.1\"").arg(line)), "");
    QVERIFY(!s.Main->findChild<TFormSetupCompare *>());
    s.CloseChecked();
  }
};

QTEST_MAIN(TestSetupWindow)
#include "tst_setupwindow.moc"
