// The graphics window's sample model: scales that follow the data with their rounding, the
// pixel rows, scrolling, the stop when nothing moves, and the smoothed interval.
#include <QtTest>
#include "GraphModel.h"

namespace {
// One column of motor 1 with these values, closed by a sample (which fits the scales).
TGraphModel WithSample(int position, int velocity) {
  TGraphModel g;
  g.SetSample(TGraphTrace::Position, position, 0);
  g.SetSample(TGraphTrace::Velocity, velocity, 0);
  g.NextSample(false, 0);
  return g;
}
}  // namespace

class TestGraphModel : public QObject {
  Q_OBJECT
private slots:
  void scalesFollowTheData_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("velocity");
    QTest::addColumn<int>("positionMin");
    QTest::addColumn<int>("positionMax");
    QTest::addColumn<int>("velocityRange");
    QTest::newRow("all zero") << 0 << 0 << 0 << 5000 << 100;
    QTest::newRow("small") << 1234 << 1234 << 0 << 10000 << 1300;
    QTest::newRow("exact multiples") << 5000 << 1200 << 0 << 5000 << 1200;
    QTest::newRow("negative velocity is a magnitude") << 4999 << -50 << 0 << 10000 << 100;
    QTest::newRow("just below zero") << -1 << 0 << -5000 << 0 << 100;
    QTest::newRow("a step below zero") << -5000 << 0 << -5000 << 0 << 100;
    QTest::newRow("past a step below zero") << -5001 << 0 << -10000 << 0 << 100;
    QTest::newRow("full 24 bits") << 8388607 << 2048 << 0 << 8390000 << 2100;
  }
  void scalesFollowTheData() {
    QFETCH(int, position);
    QFETCH(int, velocity);
    QFETCH(int, positionMin);
    QFETCH(int, positionMax);
    QFETCH(int, velocityRange);
    const TGraphModel g = WithSample(position, velocity);
    const TMotorScale &s = g.Scale(0);
    QCOMPARE(s.PositionMin, positionMin);
    QCOMPARE(s.PositionMax, positionMax);
    QCOMPARE(s.VelocityRange, velocityRange);
    // Every row lies on the plot: the range's ends at the bottom and top rows.
    for (TGraphTrace t : {TGraphTrace::Position, TGraphTrace::Velocity})
      for (const TGraphSample &sample : g.Samples(0, t)) {
        QVERIFY(sample.Row <= TGraphModel::PlotBottom);
        QVERIFY(sample.Row >= TGraphModel::PlotBottom - TGraphModel::PlotHeight);
      }
    QCOMPARE(g.Scale(1).PositionMax, 5000);  // the other motors keep theirs
  }

  void rowsTruncateTowardZero() {
    TGraphModel g = WithSample(-5000, 0);  // position range -5000..0
    g.SetSample(TGraphTrace::Position, -1, 0);
    g.SetSample(TGraphTrace::Velocity, 33, 0);  // range 100: 33 × 4.2 = 138.6
    g.NextSample(false, 0);
    QCOMPARE(g.Samples(0, TGraphTrace::Position)[0].Row, 431);
    QCOMPARE(g.Samples(0, TGraphTrace::Position)[1].Row, 431 - 419);  // 4999 × 0.084 = 419.9
    QCOMPARE(g.Samples(0, TGraphTrace::Velocity)[1].Row, 431 - 138);
  }

  void scrollsOnceAllColumnsAreUsed() {
    TGraphModel g;
    for (int i = 0; i < TGraphModel::Columns; ++i) {
      g.SetSample(TGraphTrace::Velocity, i, 2);
      g.NextSample(false, 0);
    }
    QCOMPARE(g.SampleCount(), 480);
    const auto &v = g.Samples(2, TGraphTrace::Velocity);
    QCOMPARE(v[0].Value, 1);      // the oldest column went
    QCOMPARE(v[479].Value, 480);
    QCOMPARE(v[480].Value, 480);  // the open column keeps its old value until overwritten
    QCOMPARE(g.Scale(2).VelocityRange, 500);
  }

  void stopsWhileNothingMoves() {
    TGraphModel g;
    g.NextSample(true, 0);  // column 0 closed with all velocities 0
    QCOMPARE(g.SampleCount(), 1);
    QVERIFY(g.NextSample(true, 40).Stopped);
    QCOMPARE(g.SampleCount(), 1);
    g.SetSample(TGraphTrace::Velocity, 5, 1);  // motor 2 starts
    QVERIFY(!g.NextSample(true, 80).Stopped);
    QCOMPARE(g.SampleCount(), 2);
    QCOMPARE(g.IntervalText(), QStringLiteral("---"));  // the stop broke the interval
    QVERIFY(!g.NextSample(false, 120).Stopped);
    QCOMPARE(g.IntervalText(), QStringLiteral("20"));
  }

  void intervalIsSmoothedAndRoundedDown() {
    TGraphModel g;
    const uint32_t start = 0xFFFFFF00;  // the tick count wraps on the way
    const QStringList expected = {"---", "120", "180", "210"};
    const uint32_t gaps[] = {0, 250, 250, 250};
    uint32_t now = start;
    for (int i = 0; i < 4; ++i) {
      now += gaps[i];
      g.NextSample(false, now);
      QCOMPARE(g.IntervalText(), expected[i]);  // 125, 187, 218 shown to the 10 below
    }
    g.Clear();
    QCOMPARE(g.IntervalText(), QStringLiteral("---"));
    QCOMPARE(g.SampleCount(), 0);
    QCOMPARE(g.Scale(0).PositionMax, 10000);
  }

  // A header, then per motor a line per column a cycle took, timed from the first across the
  // tick's wrap; what was set before the first cycle is no sample.
  void csvHoldsTheTakenColumns() {
    TGraphModel g;
    g.SetSample(TGraphTrace::Position, 99, 0);
    const uint32_t start = 0xFFFFFFF0;
    for (int i = 0; i < 3; ++i) {
      g.NextSample(false, start + 40 * i);
      g.SetSample(TGraphTrace::Position, -100 * i, 0);
      g.SetSample(TGraphTrace::Velocity, -7 * i, 1);
      g.SetSample(TGraphTrace::TargetVelocity, 8, 2);
      g.SetSample(TGraphTrace::Acceleration, 3 * i, 2);
    }
    g.NextSample(false, start + 120);  // closes the third column, opens a fourth
    QCOMPARE(GraphCsv(g.TakenColumns()), QByteArray("motor,time_ms,position,velocity,target_velocity,acceleration\n"
                                                    "1,0,0,0,0,0\n1,40,-100,0,0,0\n1,80,-200,0,0,0\n"
                                                    "2,0,0,0,0,0\n2,40,0,7,0,0\n2,80,0,14,0,0\n"
                                                    "3,0,0,0,8,0\n3,40,0,0,8,3\n3,80,0,0,8,6\n"));
  }

  void scaleLabels() {
    const std::vector<int> velocity = ScaleLabelValues(0, 100);
    QCOMPARE(int(velocity.size()), 20);
    QCOMPARE(velocity.back(), 95);
    const std::vector<int> position = ScaleLabelValues(-5000, 5000);
    QCOMPARE(int(position.size()), 20);
    QCOMPARE(position.front(), -5000);
    QCOMPARE(position.back(), 4500);
  }
};

QTEST_APPLESS_MAIN(TestGraphModel)
#include "tst_graphmodel.moc"
