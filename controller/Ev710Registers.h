#pragma once
// Motion controller register map: address bytes, compose and decode of every register.
//
// A controller datagram is four bytes: the address byte, then data bits 23..16, 15..8, 7..0.
// A reply is the status byte followed by the same three data bytes. Everything here is a pure
// function of its arguments; the data bytes are called b1, b2, b3 throughout.
#include <QString>
#include <array>
#include <cstdint>

// Register and field names live in namespace ctl (the motion controller), apart from the
// driver chips' names.
namespace ctl {

using DataBytes = std::array<uint8_t, 3>;  // b1 = bits 23..16, b2 = bits 15..8, b3 = bits 7..0

// ---- Register sets and indices ---------------------------------------------------------------

constexpr int GlobalRegisterSet = 3;  // sets 0, 1, 2 are motors 1, 2, 3

enum MotorRegister {
  X_TARGET = 0,
  X_ACTUAL = 1,
  V_MIN = 2,
  V_MAX = 3,
  V_TARGET = 4,
  V_ACTUAL = 5,
  A_MAX = 6,
  A_ACTUAL = 7,
  CURRENT_SCALE = 8,         // I_S_AGTAT / I_S_ALEAT / I_S_V0 / A_THRESHOLD
  P_MUL_P_DIV = 9,           // P_MUL / P_DIV
  REF_CONF_RAMP_MODE = 10,   // LP / REF_CONF / RAMP_MODE
  INTERRUPT_MASK_FLAGS = 11, // INTERRUPT_MASK / INTERRUPT_FLAGS
  DIVIDERS = 12,             // PULSDIV / RAMPDIV / µSTEP_RES
  DX_REF_TOLERANCE = 13,
  X_LATCHED = 14,
  USTEP_710 = 15,            // microstep counter
};
constexpr int MotorRegisterCount = 16;

enum GlobalRegister {
  SPI_TELEGRAM_LOW_WORD = 0,
  SPI_TELEGRAM_HIGH_WORD = 1,
  SPI_COVER_POS_LEN = 2,
  SPI_COVER_TELEGRAM = 3,
  IF_CONFIG_710 = 4,
  POS_COMP_710 = 5,
  POS_COMP_INT_710 = 6,
  CHIP_TYPE_REVISION = 9,
  REF_SWITCH_STATES = 14,
  GLOBAL_PARAMETERS = 15,    // "Stepper Motor Global Parameter Reg."
};

// Display forms of a whole value (the poll table's Format): a positive number is the sign bit of
// a two's complement value, 0 is unsigned decimal, a negative number is that many hex digits.
constexpr int FormSigned24 = 23;
constexpr int FormSigned12 = 11;
constexpr int FormUnsigned = 0;
constexpr int FormHex6 = -6;

// What the editor and the poll cycle need to know of each per-motor register.
struct MotorRegisterInfo {
  const char *ItemText;  // radio item text (UTF-8)
  int Format;            // display form of the whole value
  int Min, Max;          // range of a single-value register; 0, 0 for the multi-field ones
  bool Writable;         // false for the read-only registers (a write carries zero data)
};
extern const std::array<MotorRegisterInfo, MotorRegisterCount> MotorRegisters;

// ---- Address bytes ---------------------------------------------------------------------------

// 32 * set + 2 * index + read flag.
uint8_t RegisterAddress(int set, int index, bool read);
// Motor numbers count from 1 to 3, as in the control names.
uint8_t MotorRegisterAddress(int motor, int index, bool read);
uint8_t GlobalRegisterAddress(int index, bool read);
// 0x80 + 2 * pair + read flag, pair 0..63.
uint8_t RamPairAddress(int pair, bool read);

// ---- Whole values ----------------------------------------------------------------------------

// The low 24 bits of v in two's complement (-1 gives FF FF FF). Used for X_TARGET, X_ACTUAL,
// POS_COMP_710 and the 24-bit telegram registers.
DataBytes SplitValue(int v);
// The low 12 bits of v (-1 gives 00 0F FF): V_MIN, V_MAX, V_TARGET, V_ACTUAL, A_MAX,
// DX_REF_TOLERANCE.
DataBytes Compose12Bit(int v);
// b1 * 65536 + b2 * 256 + b3, sign-extended when format is a sign bit (23 or 11).
int DecodeValue(uint8_t b1, uint8_t b2, uint8_t b3, int format);

// Data bytes that write a single-value motor register (indices 0..7, 13..15); the read-only
// registers and the multi-field indices compose zero data.
DataBytes ComposeMotorValue(int index, int v);
// The value of a single-value motor register, signed or not as the register is.
int DecodeMotorValue(int index, uint8_t b1, uint8_t b2, uint8_t b3);

// Three bytes from six hexadecimal digits (SPI_COVER_TELEGRAM); a pair of characters that is
// not a hexadecimal number gives 0 for that byte only.
DataBytes ComposeHexText(const QString &digits);

// ---- Multi-field per-motor registers ---------------------------------------------------------

struct RegCurrentScale {  // register 8
  int I_S_AGTAT = 0, I_S_ALEAT = 0, I_S_V0 = 0, A_THRESHOLD = 0;
  bool operator==(const RegCurrentScale &) const = default;
};
DataBytes ComposeCurrentScale(const RegCurrentScale &r);
RegCurrentScale DecodeCurrentScale(uint8_t b1, uint8_t b2, uint8_t b3);

struct RegPMulPDiv {  // register 9
  int P_MUL = 128, P_DIV = 0;
  bool operator==(const RegPMulPDiv &) const = default;
};
DataBytes ComposePMulPDiv(const RegPMulPDiv &r);
RegPMulPDiv DecodePMulPDiv(uint8_t b1, uint8_t b2, uint8_t b3);

struct RegRefConf {  // register 10; LP is read only and always written as 0 (which resets it)
  bool LP = false;
  int REF_CONF = 0;   // four flags, bit 0 = "DISABLE_STOP_L"
  int RAMP_MODE = 0;  // 0..3, see RampModeNames
  bool operator==(const RegRefConf &) const = default;
};
DataBytes ComposeRefConf(const RegRefConf &r);
RegRefConf DecodeRefConf(uint8_t b1, uint8_t b2, uint8_t b3);

struct RegInterrupts {  // register 11
  int INTERRUPT_MASK = 0, INTERRUPT_FLAGS = 0;  // eight flags each
  bool operator==(const RegInterrupts &) const = default;
};
DataBytes ComposeInterrupts(const RegInterrupts &r);
RegInterrupts DecodeInterrupts(uint8_t b1, uint8_t b2, uint8_t b3);

struct RegDividers {  // register 12
  int PULSDIV = 0, RAMPDIV = 0, USTEP_RES = 0;  // USTEP_RES is the field µSTEP_RES
  bool operator==(const RegDividers &) const = default;
};
DataBytes ComposeDividers(const RegDividers &r);
RegDividers DecodeDividers(uint8_t b1, uint8_t b2, uint8_t b3);

// ---- Global registers ------------------------------------------------------------------------

struct RegCover {  // global 2
  int SPI_COVER_POS = 0;  // 0..63
  int SPI_COVER_LEN = 0;  // 0..31
  bool operator==(const RegCover &) const = default;
};
DataBytes ComposeCover(const RegCover &r);
RegCover DecodeCover(uint8_t b1, uint8_t b2, uint8_t b3);

struct RegIfConfig {  // global 4
  bool EN_REFR = false;
  int POS_COMP_SEL = 0;  // 0..3, see PosCompSelTexts
  bool EN_SD = false, INV_DIR = false, INV_STP = false, STEP_HALF = false, SDO_INT = false,
       INV_REF = false;
  bool operator==(const RegIfConfig &) const = default;
};
DataBytes ComposeIfConfig(const RegIfConfig &r);
RegIfConfig DecodeIfConfig(uint8_t b1, uint8_t b2, uint8_t b3);

struct RegPosCompInt {  // global 6
  bool MASK = false, INTERRUPT = false;
  bool operator==(const RegPosCompInt &) const = default;
};
DataBytes ComposePosCompInt(const RegPosCompInt &r);
RegPosCompInt DecodePosCompInt(uint8_t b1, uint8_t b2, uint8_t b3);

struct RegChipVersion {  // global 9, read only
  int ChipType = 0;       // data bits 23..12
  int MajorRevision = 0;  // 11..8
  int MinorRevision = 0;  // 7..0
};
RegChipVersion DecodeChipVersion(uint8_t b1, uint8_t b2, uint8_t b3);
// "QVR" + type as three hex digits + " V" + major + "." + minor as two hex digits:
// 12 34 56 gives "QVR123 V4.56".
QString ChipVersionText(uint8_t b1, uint8_t b2, uint8_t b3);

struct RegRefSwitches {  // global 14, read only; index 2 * (motor - 1) is right, + 1 is left
  std::array<bool, 6> Switch{};
  bool Right(int motor) const { return Switch[2 * (motor - 1)]; }
  bool Left(int motor) const { return Switch[2 * (motor - 1) + 1]; }
};
RegRefSwitches DecodeRefSwitches(uint8_t b1, uint8_t b2, uint8_t b3);

struct RegGlobalParameters {  // global 15
  bool M1R_REF = false, REFMUX = false, SPI_CONTINUOUS_UPD = false;
  int SPI_CLK_DIV = 0;  // 0..255
  bool csComInd = false, PoDAC = false, PoFD = false, PoPH = false, SPI_CLK = false,
       SPI_CS = false;
  int LSMD = 0;  // 0..3
  bool operator==(const RegGlobalParameters &) const = default;
};
DataBytes ComposeGlobalParameters(const RegGlobalParameters &r);
RegGlobalParameters DecodeGlobalParameters(uint8_t b1, uint8_t b2, uint8_t b3);

// ---- RAM pairs -------------------------------------------------------------------------------

// Pair p holds word 2p in data bits 7..0 and word 2p + 1 in bits 15..8; bits 23..16 are zero
// in writes and ignored in reads.
struct RamPair {
  uint8_t EvenWord = 0, OddWord = 0;
  bool operator==(const RamPair &) const = default;
};
DataBytes ComposeRamPair(const RamPair &r);
RamPair DecodeRamPair(uint8_t b1, uint8_t b2, uint8_t b3);

// ---- Status byte -----------------------------------------------------------------------------

struct ControllerStatus {
  std::array<bool, 8> Bit{};  // bit i of the status byte, captioned StatusCaptions[i]
  bool PositionReached(int motor) const { return Bit[2 * (motor - 1)]; }  // X_ACTUAL = X_TARGET
  bool ReferenceSwitch(int motor) const { return Bit[2 * (motor - 1) + 1]; }
  bool CoverWaiting() const { return Bit[6]; }
  bool Interrupt() const { return Bit[7]; }
};
ControllerStatus DecodeStatus(uint8_t status);

// ---- Texts -----------------------------------------------------------------------------------

// The decimal text of value in a decimal form (23 and 11 signed, 0 unsigned), or exactly
// -format upper-case hex digits in a hexadecimal form. The value is first cut to the form's
// width (24 bits, or 12 for sign bit 11), so raw and already sign-extended values read alike.
QString ValueText(int value, int format);

extern const std::array<const char *, 8> StatusCaptions;        // "X_ACTUAL1 = X_TARGET1" ...
extern const std::array<const char *, 4> RefConfItems;          // "DISABLE_STOP_L" ...
extern const std::array<const char *, 8> InterruptMaskItems;    // "MASK_POS_END" ...
extern const std::array<const char *, 8> InterruptFlagsItems;   // "INT_POS_END" ...
extern const std::array<const char *, 4> RampModeNames;         // "RAMP", "SOFTMODE", ...
extern const std::array<const char *, 4> PosCompSelTexts;       // "0 - Motor 1" ...
extern const std::array<const char *, 6> RefSwitchCaptions;     // "Right 1", "Left 1", ...

enum RampMode { RampModeRamp = 0, RampModeSoft = 1, RampModeVelocity = 2, RampModeHold = 3 };

}  // namespace ctl
