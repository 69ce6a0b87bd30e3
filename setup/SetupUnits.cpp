#include "SetupUnits.h"

using namespace ctl;

namespace setup {

namespace {

std::pair<int, int> Bits(int width) { return {0, (1 << width) - 1}; }
const std::pair<int, int> Flag = Bits(1);

// A register of one value: the register map's own range, compose and decode.
RegisterDef SingleValue(int index, const char *name) {
  const MotorRegisterInfo &info = MotorRegisters[index];
  return {index, {QLatin1String(name)}, {{info.Min, info.Max}}, {},
          [index](const DataBytes &b) { return std::vector<int>{DecodeMotorValue(index, b[0], b[1], b[2])}; },
          [index](const std::vector<int> &v) { return ComposeMotorValue(index, v[0]); }};
}

}  // namespace

// Positions, velocities and the other live values are no configuration and are left out, and
// so are LP (read only; every write of its register clears it, as the editor's writes do) and the
// interrupt flags: a flag written as 1 is acknowledged, so the mask's writes carry 0 there.
const std::vector<RegisterDef> &MotorRegisterDefs() {
  static const std::vector<RegisterDef> defs = {
      SingleValue(V_MIN, "V_MIN"),
      SingleValue(V_MAX, "V_MAX"),
      SingleValue(A_MAX, "A_MAX"),
      {CURRENT_SCALE, {"I_S_AGTAT", "I_S_ALEAT", "I_S_V0", "A_THRESHOLD"}, {Bits(4), Bits(4), Bits(4), Bits(11)}, {},
       [](const DataBytes &b) {
         const RegCurrentScale r = DecodeCurrentScale(b[0], b[1], b[2]);
         return std::vector<int>{r.I_S_AGTAT, r.I_S_ALEAT, r.I_S_V0, r.A_THRESHOLD};
       },
       [](const std::vector<int> &v) { return ComposeCurrentScale({v[0], v[1], v[2], v[3]}); }},
      {P_MUL_P_DIV, {"P_MUL", "P_DIV"}, {Bits(8), Bits(4)}, {},
       [](const DataBytes &b) {
         const RegPMulPDiv r = DecodePMulPDiv(b[0], b[1], b[2]);
         return std::vector<int>{r.P_MUL, r.P_DIV};
       },
       [](const std::vector<int> &v) { return ComposePMulPDiv({v[0], v[1]}); }},
      {REF_CONF_RAMP_MODE, {"REF_CONF", "RAMP_MODE"}, {Bits(4), Bits(2)}, {},
       [](const DataBytes &b) {
         const RegRefConf r = DecodeRefConf(b[0], b[1], b[2]);
         return std::vector<int>{r.REF_CONF, r.RAMP_MODE};
       },
       [](const std::vector<int> &v) { return ComposeRefConf({false, v[0], v[1]}); }},
      {INTERRUPT_MASK_FLAGS, {"INTERRUPT_MASK"}, {Bits(8)}, {},
       [](const DataBytes &b) { return std::vector<int>{DecodeInterrupts(b[0], b[1], b[2]).INTERRUPT_MASK}; },
       [](const std::vector<int> &v) { return ComposeInterrupts({v[0], 0}); }},
      {DIVIDERS, {"PULSDIV", "RAMPDIV", "USTEP_RES"}, {Bits(4), Bits(4), Bits(3)}, {},
       [](const DataBytes &b) {
         const RegDividers r = DecodeDividers(b[0], b[1], b[2]);
         return std::vector<int>{r.PULSDIV, r.RAMPDIV, r.USTEP_RES};
       },
       [](const std::vector<int> &v) { return ComposeDividers({v[0], v[1], v[2]}); }},
      SingleValue(DX_REF_TOLERANCE, "DX_REF_TOLERANCE"),
  };
  return defs;
}

// The SPI telegram registers are left out: they are live values, and a write of the cover
// telegram sends it to the drivers. The position compare interrupt is a live flag too; its
// register is read first and the flag written back as read.
const std::vector<RegisterDef> &GlobalRegisterDefs() {
  static const std::vector<RegisterDef> defs = {
      {SPI_COVER_POS_LEN, {"SPI_COVER_POS", "SPI_COVER_LEN"}, {Bits(6), Bits(5)}, {},
       [](const DataBytes &b) {
         const RegCover r = DecodeCover(b[0], b[1], b[2]);
         return std::vector<int>{r.SPI_COVER_POS, r.SPI_COVER_LEN};
       },
       [](const std::vector<int> &v) { return ComposeCover({v[0], v[1]}); }},
      {IF_CONFIG_710,
       {"EN_REFR", "POS_COMP_SEL", "EN_SD", "INV_DIR", "INV_STP", "STEP_HALF", "SDO_INT", "INV_REF"},
       {Flag, Bits(2), Flag, Flag, Flag, Flag, Flag, Flag}, {},
       [](const DataBytes &b) {
         const RegIfConfig r = DecodeIfConfig(b[0], b[1], b[2]);
         return std::vector<int>{r.EN_REFR, r.POS_COMP_SEL, r.EN_SD, r.INV_DIR, r.INV_STP, r.STEP_HALF, r.SDO_INT, r.INV_REF};
       },
       [](const std::vector<int> &v) {
         RegIfConfig r;
         r.EN_REFR = v[0];
         r.POS_COMP_SEL = v[1];
         r.EN_SD = v[2];
         r.INV_DIR = v[3];
         r.INV_STP = v[4];
         r.STEP_HALF = v[5];
         r.SDO_INT = v[6];
         r.INV_REF = v[7];
         return ComposeIfConfig(r);
       }},
      {POS_COMP_710, {"POS_COMP_710"}, {{-8388608, 8388607}}, {},
       [](const DataBytes &b) { return std::vector<int>{DecodeValue(b[0], b[1], b[2], FormSigned24)}; },
       [](const std::vector<int> &v) { return SplitValue(v[0]); }},
      {POS_COMP_INT_710, {"POS_COMP_INT_MASK"}, {Flag}, {"POS_COMP_INT_INTERRUPT"},
       [](const DataBytes &b) {
         const RegPosCompInt r = DecodePosCompInt(b[0], b[1], b[2]);
         return std::vector<int>{r.MASK, r.INTERRUPT};
       },
       [](const std::vector<int> &v) { return ComposePosCompInt({bool(v[0]), bool(v[1])}); }},
      {GLOBAL_PARAMETERS,
       {"M1R_REF", "REFMUX", "SPI_CONTINUOUS_UPD", "SPI_CLK_DIV", "csComInd", "PoDAC", "PoFD", "PoPH", "SPI_CLK",
        "SPI_CS", "LSMD"},
       {Flag, Flag, Flag, Bits(8), Flag, Flag, Flag, Flag, Flag, Flag, Bits(2)}, {},
       [](const DataBytes &b) {
         const RegGlobalParameters r = DecodeGlobalParameters(b[0], b[1], b[2]);
         return std::vector<int>{r.M1R_REF, r.REFMUX, r.SPI_CONTINUOUS_UPD, r.SPI_CLK_DIV, r.csComInd, r.PoDAC,
                                 r.PoFD,    r.PoPH,   r.SPI_CLK,            r.SPI_CS,      r.LSMD};
       },
       [](const std::vector<int> &v) {
         RegGlobalParameters r;
         r.M1R_REF = v[0];
         r.REFMUX = v[1];
         r.SPI_CONTINUOUS_UPD = v[2];
         r.SPI_CLK_DIV = v[3];
         r.csComInd = v[4];
         r.PoDAC = v[5];
         r.PoFD = v[6];
         r.PoPH = v[7];
         r.SPI_CLK = v[8];
         r.SPI_CS = v[9];
         r.LSMD = v[10];
         return ComposeGlobalParameters(r);
       }},
  };
  return defs;
}

QString MotorName(const QString &base, int motor) {
  return motor ? base + u'.' + QString::number(motor) : base;
}

QString RamWordName(int word) { return QStringLiteral("RAM_") + QString::number(word, 16).rightJustified(2, u'0').toUpper(); }

// The older drivers' stall thresholds and PWM value are only ever set, never read back by their
// windows, so a setup cannot take them from the board: they are left out.
std::vector<int> DriverMotors(TBoardKind boardKind) {
  switch (boardKind) {
    case TBoardKind::NewerDrivers: return {1, 2, 3};
    case TBoardKind::Qvr550: return {0};
    default: return {};
  }
}

// The QVR550 window addresses its driver as motor index 2.
uint8_t DriverMotorIndex(TBoardKind boardKind, int motor) { return boardKind == TBoardKind::Qvr550 ? 2 : uint8_t(motor - 1); }

const std::vector<DriverGroup> &DriverGroups(TBoardKind boardKind) {
  static const std::vector<DriverGroup> newer = {DriverGroup::DrvCtrl, DriverGroup::ChopConf, DriverGroup::ThriftLv,
                                                 DriverGroup::LdcsConf, DriverGroup::DrvConf};
  static const std::vector<DriverGroup> qvr550 = {DriverGroup::DrvCtrl,  DriverGroup::ChopConf, DriverGroup::ThriftLv,
                                                  DriverGroup::LdcsConf, DriverGroup::DrvConf,  DriverGroup::Special};
  return boardKind == TBoardKind::Qvr550 ? qvr550 : newer;
}

// The window's label names the field; the constant off-time mode's fields carry no parameter
// name of their own.
QString DriverItemName(const DriverField &f, TBoardKind boardKind) {
  const QLatin1String control(f.Control);
  if (control == QLatin1String("CheckChopConfFDMode")) return QStringLiteral("FDMODE");
  if (control == QLatin1String("EditChopConfSineWaveOffset")) return QStringLiteral("SINE_WAVE_OFFSET");
  if (control == QLatin1String("CbChopConfFastDecayTime")) return QStringLiteral("FAST_DECAY_TIME");
  QString name = DriverParameterName(f.Param, boardKind).toUpper();
  return name.replace(u' ', u'_').replace(u'-', u'_');
}

QStringList DriverFieldItems(const DriverField &f, TBoardKind boardKind, int motor) {
  const QString time = MotorName(QStringLiteral("FAST_DECAY_TIME"), motor);
  if (f.Code == Coding::FastDecayHigh) return {MotorName(QStringLiteral("FDMODE"), motor), time};
  if (f.Code == Coding::FastDecayLow) return {time};
  return {MotorName(DriverItemName(f, boardKind), motor)};
}

int32_t DriverFieldCode(const DriverField &f, TBoardKind boardKind, int motor, const ValueMap &values) {
  const QStringList items = DriverFieldItems(f, boardKind, motor);
  if (f.Code == Coding::FastDecayHigh) return FastDecayHighCode({values.value(items[0]) != 0, values.value(items[1])});
  if (f.Code == Coding::FastDecayLow) return FastDecayLowCode({false, values.value(items[0])});
  return EncodeField(f, values.value(items[0]));
}

}  // namespace setup
