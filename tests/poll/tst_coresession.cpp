// The board session without any window: under a QCoreApplication it opens a simulated board,
// identifies it, polls it, runs a command and reports a failing handler through its signal.
#include <QSignalSpy>
#include <QtTest>
#include "BoardSession.h"
#include "Ev710Registers.h"
#include "Ev710Utils.h"
#include "SimulatedBoard.h"

class TestCoreSession : public QObject {
  Q_OBJECT

private slots:
  void sessionRunsWithoutWidgets() {
    QCOMPARE(qApp->metaObject()->className(), "QCoreApplication");
    sim::SimulatedBoard board(1, true);
    board.SetRecording(true);
    board.WithModel([](sim::BoardModel &m) { m.Controller().WriteRegister(0, sim::ControllerModel::XActual, 1234); });
    TBoardSession session;
    QString xActual;
    session.Entry(PollRow::MotorRegister(0, ctl::X_ACTUAL)).ShowMain = [&](const QString &text) { xActual = text; };
    session.Open(QString::fromStdString(board.DevicePath()));
    session.StartDetection();
    session.StartPolling();
    QTRY_COMPARE(session.Identity().Kind, TBoardKind::NewerDrivers);
    QTRY_COMPARE(xActual, QStringLiteral("1234"));

    {
      TPollingPause command(session);
      const ctl::DataBytes vMax = ctl::ComposeMotorValue(ctl::V_MAX, 321);
      session.TransferDatagram(ctl::MotorRegisterAddress(1, ctl::V_MAX, false), vMax[0], vMax[1], vMax[2]);
    }
    QCOMPARE(
        board.WithModel([](sim::BoardModel &m) { return m.Controller().ReadRegister(0, sim::ControllerModel::VMax); }),
        321u);

    QSignalSpy errors(&session, &TBoardSession::ErrorReported);
    session.Entry(PollRow::MotorRegister(0, ctl::X_ACTUAL)).Handler = [](uint8_t, uint8_t, uint8_t) {
      throw EEvalError(QStringLiteral("broken handler"));
    };
    QTRY_VERIFY(!errors.isEmpty());
    QCOMPARE(errors.first().first().toString(), QStringLiteral("broken handler"));
    session.Close();
  }
};

QTEST_GUILESS_MAIN(TestCoreSession)
#include "tst_coresession.moc"
