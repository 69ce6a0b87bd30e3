#include "Ev710Registers.h"

#include "Ev710Utils.h"

namespace ctl {

namespace {

uint8_t Byte(int v) { return static_cast<uint8_t>(v & 0xFF); }
bool BitSet(int v, int bit) { return (v >> bit) & 1; }
int Whole(uint8_t b1, uint8_t b2, uint8_t b3) { return b1 * 65536 + b2 * 256 + b3; }
uint32_t LowBits(int width) { return width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1; }
int HexDigit(QChar c) {
  const char ch = c.toLatin1();
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  return -1;
}

}  // namespace

const std::array<MotorRegisterInfo, MotorRegisterCount> MotorRegisters = {{
    {"X_TARGET", FormSigned24, -8388608, 8388607, true},
    {"X_ACTUAL", FormSigned24, -8388608, 8388607, true},
    {"V_MIN", FormUnsigned, 0, 2047, true},
    {"V_MAX", FormUnsigned, 0, 2047, true},
    {"V_TARGET", FormSigned12, -2048, 2047, true},
    {"V_ACTUAL", FormSigned12, -2048, 2047, true},
    {"A_MAX", FormUnsigned, 0, 2047, true},
    {"A_ACTUAL", FormSigned12, -2048, 2047, false},
    {"I_S_AGTAT / I_S_ALEAT / I_S_V0 / A_THRESHOLD", FormUnsigned, 0, 0, true},
    {"P_MUL / P_DIV", FormUnsigned, 0, 0, true},
    {"REF_CONF / RAMP_MODE", FormUnsigned, 0, 0, true},
    {"INTERRUPT_MASK / INTERRUPT_FLAGS", FormUnsigned, 0, 0, true},
    {"PULSDIV / RAMPDIV / \xC2\xB5STEP_RES", FormUnsigned, 0, 0, true},
    {"DX_REF_TOLERANCE", FormUnsigned, 0, 4095, true},
    {"X_LATCHED", FormSigned24, -8388608, 8388607, false},
    {"USTEP_710", FormUnsigned, 0, 16777215, false},
}};

const std::array<const char *, 8> StatusCaptions = {
    "X_ACTUAL1 = X_TARGET1", "REFERENCE_SWITCH_1", "X_ACTUAL2 = X_TARGET2", "REFERENCE_SWITCH_2",
    "X_ACTUAL3 = X_TARGET3", "REFERENCE_SWITCH_3", "COVER_WAITING",         "INTERRUPT"};
const std::array<const char *, 4> RefConfItems = {"DISABLE_STOP_L", "DISABLE_STOP_R", "SOFT_STOP",
                                                  "REF_RnL"};
const std::array<const char *, 8> InterruptMaskItems = {
    "MASK_POS_END",       "MASK_REF_WRONG",      "MASK_REF_MISS",       "MASK_STOP",
    "MASK_STOP_LEFT_LOW", "MASK_STOP_RIGHT_LOW", "MASK_STOP_LEFT_HIGH", "MASK_STOP_RIGHT_HIGH"};
const std::array<const char *, 8> InterruptFlagsItems = {
    "INT_POS_END",       "INT_REF_WRONG",      "INT_REF_MISS",       "INT_STOP",
    "INT_STOP_LEFT_LOW", "INT_STOP_RIGHT_LOW", "INT_STOP_LEFT_HIGH", "INT_STOP_RIGHT_HIGH"};
const std::array<const char *, 4> RampModeNames = {"RAMP", "SOFTMODE", "VELOCITY", "HOLD"};
const std::array<const char *, 4> PosCompSelTexts = {"0 - Motor 1", "1 - Motor 2", "2 - Motor 3",
                                                     "3 - Off"};
const std::array<const char *, 6> RefSwitchCaptions = {"Right 1", "Left 1", "Right 2",
                                                       "Left 2",  "Right 3", "Left 3"};

// ---- Address bytes ---------------------------------------------------------------------------

uint8_t RegisterAddress(int set, int index, bool read) {
  return Byte(32 * (set & 3) + 2 * (index & 15) + (read ? 1 : 0));
}

uint8_t MotorRegisterAddress(int motor, int index, bool read) {
  return RegisterAddress(motor - 1, index, read);
}

uint8_t GlobalRegisterAddress(int index, bool read) {
  return RegisterAddress(GlobalRegisterSet, index, read);
}

uint8_t RamPairAddress(int pair, bool read) { return Byte(0x80 + 2 * (pair & 63) + (read ? 1 : 0)); }

// ---- Whole values ----------------------------------------------------------------------------

DataBytes SplitValue(int v) { return {Byte(v >> 16), Byte(v >> 8), Byte(v)}; }

DataBytes Compose12Bit(int v) { return {0, Byte((v & 0xFFF) >> 8), Byte(v)}; }

int DecodeValue(uint8_t b1, uint8_t b2, uint8_t b3, int format) {
  return SignExtend(Whole(b1, b2, b3), format);
}

DataBytes ComposeMotorValue(int index, int v) {
  switch (index) {
    case X_TARGET:
    case X_ACTUAL:
      return SplitValue(v);
    case V_MIN:
    case V_MAX:
    case V_TARGET:
    case V_ACTUAL:
    case A_MAX:
    case DX_REF_TOLERANCE:
      return Compose12Bit(v);
    default:  // read-only and multi-field registers
      return {0, 0, 0};
  }
}

int DecodeMotorValue(int index, uint8_t b1, uint8_t b2, uint8_t b3) {
  return DecodeValue(b1, b2, b3, MotorRegisters.at(index).Format);
}

DataBytes ComposeHexText(const QString &digits) {
  DataBytes bytes{};
  for (int i = 0; i < 3 && 2 * i + 1 < digits.size(); ++i) {
    const int high = HexDigit(digits.at(2 * i));
    const int low = HexDigit(digits.at(2 * i + 1));
    if (high >= 0 && low >= 0) bytes[i] = Byte(high * 16 + low);
  }
  return bytes;
}

// ---- Multi-field per-motor registers ---------------------------------------------------------

DataBytes ComposeCurrentScale(const RegCurrentScale &r) {
  return {Byte((r.I_S_AGTAT & 0xF) * 16 + (r.I_S_ALEAT & 0xF)),
          Byte((r.I_S_V0 & 0xF) * 16 + ((r.A_THRESHOLD & 0x7FF) >> 8)), Byte(r.A_THRESHOLD)};
}

RegCurrentScale DecodeCurrentScale(uint8_t b1, uint8_t b2, uint8_t b3) {
  return {b1 >> 4, b1 & 0xF, b2 >> 4, (b2 & 7) * 256 + b3};
}

DataBytes ComposePMulPDiv(const RegPMulPDiv &r) { return {0, Byte(r.P_MUL), Byte(r.P_DIV & 0xF)}; }

RegPMulPDiv DecodePMulPDiv(uint8_t, uint8_t b2, uint8_t b3) { return {b2, b3 & 0xF}; }

DataBytes ComposeRefConf(const RegRefConf &r) {
  return {0, Byte(r.REF_CONF & 0xF), Byte(r.RAMP_MODE & 3)};
}

RegRefConf DecodeRefConf(uint8_t b1, uint8_t b2, uint8_t b3) {
  return {BitSet(b1, 0), b2 & 0xF, b3 & 3};
}

DataBytes ComposeInterrupts(const RegInterrupts &r) {
  return {0, Byte(r.INTERRUPT_MASK), Byte(r.INTERRUPT_FLAGS)};
}

RegInterrupts DecodeInterrupts(uint8_t, uint8_t b2, uint8_t b3) { return {b2, b3}; }

DataBytes ComposeDividers(const RegDividers &r) {
  return {0, Byte((r.PULSDIV & 0xF) * 16 + (r.RAMPDIV & 0xF)), Byte(r.USTEP_RES & 7)};
}

RegDividers DecodeDividers(uint8_t, uint8_t b2, uint8_t b3) { return {b2 >> 4, b2 & 0xF, b3 & 7}; }

// ---- Global registers ------------------------------------------------------------------------

DataBytes ComposeCover(const RegCover &r) {
  return {0, Byte(r.SPI_COVER_POS & 0x3F), Byte(r.SPI_COVER_LEN & 0x1F)};
}

RegCover DecodeCover(uint8_t, uint8_t b2, uint8_t b3) { return {b2 & 0x3F, b3 & 0x1F}; }

DataBytes ComposeIfConfig(const RegIfConfig &r) {
  // POS_COMP_SEL is cut to its two bits so that it cannot spill out of the byte.
  const int b3 = (r.POS_COMP_SEL & 3) * 64 + 32 * r.EN_SD + 16 * r.INV_DIR + 8 * r.INV_STP +
                 4 * r.STEP_HALF + 2 * r.SDO_INT + r.INV_REF;
  return {0, Byte(r.EN_REFR), Byte(b3)};
}

RegIfConfig DecodeIfConfig(uint8_t, uint8_t b2, uint8_t b3) {
  RegIfConfig r;
  r.EN_REFR = BitSet(b2, 0);
  r.POS_COMP_SEL = (b3 >> 6) & 3;
  r.EN_SD = BitSet(b3, 5);
  r.INV_DIR = BitSet(b3, 4);
  r.INV_STP = BitSet(b3, 3);
  r.STEP_HALF = BitSet(b3, 2);
  r.SDO_INT = BitSet(b3, 1);
  r.INV_REF = BitSet(b3, 0);
  return r;
}

DataBytes ComposePosCompInt(const RegPosCompInt &r) { return {0, Byte(r.MASK), Byte(r.INTERRUPT)}; }

RegPosCompInt DecodePosCompInt(uint8_t, uint8_t b2, uint8_t b3) {
  return {BitSet(b2, 0), BitSet(b3, 0)};
}

RegChipVersion DecodeChipVersion(uint8_t b1, uint8_t b2, uint8_t b3) {
  return {b1 * 16 + (b2 >> 4), b2 & 0xF, b3};
}

QString ChipVersionText(uint8_t b1, uint8_t b2, uint8_t b3) {
  const RegChipVersion v = DecodeChipVersion(b1, b2, b3);
  return QStringLiteral("QVR") + IntToHex(v.ChipType, 3) + QStringLiteral(" V") +
         IntToHex(v.MajorRevision, 1) + QLatin1Char('.') + IntToHex(v.MinorRevision, 2);
}

RegRefSwitches DecodeRefSwitches(uint8_t, uint8_t, uint8_t b3) {
  RegRefSwitches r;
  for (int i = 0; i < 6; ++i) r.Switch[i] = BitSet(b3, i);
  return r;
}

DataBytes ComposeGlobalParameters(const RegGlobalParameters &r) {
  const int b1 = r.SPI_CONTINUOUS_UPD + 16 * r.REFMUX + 32 * r.M1R_REF;
  const int b3 = (r.LSMD & 3) + 4 * r.SPI_CS + 8 * r.SPI_CLK + 16 * r.PoPH + 32 * r.PoFD +
                 64 * r.PoDAC + 128 * r.csComInd;
  return {Byte(b1), Byte(r.SPI_CLK_DIV), Byte(b3)};
}

RegGlobalParameters DecodeGlobalParameters(uint8_t b1, uint8_t b2, uint8_t b3) {
  RegGlobalParameters r;
  r.SPI_CONTINUOUS_UPD = BitSet(b1, 0);
  r.REFMUX = BitSet(b1, 4);
  r.M1R_REF = BitSet(b1, 5);
  r.SPI_CLK_DIV = b2;
  r.LSMD = b3 & 3;
  r.SPI_CS = BitSet(b3, 2);
  r.SPI_CLK = BitSet(b3, 3);
  r.PoPH = BitSet(b3, 4);
  r.PoFD = BitSet(b3, 5);
  r.PoDAC = BitSet(b3, 6);
  r.csComInd = BitSet(b3, 7);
  return r;
}

// ---- RAM pairs -------------------------------------------------------------------------------

DataBytes ComposeRamPair(const RamPair &r) { return {0, r.OddWord, r.EvenWord}; }

RamPair DecodeRamPair(uint8_t, uint8_t b2, uint8_t b3) { return {b3, b2}; }

// ---- Status byte and texts -------------------------------------------------------------------

ControllerStatus DecodeStatus(uint8_t status) {
  ControllerStatus s;
  for (int i = 0; i < 8; ++i) s.Bit[i] = BitSet(status, i);
  return s;
}

QString ValueText(int value, int format) {
  if (format < 0) {
    const int digits = qMin(-format, 8);
    return IntToHex(static_cast<uint32_t>(value), digits);
  }
  const int width = format > 0 ? qMin(format + 1, 31) : 24;
  const int raw = static_cast<int>(static_cast<uint32_t>(value) & LowBits(width));
  return QString::number(SignExtend(raw, format));
}

}  // namespace ctl
