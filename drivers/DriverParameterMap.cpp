#include "DriverParameterMap.h"
#include <algorithm>
#include <cmath>

using namespace DriverParam;

namespace {

DriverField Index(uint8_t p, const char *control, int items) { return {p, control, Coding::Index, 0, 0, items - 1}; }
DriverField Flag(uint8_t p, const char *control) { return {p, control, Coding::Flag, 0, 0, 1}; }
DriverField Number(uint8_t p, const char *control, int min, int max, int offset = 0) {
  return {p, control, Coding::Number, offset, min, max};
}

const DriverField TblField = Index(TBL, "CbChopConfTbl", 4);
const DriverField ToffField = Number(TOFF, "EditChopConfTOff", 0, 15);
const DriverField RndTfField = Flag(RNDTF, "CheckChopConfRndTf");

std::vector<DriverField> ChopConf(TBoardKind boardKind, int chopperMode) {
  if (boardKind == TBoardKind::Qvr550)
    return {TblField, ToffField, RndTfField, Index(CSYNC, "CbChopConfCSync", 2), Index(CDIR, "CbChopConfCDir", 2),
            Flag(NOSD, "CheckChopConfNoSlowDecay"), Number(HYST, "EditChopConfHyst", 0, 63)};
  const DriverField chm = Index(CHM, "CbChopConfChm", 2);
  if (chopperMode == 1)
    return {TblField, chm, {FastDecayHigh, "CheckChopConfFDMode", Coding::FastDecayHigh, 0, 0, 1},
            Number(SineWaveOffset, "EditChopConfSineWaveOffset", -3, 12, 3),
            {FastDecayLow, "CbChopConfFastDecayTime", Coding::FastDecayLow, 0, 0, 15}, ToffField, RndTfField};
  return {TblField, chm, Index(HDEC, "CbChopConfHDec", 4), Number(HEND, "EditChopConfHEnd", -3, 12, 3),
          Number(HSTRT, "EditChopConfHStart", 1, 8, -1), ToffField, RndTfField};
}

}  // namespace

QString DriverParameterName(uint8_t number, TBoardKind boardKind) {
  if (boardKind == TBoardKind::OlderDrivers) {
    switch (number) {
      case PWM515: return QStringLiteral("PWM");
      case StallThreshold: return QStringLiteral("SDT");
      case LDValue: return QStringLiteral("LD");
      case StatusFlags: return QStringLiteral("status flags");
      default: return {};
    }
  }
  const bool qvr550 = boardKind == TBoardKind::Qvr550;
  switch (number) {
    case CS: return QStringLiteral("CS");
    case MRES: return QStringLiteral("MRES");
    case INTPOL: return QStringLiteral("INTPOL");
    case DEDGE: return QStringLiteral("DEDGE");
    case TBL: return QStringLiteral("TBL");
    case CHM: return qvr550 ? QString() : QStringLiteral("CHM");
    case HDEC: return qvr550 ? QString() : QStringLiteral("HDEC");
    case HEND: return qvr550 ? QString() : QStringLiteral("HEND");
    case HSTRT: return qvr550 ? QString() : QStringLiteral("HSTRT");
    case TOFF: return QStringLiteral("TOFF");
    case RNDTF: return QStringLiteral("RNDTF");
    case TLIMIN: return QStringLiteral("TLIMIN");
    case TLDN: return QStringLiteral("TLDN");
    case TLMAX: return QStringLiteral("TLMAX");
    case TLUP: return QStringLiteral("TLUP");
    case TLMIN: return QStringLiteral("TLMIN");
    case SFILT: return QStringLiteral("SFILT");
    case LDT: return QStringLiteral("LDT");
    case SLPH: return QStringLiteral("SLPH");
    case SLPL: return QStringLiteral("SLPL");
    case DISS2G: return QStringLiteral("DISS2G");
    case TS2G: return QStringLiteral("TS2G");
    case VSENSE: return QStringLiteral("VSENSE");
    case SDOFF: return QStringLiteral("SDOFF");
    case TST: return qvr550 ? QStringLiteral("CSYNC") : QStringLiteral("TST");
    case CDIR: return qvr550 ? QStringLiteral("CDIR") : QString();
    case NOSD: return qvr550 ? QStringLiteral("NOSD") : QString();
    case HYST: return qvr550 ? QStringLiteral("HYST") : QString();
    case SSPD: return qvr550 ? QStringLiteral("SSPD") : QString();
    case StopOnStallSpeed: return qvr550 ? QStringLiteral("stop-on-stall speed") : QString();
    case TLValue: return QStringLiteral("TL");
    case MStep: return QStringLiteral("MSTEP");
    case LDValue: return QStringLiteral("LD");
    case LDPin: return qvr550 ? QString() : QStringLiteral("LD_TST");
    case StatusFlags: return QStringLiteral("status flags");
    default: return {};
  }
}

ReadRule ReadRuleOf(uint8_t number, TBoardKind boardKind) {
  switch (number) {
    case LDT: return ReadRule::Signed32;
    case MStep: case StopOnStallSpeed: return ReadRule::Low16;
    case LDValue: return boardKind == TBoardKind::OlderDrivers ? ReadRule::LowByte : ReadRule::Low16;
    default: return ReadRule::LowByte;
  }
}

int32_t ReadCode(uint8_t number, TBoardKind boardKind, int32_t replyValue) {
  switch (ReadRuleOf(number, boardKind)) {
    case ReadRule::Signed32: return replyValue;
    case ReadRule::Low16: return replyValue & 0xFFFF;
    default: return replyValue & 0xFF;
  }
}

int32_t EncodeField(const DriverField &f, int shown) {
  switch (f.Code) {
    case Coding::Flag: return shown ? 1 : 0;
    case Coding::Number: return shown + f.Offset;
    default: return shown;
  }
}

int DecodeField(const DriverField &f, int32_t replyValue, TBoardKind boardKind) {
  const int32_t code = ReadCode(f.Param, boardKind, replyValue);
  switch (f.Code) {
    case Coding::Flag: return code != 0 ? 1 : 0;
    case Coding::Number: return code - f.Offset;
    default: return code;
  }
}

std::vector<DriverField> GroupFields(TBoardKind boardKind, DriverGroup group, int chopperMode) {
  const bool qvr550 = boardKind == TBoardKind::Qvr550;
  switch (group) {
    case DriverGroup::DrvCtrl:
      return {Flag(INTPOL, "CheckDrvCtrlIntpol"), Flag(DEDGE, "CheckDrvCtrlDEdge"), Index(MRES, "CbDrvCtrlMRes", 9)};
    case DriverGroup::ChopConf: return ChopConf(boardKind, chopperMode);
    case DriverGroup::ThriftLv:
      return {Index(TLIMIN, "CbThriftLvTLIMin", 2), Index(TLDN, "CbThriftLvTLDN", 4), Number(TLMAX, "EditThriftLvTLMax", 0, 15),
              Index(TLUP, "CbThriftLvTLUP", 4), Number(TLMIN, "EditThriftLvTLMin", 0, 15)};
    case DriverGroup::LdcsConf: {
      std::vector<DriverField> f = {Flag(SFILT, "CheckLDSConfSFilt"), {LDT, "EditLDSConfLDT", Coding::Signed, 0, -64, 63},
                                    Number(CS, "EditLDSConfCurrentScale", 0, 31)};
      if (qvr550) f.insert(f.begin() + 2, Flag(SSPD, "CheckLDSConfSSpd"));
      return f;
    }
    case DriverGroup::DrvConf: {
      std::vector<DriverField> f = {Index(SLPH, "CbDrvConfSLPH", 4), Index(SLPL, "CbDrvConfSLPL", 4),
                                    Flag(DISS2G, "CheckDrvConfDisS2G"), Index(TS2G, "CbDrvConfTS2G", 4),
                                    Index(VSENSE, "CbDrvConfVSense", 2), Flag(SDOFF, "CheckDrvConfSDOff")};
      if (!qvr550) f.push_back(Flag(TST, "CheckDrvConfTestMode"));
      return f;
    }
    case DriverGroup::Special:
      if (qvr550) return {Number(StopOnStallSpeed, "EditStopOnStallSpeed", 0, 2047)};
      return {};
  }
  return {};
}

std::vector<DriverField> AllFields(TBoardKind boardKind) {
  std::vector<DriverField> all;
  auto add = [&all](const std::vector<DriverField> &fields) {
    for (const DriverField &f : fields)
      if (std::none_of(all.begin(), all.end(), [&f](const DriverField &g) { return g.Param == f.Param && g.Control == f.Control; }))
        all.push_back(f);
  };
  for (DriverGroup g : {DriverGroup::DrvCtrl, DriverGroup::ChopConf, DriverGroup::ThriftLv, DriverGroup::LdcsConf,
                        DriverGroup::DrvConf, DriverGroup::Special})
    add(GroupFields(boardKind, g, 0));
  if (boardKind != TBoardKind::Qvr550) add(GroupFields(boardKind, DriverGroup::ChopConf, 1));
  return all;
}

int32_t FastDecayHighCode(const FastDecay &fd) { return 2 * (fd.FDMode ? 1 : 0) + (fd.Index > 7 ? 1 : 0); }

int32_t FastDecayLowCode(const FastDecay &fd) { return fd.Index & 7; }

FastDecay DecodeFastDecay(int32_t code164, int32_t code166) {
  return {(code164 & 2) != 0, 8 * (code164 & 1) + (code166 & 7)};
}

std::vector<StatusFlag> StatusFlagsOf(TBoardKind boardKind) {
  switch (boardKind) {
    case TBoardKind::Qvr550:
      return {{0, "LD", "LedDrvStatusLD"},      {1, "OT", "LedDrvStatusOT"},   {2, "OTPW", "LedDrvStatusOTPW"},
              {3, "S2G", "LedDrvStatusS2GA"},   {5, "OL", "LedDrvStatusOLA"},  {7, "STST", "LedDrvStatusSTST"}};
    case TBoardKind::OlderDrivers:
      return {{0, "OC-A", "LED_OCA_"},   {1, "OC-B", "LED_OCB_"}, {2, "OL-A", "LED_OLA_"},   {3, "OL-B", "LED_OLB_"},
              {4, "OC-HS", "LED_OCHS_"}, {5, "UV", "LED_UV_"},    {6, "OT-PW", "LED_OTPW_"}, {7, "OT", "LED_OT_"}};
    default:
      return {{0, "LD", "LedDrvStatusLD"},    {1, "OT", "LedDrvStatusOT"},    {2, "OTPW", "LedDrvStatusOTPW"},
              {3, "S2GA", "LedDrvStatusS2GA"}, {4, "S2GB", "LedDrvStatusS2GB"}, {5, "OLA", "LedDrvStatusOLA"},
              {6, "OLB", "LedDrvStatusOLB"},   {7, "STST", "LedDrvStatusSTST"}};
  }
}

Microstep DecodeMicrostep(uint8_t b1, uint8_t b0) {
  const bool bit9 = b1 & 2, bit8 = b1 & 1;
  return {LoadValue(b1, b0), bit9, bit9 != bit8};
}

double SenseVoltageOf(int vsenseIndex) { return vsenseIndex == 1 ? 0.165 : 0.31; }

std::optional<CoilCurrent> CoilCurrentOf(double senseVoltage, double rSense, int currentScale) {
  if (!(rSense > 0)) return std::nullopt;
  const double peak = senseVoltage / rSense * (currentScale + 1) / 32.0;
  return CoilCurrent{peak, peak / std::sqrt(2.0)};
}

QString CurrentText(double amperes) { return QString::number(amperes, 'f', 3); }
