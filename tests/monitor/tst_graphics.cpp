// The graphics window in the program: it collects the poll cycle's samples while hidden,
// opens from the main window, and paints known traces in their colours at their rows.
#include <QCheckBox>
#include "Ev710Graphics.h"
#include "PaintBox.h"
#include "poll/MainSession.h"

class TestGraphics : public QObject {
  Q_OBJECT
  MainSession s;
  TFormGraphics *graphics = nullptr;

private slots:
  void initTestCase() {
    s.Start();
    graphics = s.Main->findChild<TFormGraphics *>(QStringLiteral("FormGraphics"));
    QVERIFY(graphics);
  }
  void cleanupTestCase() { s.Stop(); }

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
};

QTEST_MAIN(TestGraphics)
#include "tst_graphics.moc"
