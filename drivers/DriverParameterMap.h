#pragma once
// The driver parameter map: which axis parameter ("set axis parameter" 5 / "get axis parameter" 6)
// carries which field of which driver register group, how a window control's value is coded into
// the parameter's value and decoded from a reply, and how the status parameters are decoded.
// Plain C++, no widgets.
#include <QString>
#include <cstdint>
#include "BoardKind.h"
#include <optional>
#include <vector>

// Board kinds as identified at connection.

// Parameter numbers. One number can carry different fields on different boards: 185 is TST on
// the newer drivers and CSYNC on the QVR550; 6 is CS except on the older-driver board, where it
// is the QVR515's PWM value.
namespace DriverParam {
constexpr uint8_t CS = 6, PWM515 = 6;
constexpr uint8_t MRES = 140, INTPOL = 160, DEDGE = 161;
constexpr uint8_t TBL = 162, CHM = 163, HDEC = 164, HEND = 165, HSTRT = 166, TOFF = 167, RNDTF = 184;
constexpr uint8_t FastDecayHigh = 164, SineWaveOffset = 165, FastDecayLow = 166;  // CHM "const. Toff"
constexpr uint8_t TLIMIN = 168, TLDN = 169, TLMAX = 170, TLUP = 171, TLMIN = 172;
constexpr uint8_t SFILT = 173, LDT = 174;
constexpr uint8_t SLPH = 175, SLPL = 176, DISS2G = 177, TS2G = 178, VSENSE = 179, SDOFF = 183, TST = 185;
constexpr uint8_t CSYNC = 185, CDIR = 186, NOSD = 187, HYST = 188, SSPD = 189, StopOnStallSpeed = 181;
// Status parameters, read by the poll cycle.
constexpr uint8_t TLValue = 180, MStep = 182, LDValue = 206, LDPin = 207, StatusFlags = 208;
// Older drivers: stall detection threshold.
constexpr uint8_t StallThreshold = 205;
constexpr uint8_t Pwm515Motor = 1;  // the QVR515's motor index, for its PWM value
}  // namespace DriverParam

// The older drivers' stall detection threshold for the slider position 0 ("SDT Off") .. 7.
inline int32_t StallThresholdCode(int position) { return 8 - position; }

// The field's name behind a parameter number on a board kind ("TST" or "CSYNC" for 185, "CS" or
// "PWM" for 6); empty for a number the board kind does not use.
QString DriverParameterName(uint8_t number, TBoardKind boardKind);

// How a reply's 32-bit value is read.
enum class ReadRule { LowByte, Low16, Signed32 };
ReadRule ReadRuleOf(uint8_t number, TBoardKind boardKind);
int32_t ReadCode(uint8_t number, TBoardKind boardKind, int32_t replyValue);

// How a control's value becomes the parameter's code.
enum class Coding {
  Index,     // drop-down list: the item index
  Flag,      // check box: 1 checked, 0 clear; a read checks it when the code is not 0
  Number,    // spin edit: value + Offset; a read shows code - Offset
  Signed,    // spin edit, LDT: the value as 32-bit two's complement, read whole
  FastDecayHigh, FastDecayLow,  // constant off-time mode's 164 and 166 (FastDecay below)
};

struct DriverField {
  uint8_t Param;
  const char *Control;  // the window control's object name
  Coding Code;
  int Offset = 0;       // Number: code = shown value + Offset
  int Min = 0, Max = 0; // the control's range: a spin edit's limits, a list's items 0..count - 1,
                        // a check box 0..1, the fast decay time's items 0..15
};

// Index, Flag, Number and Signed fields; the fast decay fields take both of their controls.
int32_t EncodeField(const DriverField &f, int shown);
int DecodeField(const DriverField &f, int32_t replyValue, TBoardKind boardKind);

enum class DriverGroup { DrvCtrl, ChopConf, ThriftLv, LdcsConf, DrvConf, Special };

// The fields of a register group in request order, for the newer drivers or the QVR550. The newer
// drivers' CHOPCONF depends on the chopper mode (CHM 0 "standard", 1 "const. Toff"); in constant
// off-time mode parameters 164 and 166 carry FDMODE and the fast decay time (FastDecay below).
std::vector<DriverField> GroupFields(TBoardKind boardKind, DriverGroup group, int chopperMode = 0);
// Every field of a board kind's window, each (parameter, control) pair once.
std::vector<DriverField> AllFields(TBoardKind boardKind);

// Constant off-time mode: FDMODE and the fast decay time item (0..15, item n = n x 32 clocks)
// share parameters 164 (2 x FDMODE + bit 3 of the item) and 166 (bits 0..2 of the item).
struct FastDecay {
  bool FDMode = false;
  int Index = 0;
};
int32_t FastDecayHighCode(const FastDecay &fd);
int32_t FastDecayLowCode(const FastDecay &fd);
FastDecay DecodeFastDecay(int32_t code164, int32_t code166);

// --- Status ----------------------------------------------------------------------------------

// The status parameters the poll cycle reads, in the order of its rows: the newer drivers' TL and
// LD pairs of motors 0, 1, 2 and then the selected motor's rows; the QVR550's rows; the older
// drivers' load and flags pairs of motors 0, 1, 2.
constexpr uint8_t NewerDriverStatusParams[] = {
    DriverParam::TLValue, DriverParam::LDValue, DriverParam::TLValue, DriverParam::LDValue,
    DriverParam::TLValue, DriverParam::LDValue, DriverParam::MStep,   DriverParam::StatusFlags,
    DriverParam::LDPin,   DriverParam::CS,      DriverParam::TLIMIN,  DriverParam::TLMAX,
    DriverParam::TLMIN};
constexpr uint8_t Qvr550StatusParams[] = {
    DriverParam::TLValue, DriverParam::LDValue, DriverParam::MStep,  DriverParam::StatusFlags,
    DriverParam::CS,      DriverParam::TLIMIN,  DriverParam::TLMAX,  DriverParam::TLMIN};
constexpr uint8_t OlderDriverStatusParams[] = {
    DriverParam::LDValue, DriverParam::StatusFlags, DriverParam::LDValue,
    DriverParam::StatusFlags, DriverParam::LDValue, DriverParam::StatusFlags};

// One flag of the status word (parameter 208, low byte) with the indicator showing it.
struct StatusFlag {
  int Bit;
  const char *Name;
  const char *Led;  // indicator object name; for the older drivers without the motor group's chip number
};
// The flags a board kind's status word carries, bit 0 first.
std::vector<StatusFlag> StatusFlagsOf(TBoardKind boardKind);

// Microstep position MSTEP and the phase polarities derived from its bits 9 and 8.
struct Microstep {
  int Position;
  bool PhaseA;  // bit 9
  bool PhaseB;  // bit 9 XOR bit 8
};
Microstep DecodeMicrostep(uint8_t b1, uint8_t b0);
inline int LoadValue(uint8_t b1, uint8_t b0) { return b1 << 8 | b0; }

// Sense resistor voltage for the VSENSE item (0: 0.31 V, 1: 0.165 V).
double SenseVoltageOf(int vsenseIndex);

// Coil current from the sense resistor: peak = Vsense / RSense x (CS + 1) / 32, RMS = peak / sqrt 2.
struct CoilCurrent {
  double Peak, Rms;
};
// Nothing for a resistance that is not greater than 0.
std::optional<CoilCurrent> CoilCurrentOf(double senseVoltage, double rSense, int currentScale);
QString CurrentText(double amperes);  // fixed point, 3 decimals
