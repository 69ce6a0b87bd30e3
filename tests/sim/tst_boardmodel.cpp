// The board model answered frame by frame, and its ramp generators stepped by hand.
#include "BoardModel.h"

#include <QtTest>

#include <cmath>

using sim::BoardModel;
using sim::ControllerModel;
using sim::Frame;

namespace {

constexpr uint8_t SpiTransfer = 71;

Frame Ask(BoardModel &board, const Frame &request) {
  const auto reply = board.HandleFrame(request);
  if (!reply)
    return Frame{};
  return *reply;
}

// One controller datagram through the board; returns status byte and data as one value.
uint32_t Datagram(BoardModel &board, uint8_t address, uint32_t data = 0) {
  const Frame r = Ask(board, sim::MakeRequestBytes(SpiTransfer, 0, 0,
                                                   {address, uint8_t(data >> 16), uint8_t(data >> 8), uint8_t(data)}));
  return uint32_t(sim::FrameValue(r));
}

uint32_t ReadReg(BoardModel &board, int motor, int index) {
  return Datagram(board, uint8_t(32 * motor + 2 * index + 1)) & 0xFFFFFF;
}
void WriteReg(BoardModel &board, int motor, int index, uint32_t data) {
  Datagram(board, uint8_t(32 * motor + 2 * index), data);
}
int32_t Signed(uint32_t v, int bits) { return sim::SignExtend(v, bits); }

// Motor 1 starts a move in `mode` with the values a user typically enters.
void StartMove(BoardModel &board, int mode, int32_t target, int vmax = 1000, int amax = 100) {
  WriteReg(board, 0, ControllerModel::RefConfRampMode, uint32_t(mode));
  WriteReg(board, 0, ControllerModel::AMax, uint32_t(amax));
  WriteReg(board, 0, ControllerModel::VMax, uint32_t(vmax));
  WriteReg(board, 0, ControllerModel::VMin, 1);
  WriteReg(board, 0, ControllerModel::XTarget, sim::Wrap24(target));
}

struct Trace {
  double seconds = 0;       // until X_ACTUAL = X_TARGET was first reported
  int32_t maxPosition = INT32_MIN;
  int32_t peakVelocity = 0;
  bool monotonic = true;
  bool sawPositiveA = false, sawNegativeA = false;
};

// Steps motor 1 in 10 ms ticks until its status bit says it arrived (at most `limit` s).
Trace RunToTarget(BoardModel &board, double limit) {
  Trace t;
  int32_t last = Signed(ReadReg(board, 0, ControllerModel::XActual), 24);
  for (; t.seconds < limit; t.seconds += 0.01) {
    board.AdvanceTime(0.01);
    const uint32_t x = Datagram(board, 0x03);
    const int32_t pos = Signed(x & 0xFFFFFF, 24);
    t.monotonic = t.monotonic && pos >= last;
    last = pos;
    t.maxPosition = std::max(t.maxPosition, pos);
    t.peakVelocity = std::max(t.peakVelocity, Signed(ReadReg(board, 0, ControllerModel::VActual), 12));
    const int32_t a = Signed(ReadReg(board, 0, ControllerModel::AActual), 12);
    t.sawPositiveA = t.sawPositiveA || a > 0;
    t.sawNegativeA = t.sawNegativeA || a < 0;
    if ((x >> 24) & 0x01)
      break;
  }
  return t;
}

}  // namespace

class TestBoardModel : public QObject {
  Q_OBJECT
private slots:
  void versionAnswers_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("newer") << 1 << "710";
    QTest::newRow("older") << 2 << "515";
    QTest::newRow("QVR550") << 3 << "937";
  }
  void versionAnswers() {
    QFETCH(int, kind);
    QFETCH(QString, prefix);
    BoardModel board(kind);
    const Frame r = Ask(board, sim::MakeRequest(136, 0, 0, 0));
    // The program reads bytes 1..8 as the text and byte 3 as the command answered.
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(r.data()) + 1, 8);
    QCOMPARE(text, QString::fromStdString(board.VersionText()));
    QVERIFY(text.startsWith(prefix));
    QVERIFY(r[3] != 71 && r[3] != 6);
  }

  void frameHandling() {
    BoardModel board(1);
    const Frame get = Ask(board, sim::MakeRequest(6, 174, 0, 0));
    QCOMPARE(int(get[3]), 6);
    QCOMPARE(int(get[2]), 100);
    QCOMPARE(get[8], sim::Checksum(get));

    Ask(board, sim::MakeRequest(5, 174, 2, -1));  // LDT -1 of motor 2
    QCOMPARE(sim::FrameValue(Ask(board, sim::MakeRequest(6, 174, 2, 0))), -1);
    QCOMPARE(sim::FrameValue(Ask(board, sim::MakeRequest(6, 174, 0, 0))), 0);  // other motor untouched
    QCOMPARE(board.StoredParameter(174, 2), -1);

    for (uint8_t command : {64, 65, 66}) {
      const Frame r = Ask(board, sim::MakeRequest(command, 1, 0, 1));
      QCOMPARE(int(r[3]), int(command));
      QCOMPARE(int(r[2]), 100);
    }
    QCOMPARE(board.ClockIndex(1), 1);

    Frame bad = sim::MakeRequest(6, 180, 0, 0);
    bad[8] ^= 0xFF;
    QCOMPARE(int(Ask(board, bad)[2]), int(BoardModel::WrongChecksum));
    QCOMPARE(int(Ask(board, sim::MakeRequest(99, 0, 0, 0))[2]), int(BoardModel::InvalidCommand));
    QVERIFY(!board.HandleFrame(sim::MakeRequest(136, 0, 0, 0, 7)));  // another module's frame
  }

  void statusParameters() {
    BoardModel board(1);
    QCOMPARE(sim::FrameValue(Ask(board, sim::MakeRequest(6, 208, 0, 0))) & 0x80, 0x80);  // STST
    WriteReg(board, 0, ControllerModel::RefConfRampMode, ControllerModel::Hold);
    WriteReg(board, 0, ControllerModel::VMax, 1000);
    WriteReg(board, 0, ControllerModel::VActual, 1000);
    board.AdvanceTime(0.5);
    QCOMPARE(sim::FrameValue(Ask(board, sim::MakeRequest(6, 208, 0, 0))) & 0x80, 0);
    QVERIFY(sim::FrameValue(Ask(board, sim::MakeRequest(6, 206, 0, 0))) > 0);
    const int32_t tl = sim::FrameValue(Ask(board, sim::MakeRequest(6, 180, 0, 0)));
    QVERIFY(tl >= 0 && tl <= 31);

    BoardModel older(2);
    QCOMPARE(older.ParameterValue(6, 1), 128);  // the QVR515's PWM value
    QCOMPARE(older.ParameterValue(205, 0), 8);  // stall detection off
  }

  void registers() {
    BoardModel board(1);
    QCOMPARE(Datagram(board, 0x01) >> 24, 0x15u);  // every motor at its target after power-on

    WriteReg(board, 1, ControllerModel::XTarget, 0xFFFFFF);  // motor 2, -1
    QCOMPARE(ReadReg(board, 1, ControllerModel::XTarget), 0xFFFFFFu);
    QCOMPARE(ReadReg(board, 0, ControllerModel::XTarget), 0u);
    QCOMPARE(Datagram(board, 0x21) >> 24, 0x11u);  // motor 2 away from its target
    WriteReg(board, 2, ControllerModel::VTarget, 0x000800);
    QCOMPARE(Signed(ReadReg(board, 2, ControllerModel::VTarget), 12), -2048);
    WriteReg(board, 0, ControllerModel::Currents, 0x3135DC);
    QCOMPARE(ReadReg(board, 0, ControllerModel::Currents), 0x3135DCu);

    // Read-only registers keep their contents.
    WriteReg(board, 0, ControllerModel::AActual, 0x123);
    WriteReg(board, 0, ControllerModel::XLatched, 0x123456);
    WriteReg(board, 0, ControllerModel::MicrostepCount, 0x12);
    QCOMPARE(ReadReg(board, 0, ControllerModel::AActual), 0u);
    QCOMPARE(ReadReg(board, 0, ControllerModel::XLatched), 0u);
    QCOMPARE(ReadReg(board, 0, ControllerModel::MicrostepCount), 0u);
    WriteReg(board, 3, ControllerModel::ChipType, 0);
    WriteReg(board, 3, ControllerModel::RefSwitches, 0x3F);
    QCOMPARE(ReadReg(board, 3, ControllerModel::RefSwitches), 0u);
    const uint32_t chip = ReadReg(board, 3, ControllerModel::ChipType);
    QCOMPARE(QString::asprintf("QVR%02X%X V%X.%02X", chip >> 16, (chip >> 12) & 0xF, (chip >> 8) & 0xF, chip & 0xFF),
             QString("QVR710 V2.05"));

    // The LP flag is set by a latch and only cleared by a write of register 10.
    board.Controller().SetReferenceSwitches(0x02);  // "Left 1", motor 1's reference switch
    QCOMPARE(Datagram(board, 0x01) >> 24 & 0x02, 0x02u);
    QCOMPARE(ReadReg(board, 0, ControllerModel::RefConfRampMode) & ControllerModel::LpBit, ControllerModel::LpBit);
    WriteReg(board, 0, ControllerModel::RefConfRampMode, ControllerModel::LpBit | 0x0801);
    QCOMPARE(ReadReg(board, 0, ControllerModel::RefConfRampMode), ControllerModel::LpBit | 0x0801);
    WriteReg(board, 0, ControllerModel::RefConfRampMode, 0x0801);
    QCOMPARE(ReadReg(board, 0, ControllerModel::RefConfRampMode), 0x0801u);
    QCOMPARE(Datagram(board, 0x01) >> 24 & 0x02, 0u);  // REF_RnL: the right switch counts now

    // RAM pairs: word 2p in bits 7..0, word 2p+1 in bits 15..8, bits 23..16 not kept.
    Datagram(board, 0x80, 0xFFA55A);
    Datagram(board, 0xFE, 0x00BEEF);
    QCOMPARE(Datagram(board, 0x81) & 0xFFFFFF, 0xA55Au);
    QCOMPARE(Datagram(board, 0xFF) & 0xFFFFFF, 0xBEEFu);
    QCOMPARE(Datagram(board, 0x83) & 0xFFFFFF, 0x0302u);  // power-on: configuration word i holds i
  }

  void encoder() {
    BoardModel board(1);
    auto telegram = [&](std::array<uint8_t, 4> bytes) {
      return uint32_t(sim::FrameValue(Ask(board, sim::MakeRequestBytes(SpiTransfer, 4, 0, bytes)))) & 0xFFFFFF;
    };
    telegram({0x0B, 0xFF, 0xFF, 0xFF});  // ENC2_POS := -1
    QCOMPARE(telegram({0x0A, 0, 0, 0}), 0xFFFFFFu);
    QCOMPARE(telegram({0x08, 0, 0, 0}), 0u);
    telegram({0x01, 0x02, 0x00, 0x80});  // ENC1_PS: prescaler 2, direction inverted
    WriteReg(board, 0, ControllerModel::RefConfRampMode, ControllerModel::Hold);
    WriteReg(board, 0, ControllerModel::VActual, 100);
    board.AdvanceTime(1.0);
    const int32_t steps = Signed(ReadReg(board, 0, ControllerModel::XActual), 24);
    QVERIFY(steps > 0);
    QVERIFY(std::abs(Signed(telegram({0x08, 0, 0, 0}), 24) + 2 * steps) <= 2);
    board.Encoder().SetNullInputs(0x05);
    QCOMPARE(telegram({0x12, 0, 0, 0}), 0x05u);
  }

  void rampMoveArrivesWithoutOvershoot() {
    BoardModel board(1);
    StartMove(board, ControllerModel::Ramp, 10000);
    const Trace t = RunToTarget(board, 10);
    QVERIFY2(t.seconds > 1 && t.seconds < 5, qPrintable(QString::number(t.seconds)));
    QVERIFY(t.monotonic);
    QCOMPARE(t.maxPosition, 10000);
    QVERIFY(t.peakVelocity <= 1000 && t.peakVelocity > 900);
    QVERIFY(t.sawPositiveA && t.sawNegativeA);
    QCOMPARE(Signed(ReadReg(board, 0, ControllerModel::VActual), 12), 0);
    // POS_END is flagged; the status byte's INTERRUPT only shows it once it is unmasked.
    QCOMPARE(ReadReg(board, 0, ControllerModel::Interrupts) & 0xFF, 0x01u);
    QCOMPARE(Datagram(board, 0x01) >> 24 & 0x80, 0u);
    WriteReg(board, 0, ControllerModel::Interrupts, 0x0100);
    QCOMPARE(Datagram(board, 0x01) >> 24 & 0x80, 0x80u);
    WriteReg(board, 0, ControllerModel::Interrupts, 0x0101);  // acknowledge
    QCOMPARE(ReadReg(board, 0, ControllerModel::Interrupts), 0x0100u);
    board.AdvanceTime(1.0);
    QCOMPARE(Signed(ReadReg(board, 0, ControllerModel::XActual), 24), 10000);
  }

  // In RAMP, V_TARGET shows where the ramp generator heads: V_MAX on the way, less while
  // braking, 0 at the target.
  void rampShowsItsTargetVelocity() {
    BoardModel board(1);
    StartMove(board, ControllerModel::Ramp, -10000);
    board.AdvanceTime(0.5);
    QCOMPARE(Signed(ReadReg(board, 0, ControllerModel::VTarget), 12), -1000);
    while (Signed(ReadReg(board, 0, ControllerModel::XActual), 24) > -9900) board.AdvanceTime(0.01);
    const int braking = Signed(ReadReg(board, 0, ControllerModel::VTarget), 12);
    QVERIFY2(braking > -1000 && braking < 0, qPrintable(QString::number(braking)));
    board.AdvanceTime(5.0);
    QCOMPARE(Signed(ReadReg(board, 0, ControllerModel::XActual), 24), -10000);
    QCOMPARE(ReadReg(board, 0, ControllerModel::VTarget), 0u);
  }

  void rampMoveAcrossTheWrap() {
    BoardModel board(1);
    WriteReg(board, 0, ControllerModel::XActual, 8388600);
    StartMove(board, ControllerModel::Ramp, -8388600);  // 16 steps on, past the 24-bit wrap
    const Trace t = RunToTarget(board, 5);
    QVERIFY(t.seconds < 1);
    QCOMPARE(Signed(ReadReg(board, 0, ControllerModel::XActual), 24), -8388600);
  }

  void softModeArrivesLaterThanRamp() {
    BoardModel ramp(1), soft(1);
    StartMove(ramp, ControllerModel::Ramp, 5000);
    StartMove(soft, ControllerModel::SoftMode, 5000);
    const Trace r = RunToTarget(ramp, 20);
    const Trace s = RunToTarget(soft, 20);
    QVERIFY2(s.seconds < 20, "SOFTMODE never arrived");
    QVERIFY(s.monotonic);
    QCOMPARE(s.maxPosition, 5000);
    QVERIFY(s.seconds > r.seconds);
  }

  void velocityAndHold() {
    BoardModel board(1);
    WriteReg(board, 0, ControllerModel::RefConfRampMode, ControllerModel::Velocity);
    WriteReg(board, 0, ControllerModel::AMax, 100);
    WriteReg(board, 0, ControllerModel::VTarget, sim::Wrap24(-500) & 0xFFF);
    board.AdvanceTime(0.1);
    const int32_t early = Signed(ReadReg(board, 0, ControllerModel::VActual), 12);
    QVERIFY(early < 0 && early > -500);
    QVERIFY(Signed(ReadReg(board, 0, ControllerModel::AActual), 12) < 0);
    board.AdvanceTime(2.0);
    QCOMPARE(Signed(ReadReg(board, 0, ControllerModel::VActual), 12), -500);
    QCOMPARE(Signed(ReadReg(board, 0, ControllerModel::AActual), 12), 0);
    QVERIFY(Signed(ReadReg(board, 0, ControllerModel::XActual), 24) < 0);

    // HOLD keeps the written V_ACTUAL; the step rate is f * V / 2^(PULSDIV + 16).
    WriteReg(board, 0, ControllerModel::RefConfRampMode, ControllerModel::Hold);
    WriteReg(board, 0, ControllerModel::XActual, 0);
    WriteReg(board, 0, ControllerModel::VActual, 1000);
    board.AdvanceTime(1.0);
    QCOMPARE(Signed(ReadReg(board, 0, ControllerModel::VActual), 12), 1000);
    const double expected = 16e6 * 1000 / std::ldexp(1.0, ControllerModel::PowerOnPulseDiv + 16);
    QVERIFY(std::abs(Signed(ReadReg(board, 0, ControllerModel::XActual), 24) - expected) <= 1);

    // Stop as the program does it: VELOCITY with both velocities 0 stands at once.
    WriteReg(board, 0, ControllerModel::RefConfRampMode, ControllerModel::Velocity);
    WriteReg(board, 0, ControllerModel::VTarget, 0);
    WriteReg(board, 0, ControllerModel::VActual, 0);
    const uint32_t x = ReadReg(board, 0, ControllerModel::XActual);
    board.AdvanceTime(1.0);
    QCOMPARE(ReadReg(board, 0, ControllerModel::XActual), x);
  }

  void accelerationStaysWithinAMax() {
    // A start at V_MIN is no acceleration: A_ACTUAL shows A_MAX at most, from the first moment.
    BoardModel ramp(1);
    StartMove(ramp, ControllerModel::Ramp, 10000);
    WriteReg(ramp, 0, ControllerModel::VMin, 50);
    ramp.AdvanceTime(0.0005);
    QVERIFY(Signed(ReadReg(ramp, 0, ControllerModel::VActual), 12) >= 50);
    QCOMPARE(Signed(ReadReg(ramp, 0, ControllerModel::AActual), 12), 100);

    // VELOCITY with A_MAX 0 cannot change speed, so the motor goes on at the speed it has.
    BoardModel velocity(1);
    WriteReg(velocity, 0, ControllerModel::RefConfRampMode, ControllerModel::Hold);
    WriteReg(velocity, 0, ControllerModel::VActual, 500);
    velocity.AdvanceTime(1.0);
    WriteReg(velocity, 0, ControllerModel::RefConfRampMode, ControllerModel::Velocity);
    WriteReg(velocity, 0, ControllerModel::AMax, 0);
    WriteReg(velocity, 0, ControllerModel::VTarget, 1000);
    const int32_t before = Signed(ReadReg(velocity, 0, ControllerModel::XActual), 24);
    velocity.AdvanceTime(1.0);
    QCOMPARE(Signed(ReadReg(velocity, 0, ControllerModel::VActual), 12), 500);
    QCOMPARE(Signed(ReadReg(velocity, 0, ControllerModel::XActual), 24) - before, before);
  }
};

QTEST_GUILESS_MAIN(TestBoardModel)
#include "tst_boardmodel.moc"
