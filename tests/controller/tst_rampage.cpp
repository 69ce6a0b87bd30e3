// The RAM table page against the simulated board: Read and Write's datagrams, the .705 file
// through the file dialogs, the waveform, and the manual datagram sender.
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include "poll/MainSession.h"
#include "ControllerRam.h"
#include "RamTablePage.h"
#include "SpinEdit.h"

namespace {

// The simulated controller's RAM after power-on, as the page saves it.
const QByteArray PowerOnFile =
    "00,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F\r\n"
    "10,11,12,13,14,15,16,17,18,19,1A,1B,1C,1D,1E,1F\r\n"
    "20,21,22,23,24,25,26,27,28,29,2A,2B,2C,2D,2E,2F\r\n"
    "30,31,32,33,34,35,36,37,38,39,3A,3B,3C,3D,3E,3F\r\n"
    "01,02,04,05,07,08,0A,0C,0D,0F,10,12,13,14,16,17\r\n"
    "19,1A,1C,1D,1E,20,21,22,24,25,26,27,29,2A,2B,2C\r\n"
    "2D,2E,2F,30,31,32,33,34,35,36,36,37,38,39,39,3A\r\n"
    "3A,3B,3C,3C,3D,3D,3D,3E,3E,3E,3E,3F,3F,3F,3F,3F\r\n";
const QStringList PowerOnCells = QString::fromLatin1(PowerOnFile).split(QRegularExpression("[,\r\n]+"), Qt::SkipEmptyParts);

}  // namespace

class TestRamPage : public QObject {
  Q_OBJECT
  MainSession s;
  sim::SimulatedBoard *board = nullptr;
  std::unique_ptr<TRamTablePage> page;
  QTemporaryDir dir;

  template <class T> T *Child(const QString &name) { return page->findChild<T *>(name); }
  QTableWidget *Grid() { return Child<QTableWidget>("StringGridHex"); }
  QString Cell(int word) { return Grid()->item(word / 16, word % 16)->text(); }
  QStringList Cells() {
    QStringList all;
    for (int word = 0; word < 128; ++word) all << Cell(word);
    return all;
  }
  void Click(const QString &button) { QTest::mouseClick(Child<QPushButton>(button), Qt::LeftButton); }
  QStringList RamRequests() { return Requests(board).filter(QRegularExpression("^[RW][89A-F][0-9A-F]")); }
  uint32_t RamPair(int pair) {
    return board->WithModel([=](sim::BoardModel &m) { return m.Controller().ReadRamPair(pair); });
  }
  // Clicks `button` and answers the file dialog it opens with `path` (empty: Cancel).
  void ClickWithFile(const char *button, const QString &path) {
    QStringList filters, unexpected;
    QTimer watch;
    watch.setInterval(10);
    connect(&watch, &QTimer::timeout, [&] {
      QWidget *modal = QApplication::activeModalWidget();
      if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        unexpected << box->text();
        box->reject();
      } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
        filters = dialog->nameFilters();
        if (path.isEmpty()) return dialog->reject();
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        static_cast<QDialog *>(dialog)->accept();  // QFileDialog::accept, which checks the name
      }
    });
    watch.start();
    Click(button);
    QCOMPARE(unexpected, QStringList());
    if (!filters.isEmpty()) QCOMPARE(filters, (QStringList{"QVR705 Configuration files (*.705)", "All files (*)"}));
  }
  QString WriteFile(const QString &name, const QByteArray &content) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) qFatal("cannot write %s", qPrintable(name));
    return file.fileName();
  }
  bool PollingGoesOn() {
    const size_t before = board->ReceivedFrames().size();
    return QTest::qWaitFor([&] { return board->ReceivedFrames().size() > before + 3; }, 3000);
  }

private slots:
  void initTestCase() {
    s.Start();
    board = MainSession::Board("SIM1");
    QVERIFY(dir.isValid());
  }
  void cleanupTestCase() { s.Stop(); }
  void init() {
    board->WithModel([](sim::BoardModel &m) {
      const sim::RamContents ram = sim::PowerOnRam();
      for (int p = 0; p < 64; ++p) m.Controller().Transfer({uint8_t(0x80 + 2 * p), 0, uint8_t(ram[p] >> 8), uint8_t(ram[p])});
    });
    s.OpenFresh("SIM1");
    page = std::make_unique<TRamTablePage>(s.Access());
    page->show();
  }
  void cleanup() {
    page.reset();
    s.CloseChecked();
  }

  void readFillsThePairsInOrder() {
    board->WithModel([](sim::BoardModel &m) { m.Controller().Transfer({0x80, 0x00, 0x12, 0x34}); });
    board->ClearReceivedFrames();
    Click("BtnReadRAM");
    QStringList reads;
    for (int pair = 0; pair < 64; ++pair) reads << QStringLiteral("R%1").arg(0x81 + 2 * pair, 0, 16).toUpper();
    QCOMPARE(RamRequests(), reads);
    QCOMPARE(Cells(), QStringList({"34", "12"}) + PowerOnCells.mid(2));
    QCOMPARE(Child<QProgressBar>("ProgressRAMTable")->value(), 127);
    QVERIFY(PollingGoesOn());
  }

  void writeValidatesFirstThenSendsEveryPair() {
    Click("BtnWriteRAM");  // the cells start empty
    ClickWithFile("BtnSaveRAM", dir.filePath("never.705"));  // refused before any dialog shows
    Click("BtnReadRAM");
    Grid()->item(7, 15)->setText("1");  // word 0x7F: one bad cell
    board->ClearReceivedFrames();
    Click("BtnWriteRAM");
    QCOMPARE(s.Errors, QStringList(3, "All values in the RAM table must be set\nto two digit hexadecimal values first!"));
    s.Errors.clear();
    QVERIFY(RamRequests().isEmpty());
    QVERIFY(!QFile::exists(dir.filePath("never.705")));

    Grid()->item(7, 15)->setText("a5");  // lower case passes
    Grid()->item(0, 0)->setText("C3");
    Click("BtnWriteRAM");
    QStringList cells = PowerOnCells, writes;
    cells.first() = "C3";
    cells.last() = "A5";
    for (int p = 0; p < 64; ++p) writes << QStringLiteral("W%1=00").arg(0x80 + 2 * p, 0, 16).toUpper() + cells[2 * p + 1] + cells[2 * p];
    QCOMPARE(RamRequests(), writes);
    QCOMPARE(RamPair(63), 0xA53Fu);
    QVERIFY(PollingGoesOn());
  }

  // A reply that does not come ends a read or write with one message: nothing further is sent,
  // no cell is filled from an older reply, and polling goes on.
  void missingReplyEndsTheTransfer_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("lost");  // address byte of the tenth RAM request
    QTest::newRow("read") << "BtnReadRAM" << 0x93;
    QTest::newRow("write") << "BtnWriteRAM" << 0x92;
    QTest::newRow("calculate & write") << "BtnShapeCW" << 0xD2;
  }
  void missingReplyEndsTheTransfer() {
    QFETCH(QString, button);
    QFETCH(int, lost);
    if (button == "BtnWriteRAM") Click("BtnReadRAM");
    board->DropReplyTo([lost](const std::array<uint8_t, 9> &f) { return f[1] == 71 && f[4] == lost; });
    board->ClearReceivedFrames();
    Click(button);
    QCOMPARE(s.Errors, QStringList{"The board does not respond!"});
    s.Errors.clear();
    QCOMPARE(RamRequests().size(), 10);
    if (button == "BtnReadRAM") QCOMPARE(Cells().indexOf(QString()), 18);  // from the unanswered pair on: empty
    QVERIFY(PollingGoesOn());
    QCOMPARE(RamRequests().size(), 10);
  }

  void fileRoundTrip() {
    ClickWithFile("BtnLoadRAM", WriteFile("loose.705", QByteArray(PowerOnFile).toLower().replace("\r\n", "\n")));
    QCOMPARE(Cells(), PowerOnCells);  // upper case
    const QString saved = dir.filePath("saved.705");
    ClickWithFile("BtnSaveRAM", dir.filePath("saved"));  // the extension is added
    QVERIFY(!QFile::exists(dir.filePath("saved")));
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), PowerOnFile);
    Grid()->item(3, 3)->setText("77");
    ClickWithFile("BtnLoadRAM", saved);
    QCOMPARE(Cells(), PowerOnCells);
    Grid()->item(3, 3)->setText("77");
    ClickWithFile("BtnLoadRAM", QString());  // Cancel changes nothing
    QCOMPARE(Cell(0x33), QStringLiteral("77"));
    QVERIFY(RamRequests().isEmpty());  // files never touch the chip
  }

  void loadRefusesWhatIsNoTable_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("error");
    const QByteArray good = PowerOnFile;
    auto line3 = [&](const QByteArray &line) {
      QList<QByteArray> lines = good.split('\n');
      lines[2] = line + '\r';
      return lines.join('\n');
    };
    QTest::newRow("empty") << QByteArray() << "the file is empty.";
    QTest::newRow("seven lines") << good.left(7 * 49) << "line 8 is missing (a RAM table has 8 lines).";
    QTest::newRow("empty line") << line3("") << "line 3 has 0 of the 16 fields of a RAM table line.";
    QTest::newRow("short") << good.left(100) << "line 3 has 1 of the 16 fields of a RAM table line.";
    QTest::newRow("three digits") << line3("20,21,22,23,24,25,26,27,28,29,2A,2B,2C,2D,2E,1ff")
                                  << "line 3, field 16: \"1ff\" is not a hexadecimal byte.";
    QTest::newRow("empty field") << line3("20,21,,23,24,25,26,27,28,29,2A,2B,2C,2D,2E,2F")
                                 << "line 3, field 3: \"\" is not a hexadecimal byte.";
    QTest::newRow("CR only") << QByteArray(good).replace("\r\n", "\r")
                             << "line 1, field 16: \"0F?10\" is not a hexadecimal byte.";
    QTest::newRow("binary") << QByteArray("\x7F" "ELF\x02\x01\x01\0\0\0\0\0", 12)
                            << "line 1, field 1: \"?ELF????...\" is not a hexadecimal byte.";
    QTest::newRow("megabytes") << QByteArray(2 << 20, 'A') << "line 1 is longer than 4096 bytes.";
  }
  void loadRefusesWhatIsNoTable() {
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    Grid()->item(5, 5)->setText("5");
    ClickWithFile("BtnLoadRAM", WriteFile("bad.705", content));
    QCOMPARE(s.Errors, QStringList{"File load error!\nbad.705 is no RAM table: " + error});
    s.Errors.clear();
    QCOMPARE(Cells().join(QString()), QStringLiteral("5"));  // the grid as it was
  }

  void waveformFillsAndWritesTheMicrostepHalf() {
    auto *sigma = Child<TFloatSpinEdit>("EditSigma");
    QCOMPARE(sigma->Value(), -1.0);
    sigma->SetText("0");
    Click("BtnShapeCalc");
    QCOMPARE(Cells().mid(0, 64), QStringList(64, QString()));  // the configuration half is left alone
    QCOMPARE(Cells().mid(64, 6) << Cell(127), (QStringList{"00", "02", "03", "05", "06", "08", "3F"}));
    QVERIFY(RamRequests().isEmpty());

    sigma->SetText("0.5");
    Click("BtnShapeCW");
    QCOMPARE(Cell(127), QStringLiteral("36"));
    const QStringList writes = RamRequests();
    QCOMPARE(writes.size(), 32);
    QCOMPARE((QStringList{writes.first(), writes.last()}), (QStringList{"WC0=000100", "WFE=003636"}));
    QCOMPARE(RamPair(33), 0x0403u);
    QCOMPARE(Child<QProgressBar>("ProgressRAMTable")->value(), 127);
    QVERIFY(PollingGoesOn());

    sigma->SetText("-");  // no number: a clear refusal, nothing sent
    board->ClearReceivedFrames();
    Click("BtnShapeCW");
    QCOMPARE(s.Errors.size(), 1);
    s.Errors.clear();
    QVERIFY(RamRequests().isEmpty());
  }

  void typedHexDigits() {
    QTableWidget *grid = Grid();
    grid->setFocus();
    grid->setCurrentCell(2, 5);  // the current cell's editor opens at once
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // editors of cells left before
    auto *editor = grid->findChild<QLineEdit *>();
    QVERIFY(editor);
    QTest::keyClicks(editor, "g7zea");
    QCOMPARE(editor->text(), QStringLiteral("7E"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(Cell(0x25), QStringLiteral("7E"));  // the editor hands its text over queued

    auto *edit = Child<QLineEdit>("EditSPIMan2");
    edit->clear();
    QTest::keyClicks(edit, "x-bq3");
    QCOMPARE(edit->text(), QStringLiteral("B3"));
  }

  // Write takes what is typed in a cell, also when the click that leaves the cell closes its editor.
  void writeTakesTheCellBeingEdited() {
    Click("BtnReadRAM");
    QTableWidget *grid = Grid();
    grid->setFocus();
    grid->setCurrentCell(0, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    auto *editor = grid->findChild<QLineEdit *>();
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "5a");
    QTest::failOnWarning(QRegularExpression(QStringLiteral("commitData")));
    Click("BtnWriteRAM");
    QCOMPARE(Cell(1), QStringLiteral("5A"));
    QCOMPARE(RamPair(0) >> 8, 0x5Au);
  }

  // Esc in a cell's editor takes back the edit and leaves the motors alone.
  void escapeInACellTakesBackTheEdit() {
    QTableWidget *grid = Grid();
    QApplication::setActiveWindow(grid->window());  // where the program's Esc shortcut would act
    QVERIFY(QTest::qWaitForWindowActive(grid->window()));
    grid->setFocus();
    grid->setCurrentCell(3, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QPointer<QLineEdit> editor = grid->findChild<QLineEdit *>();
    QVERIFY(editor);
    editor->setFocus();
    const QString before = Cell(0x31);
    board->ClearReceivedFrames();
    QTest::keyClicks(editor, "5A");
    QTest::keyClick(editor, Qt::Key_Escape);
    QTRY_VERIFY(!editor || !editor->isVisible());
    QCOMPARE(Cell(0x31), before);
    QCOMPARE(Requests(board).filter(QRegularExpression("^W")), QStringList());
  }

  void manualSenderShowsTheReply_data() {
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QStringList>("reply");
    QTest::newRow("X_TARGET 1") << QStringList{"01", "00", "00", "00"} << "R01" << QStringList{"12", "34", "56"};
    QTest::newRow("chip version") << QStringList{"73", "00", "00", "00"} << "R73" << QStringList{"71", "02", "05"};
    QTest::newRow("RAM pair 1") << QStringList{"82", "00", "BE", "EF"} << "W82=00BEEF" << QStringList{"00", "BE", "EF"};
  }
  void manualSenderShowsTheReply() {
    QFETCH(QStringList, sent);
    QFETCH(QString, request);
    QFETCH(QStringList, reply);
    board->WithModel([](sim::BoardModel &m) { m.Controller().WriteRegister(0, 0, 0x123456); });
    for (int i = 0; i < 4; ++i) Child<QLineEdit>(QStringLiteral("EditSPIMan%1").arg(i + 1))->setText(sent[i]);
    board->ClearReceivedFrames();
    Click("BtnSendSPIMan");
    QVERIFY(Requests(board).contains(request));
    QStringList shown;
    for (int i = 1; i <= 4; ++i) shown << Child<QLabel>(QStringLiteral("StaticSPIMan%1").arg(i))->text();
    QCOMPARE(shown.mid(1), reply);
    QCOMPARE(shown[0].size(), 2);  // the status byte
  }

  // A deleted digit leaves a blank in its place: the byte is refused, not read from the other digit.
  void manualSenderRefusesABlank_data() {
    QTest::addColumn<int>("deleted");  // cursor position of Delete; -1: the edit cleared
    QTest::addColumn<QString>("message");
    QTest::newRow("cleared") << -1 << "'  ' is not a valid hexadecimal number.";
    QTest::newRow("first digit deleted") << 0 << "' A' is not a valid hexadecimal number.";
    QTest::newRow("last digit deleted") << 1 << "'1 ' is not a valid hexadecimal number.";
  }
  void manualSenderRefusesABlank() {
    QFETCH(int, deleted);
    auto *edit = Child<QLineEdit>("EditSPIMan4");
    edit->setText(QStringLiteral("1A"));
    if (deleted < 0) {
      edit->clear();
    } else {
      edit->setCursorPosition(deleted);
      QTest::keyClick(edit, Qt::Key_Delete);
    }
    board->ClearReceivedFrames();
    Click("BtnSendSPIMan");
    QTEST(s.Errors.value(0), "message");
    s.Errors.clear();
    QVERIFY(PollingGoesOn());
    QVERIFY(!Requests(board).contains(QStringLiteral("R00")));
  }
};

QTEST_MAIN(TestRamPage)
#include "tst_rampage.moc"
