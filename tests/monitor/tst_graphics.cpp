// The graphics window in the program: it collects the poll cycle's samples while hidden,
// opens from the main window, paints known traces in their colours at their rows, pauses
// without losing samples and saves its picture and samples.
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include "Ev710Graphics.h"
#include "PaintBox.h"
#include "poll/MainSession.h"

class TestGraphics : public QObject {
  Q_OBJECT
  MainSession s;
  TFormGraphics *graphics = nullptr;
  QTemporaryDir dir;

  QPushButton *Button(const char *name) { return graphics->findChild<QPushButton *>(QLatin1String(name)); }
  QImage Plot(int motor) {
    return graphics->findChild<TPaintBox *>(QStringLiteral("PaintBox%1").arg(motor))->grab().toImage();
  }
  void ShownCleared() {
    graphics->BtnClearClick();
    graphics->show();
  }
  // As the poll cycle does: open a column, then fill it.
  void Cycle(int motor, int position, int velocity) {
    graphics->NextGraphSample();
    graphics->SetPositionSample(position, motor);
    graphics->SetVelocitySample(velocity, motor);
  }
  // Clicks the button and names `name` in the file dialog it opens; returns the messages shown.
  QStringList ClickAndSaveAs(const char *button, const QString &name) {
    QStringList messages;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
      QWidget *modal = QApplication::activeModalWidget();
      if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        messages << box->text();
        box->reject();
      } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(dir.filePath(name));
        static_cast<QDialog *>(dialog)->accept();
      }
    });
    answer.start(10);
    QTest::mouseClick(Button(button), Qt::LeftButton);
    return messages;
  }

private slots:
  void initTestCase() {
    s.Start();
    graphics = s.Main->findChild<TFormGraphics *>(QStringLiteral("FormGraphics"));
    QVERIFY(graphics);
  }
  void cleanupTestCase() { s.Stop(); }
  void cleanup() {
    if (Button("BtnPause")->text() != QStringLiteral("&Pause")) Button("BtnPause")->click();
    graphics->close();
  }

  // Until the first sample the position scales span 0..5000; Clear makes them 0..10000.
  void positionRangeBeforeTheFirstSample() {
    for (int m = 0; m < 3; ++m) QCOMPARE(graphics->Graph().Scale(m).PositionMax, 5000);
    graphics->BtnClearClick();
    QCOMPARE(graphics->Graph().Scale(0).PositionMax, 10000);
  }

  void paintsTheTracesAtTheirRows() {
    graphics->BtnClearClick();
    graphics->findChild<QCheckBox *>(QStringLiteral("CheckVTarget"))->setChecked(true);
    for (int i = 0; i < 10; ++i) {
      graphics->SetPositionSample(5000, 0);      // range 0..5000
      graphics->SetVelocitySample(-50, 0);       // ranges 100
      graphics->SetAccelerationSample(25, 0);
      graphics->SetTargetVelocitySample(75, 0);
      graphics->NextGraphSample();
    }
    const QImage plot = graphics->findChild<TPaintBox *>(QStringLiteral("PaintBox1"))->grab().toImage();
    QCOMPARE(plot.size(), QSize(478, 434));
    struct {
      int Row;
      QColor Colour;
    } const expected[] = {
        {431 - 420 - 2, QColor(0, 128, 0)},    // position, drawn 2 rows higher
        {431 - 210, QColor(255, 0, 0)},        // velocity
        {431 - 105 + 1, QColor(0, 0, 255)},    // acceleration, 1 row lower
        {431 - 315 - 3, QColor(255, 255, 0)},  // target velocity, 3 rows higher
        {300, QColor(Qt::black)},
    };
    for (const auto &e : expected) QCOMPARE(plot.pixelColor(5, e.Row), e.Colour);
    QCOMPARE(plot.pixelColor(9, 431 - 210), QColor(255, 0, 0));  // the last closed column
    QCOMPARE(plot.pixelColor(10, 431 - 210), QColor(Qt::black));  // the open one is not drawn
    graphics->findChild<QCheckBox *>(QStringLiteral("CheckVTarget"))->setChecked(false);
    const QImage plain = graphics->findChild<TPaintBox *>(QStringLiteral("PaintBox1"))->grab().toImage();
    QCOMPARE(plain.pixelColor(5, 431 - 315 - 3), QColor(Qt::black));
  }

  void collectsWhileHiddenAndOpensFromTheMainWindow() {
    MainSession::Board("SIM1")->WithModel([](sim::BoardModel &m) {
      m.Controller().WriteRegister(1, 0, 0xFFFF85);  // motor 2 stands at -123
      m.Controller().WriteRegister(1, 1, 0xFFFF85);
    });
    graphics->BtnClearClick();
    s.OpenFresh("SIM1");
    QVERIFY(!graphics->isVisible());
    QTRY_VERIFY(graphics->Graph().SampleCount() >= 3);
    QCOMPARE(graphics->Graph().Samples(1, TGraphTrace::Position)[1].Value, -123);
    QCOMPARE(graphics->Graph().Scale(1).PositionMin, -5000);
    QTRY_VERIFY(graphics->findChild<QLabel *>(QStringLiteral("LblXTiming"))->text().toInt() > 0);
    s.Click("BtnGraphics");
    QVERIFY(graphics->isVisible() && graphics->GraphVisible);
    graphics->close();
    QVERIFY(!graphics->GraphVisible);
    s.CloseChecked();
    MainSession::Board("SIM1")->WithModel([](sim::BoardModel &m) {
      m.Controller().WriteRegister(1, 0, 0);
      m.Controller().WriteRegister(1, 1, 0);
    });
  }

  // Paused, the display stands still while the samples are still taken: all of them, also
  // those that scroll out of the graph meanwhile, are in the saved data; Resume shows them.
  void pauseKeepsCollecting() {
    ShownCleared();
    for (int i = 1; i <= 10; ++i) Cycle(0, 10 * i, 50);
    QTest::mouseClick(Button("BtnPause"), Qt::LeftButton);
    QCOMPARE(Button("BtnPause")->text(), QStringLiteral("&Resume"));
    const QImage paused = Plot(1);
    for (int i = 11; i <= 700; ++i) Cycle(0, 10 * i, 50);
    QCOMPARE(Plot(1), paused);
    QCOMPARE(ClickAndSaveAs("BtnSaveData", "paused.csv"), QStringList());
    QFile file(dir.filePath("paused.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.takeFirst(), QByteArray("motor,time_ms,position,velocity,target_velocity,acceleration"));
    const QList<QByteArray> motor1 = lines.mid(0, lines.size() / 3);
    QCOMPARE(motor1.size(), 699);  // the 700th column is still open
    for (int i = 0; i < 699; ++i) QCOMPARE(motor1[i].split(',')[2].toInt(), 10 * (i + 1));

    QTest::mouseClick(Button("BtnPause"), Qt::LeftButton);
    QCOMPARE(Button("BtnPause")->text(), QStringLiteral("&Pause"));
    QVERIFY(Plot(1) != paused);
    QCOMPARE(graphics->Graph().Samples(0, TGraphTrace::Position)[479].Value, 6990);
  }

  // One picture: per motor, top to bottom, the left scale, the plot and the right scale.
  void savesThePicture() {
    ShownCleared();
    for (int i = 0; i < 10; ++i) Cycle(1, 0, -50);  // motor 2, velocity range 100
    QCOMPARE(ClickAndSaveAs("BtnSavePicture", "graph"), QStringList());
    const QImage picture(dir.filePath("graph.png"));  // the suffix added
    QCOMPARE(picture.size(), QSize(79 + 478 + 63, 3 * 434));
    QCOMPARE(picture.pixelColor(79 + 5, 434 + 431 - 210), QColor(255, 0, 0));
    QCOMPARE(picture.pixelColor(79 + 5, 431 - 210), QColor(Qt::black));  // motor 1 stood
  }
};

QTEST_MAIN(TestGraphics)
#include "tst_graphics.moc"
