#include "CtlRegisterCommands.h"

#include <QJsonObject>
#include <algorithm>
#include <optional>
#include "BoardAccess.h"
#include "BoardFrames.h"
#include "BoardSetup.h"
#include "DriverParameterMap.h"
#include "Ev710Registers.h"
#include "Ev710Utils.h"
#include "RamTableFile.h"
#include "SetupBoard.h"

using namespace ctl;

namespace ctltool {

namespace {

// A controller register or field the setup file does not keep: the live values, the read-only
// registers and the flags a write acknowledges, by the register editor's names.
struct LiveField {
  QString Name;  // without the motor
  bool PerMotor;
  int Index;     // in a motor's register set or the global one
  int Min, Max;
  bool Writable;
  bool Hex;      // shown as six hexadecimal digits
  std::function<int(const DataBytes &)> Decode;
  // The data that writes value; held is the register as read first when ReadFirst.
  std::function<DataBytes(const DataBytes &held, int value)> Compose;
  bool ReadFirst = false;
};

LiveField MotorValue(MotorRegister index) {
  const MotorRegisterInfo &info = MotorRegisters[size_t(index)];
  return {QLatin1String(info.ItemText), true, index, info.Min, info.Max, info.Writable, false,
          [index](const DataBytes &b) { return DecodeMotorValue(index, b[0], b[1], b[2]); },
          [index](const DataBytes &, int v) { return ComposeMotorValue(index, v); }};
}

LiveField GlobalWord(const char *name, GlobalRegister index, bool writable) {
  return {QLatin1String(name), false, index, 0, 0xFFFFFF, writable, true,
          [](const DataBytes &b) { return DecodeValue(b[0], b[1], b[2], FormUnsigned); },
          [](const DataBytes &, int v) { return SplitValue(v); }};
}

int RefSwitchBits(const DataBytes &b) {
  const RegRefSwitches r = DecodeRefSwitches(b[0], b[1], b[2]);
  int bits = 0;
  for (size_t i = 0; i < r.Switch.size(); ++i) bits |= int(r.Switch[i]) << i;
  return bits;
}

const std::vector<LiveField> &LiveFields() {
  static const std::vector<LiveField> fields = {
      MotorValue(X_TARGET), MotorValue(X_ACTUAL), MotorValue(V_TARGET), MotorValue(V_ACTUAL),
      MotorValue(A_ACTUAL), MotorValue(X_LATCHED), MotorValue(USTEP_710),
      {"LP", true, REF_CONF_RAMP_MODE, 0, 1, false, false,
       [](const DataBytes &b) { return int(DecodeRefConf(b[0], b[1], b[2]).LP); }, {}},
      // A flag written as 1 is acknowledged; the mask is written back as read.
      {"INTERRUPT_FLAGS", true, INTERRUPT_MASK_FLAGS, 0, 255, true, false,
       [](const DataBytes &b) { return DecodeInterrupts(b[0], b[1], b[2]).INTERRUPT_FLAGS; },
       [](const DataBytes &held, int v) {
         return ComposeInterrupts({DecodeInterrupts(held[0], held[1], held[2]).INTERRUPT_MASK, v});
       },
       true},
      GlobalWord("SPI_TELEGRAM_LOW_WORD", SPI_TELEGRAM_LOW_WORD, false),
      GlobalWord("SPI_TELEGRAM_HIGH_WORD", SPI_TELEGRAM_HIGH_WORD, false),
      GlobalWord("SPI_COVER_TELEGRAM", SPI_COVER_TELEGRAM, true),
      {"POS_COMP_INT_INTERRUPT", false, POS_COMP_INT_710, 0, 1, true, false,
       [](const DataBytes &b) { return int(DecodePosCompInt(b[0], b[1], b[2]).INTERRUPT); },
       [](const DataBytes &held, int v) { return ComposePosCompInt({DecodePosCompInt(held[0], held[1], held[2]).MASK, v != 0}); },
       true},
      GlobalWord("CHIP_TYPE_REVISION", CHIP_TYPE_REVISION, false),
      {"REF_SWITCH_STATES", false, REF_SWITCH_STATES, 0, 63, false, false, RefSwitchBits, {}},
  };
  return fields;
}

// One live field of one motor (0 for a global one).
struct LiveName {
  const LiveField *Field;
  int Motor;
  QString Name() const { return Motor ? Field->Name + u'.' + QString::number(Motor) : Field->Name; }
  uint8_t Address(bool read) const {
    return Motor ? MotorRegisterAddress(Motor, Field->Index, read) : GlobalRegisterAddress(Field->Index, read);
  }
};

std::optional<LiveName> FindLive(const QString &name) {
  const qsizetype dot = name.lastIndexOf(u'.');
  const QString base = dot < 0 ? name : name.left(dot);
  const int motor = dot < 0 ? 0 : name.mid(dot + 1).toInt();
  if (dot >= 0 && (motor < 1 || motor > 3)) return std::nullopt;
  for (const LiveField &f : LiveFields())
    if (f.PerMotor == (motor != 0) && f.Name.compare(base, Qt::CaseInsensitive) == 0) return LiveName{&f, motor};
  return std::nullopt;
}

// The older drivers' parameters, only ever set by their windows and never read back: each
// driver's stall detection threshold as the slider's position, and the QVR515's PWM value.
struct SetOnlyParameter {
  QString Name;
  uint8_t Param, MotorIndex;
  int Min, Max;
  std::function<int32_t(int)> Code;
};

const std::vector<SetOnlyParameter> &SetOnlyParameters() {
  const QString sdt = DriverParameterName(DriverParam::StallThreshold, TBoardKind::OlderDrivers);
  static const std::vector<SetOnlyParameter> parameters = {
      {sdt + QStringLiteral(".1"), DriverParam::StallThreshold, 0, 0, 7, StallThresholdCode},
      {sdt + QStringLiteral(".2"), DriverParam::StallThreshold, 1, 0, 7, StallThresholdCode},
      {sdt + QStringLiteral(".3"), DriverParam::StallThreshold, 2, 0, 7, StallThresholdCode},
      {DriverParameterName(DriverParam::PWM515, TBoardKind::OlderDrivers), DriverParam::PWM515, DriverParam::Pwm515Motor,
       0, 255, [](int v) { return v; }},
  };
  return parameters;
}

const SetOnlyParameter *FindSetOnly(TBoardKind boardKind, const QString &name) {
  if (boardKind != TBoardKind::OlderDrivers) return nullptr;
  for (const SetOnlyParameter &p : SetOnlyParameters())
    if (p.Name.compare(name, Qt::CaseInsensitive) == 0) return &p;
  return nullptr;
}

QString DriverFamily(TBoardKind boardKind) {
  switch (boardKind) {
    case TBoardKind::NewerDrivers: return QStringLiteral("QVR53x");
    case TBoardKind::OlderDrivers: return QStringLiteral("QVR51x");
    case TBoardKind::Qvr550: return QStringLiteral("QVR550");
    default: return {};
  }
}

bool IsDriverItem(const setup::SetupItem &item) { return item.Section.startsWith(QLatin1String("driver")); }

// A name given on the command line: a setup item, a live register field or a set-only driver
// parameter.
struct Target {
  const setup::SetupItem *Item = nullptr;
  std::optional<LiveName> Live;
  const SetOnlyParameter *SetOnly = nullptr;
  QString Name() const { return Item ? Item->Name : Live ? Live->Name() : SetOnly->Name; }
  int Min() const { return Item ? Item->Min : Live ? Live->Field->Min : SetOnly->Min; }
  int Max() const { return Item ? Item->Max : Live ? Live->Field->Max : SetOnly->Max; }
};

[[noreturn]] void Refuse(const QString &text) { throw ToolFailure{ExitUsage, text}; }

// Why a name is unknown: a driver parameter of another family names the board's family.
[[noreturn]] void RefuseUnknown(TBoardKind boardKind, const QString &name) {
  for (TBoardKind other : {TBoardKind::NewerDrivers, TBoardKind::Qvr550}) {
    const setup::SetupItem *item = setup::FindSetupItem(other, name);
    if (other != boardKind && item && IsDriverItem(*item))
      Refuse(QStringLiteral("%1 is a parameter of the %2 drivers; this board (%3) has the %4 drivers.")
                 .arg(item->Name, DriverFamily(other), setup::BoardKindName(boardKind), DriverFamily(boardKind)));
  }
  Refuse(QStringLiteral("Unknown name \"%1\".").arg(name));
}

// The editor writes µSTEP_RES where the names elsewhere spell USTEP_RES.
Target Resolve(TBoardKind boardKind, QString name, bool driversOnly) {
  name.replace(QChar(0xB5), u'U');
  Target t;
  t.Item = setup::FindSetupItem(boardKind, name);
  if (!t.Item) t.Live = FindLive(name);
  if (!t.Item && !t.Live) t.SetOnly = FindSetOnly(boardKind, name);
  if (!t.Item && !t.Live && !t.SetOnly) RefuseUnknown(boardKind, name);
  if (driversOnly && !t.SetOnly && !(t.Item && IsDriverItem(*t.Item)))
    Refuse(QStringLiteral("%1 is no driver parameter (see \"get\").").arg(t.Name()));
  return t;
}

QString ValueText(const Target &t, int value) {
  if (t.Item) return setup::SetupValueText(*t.Item, value);
  return t.Live->Field->Hex ? IntToHex(uint32_t(value), 6) : QString::number(value);
}

Report Get(ToolBoard &board, const QStringList &names, bool driversOnly) {
  const TBoardKind kind = board.Session.Identity().Kind;
  std::vector<Target> targets;
  QStringList itemNames;
  for (const QString &name : names) {
    targets.push_back(Resolve(kind, name, driversOnly));
    if (targets.back().SetOnly) Refuse(QStringLiteral("%1 is only ever set: the board cannot report it.").arg(targets.back().Name()));
    if (targets.back().Item) itemNames << targets.back().Item->Name;
  }
  TPollingPause pause(board.Session);
  const QMap<QString, int> items = itemNames.isEmpty() ? QMap<QString, int>() : setup::ReadSetupValues(board.Session, itemNames);
  QJsonObject json;
  QStringList lines;
  for (const Target &t : targets) {
    if (t.Item && !items.contains(t.Item->Name))
      throw ToolFailure{ExitBoardFailed, QStringLiteral("%1 is not in use in the chopper mode the board runs.").arg(t.Item->Name)};
    const int value =
        t.Item ? items[t.Item->Name] : t.Live->Field->Decode(board.Session.ReadDatagram(t.Live->Address(true)));
    json[t.Name()] = value;
    lines << QStringLiteral("%1 = %2").arg(t.Name(), ValueText(t, value));
  }
  return {lines.join(u'\n'), json};
}

// NAME=VALUE pairs, refused before anything is sent when a name is unknown or read only, or a
// value is no whole number or out of its range.
std::vector<std::pair<Target, int>> Assignments(TBoardKind boardKind, const QStringList &texts, bool driversOnly) {
  std::vector<std::pair<Target, int>> out;
  for (const QString &text : texts) {
    const qsizetype eq = text.indexOf(u'=');
    bool ok = false;
    const int value = eq < 0 ? 0 : text.mid(eq + 1).trimmed().toInt(&ok, 0);
    if (!ok) Refuse(QStringLiteral("\"%1\" is no NAME=VALUE with a whole number.").arg(text));
    const Target t = Resolve(boardKind, text.left(eq).trimmed(), driversOnly);
    if (t.Live && !t.Live->Field->Writable) Refuse(QStringLiteral("%1 is read only: it cannot be set.").arg(t.Name()));
    if (value < t.Min() || value > t.Max())
      Refuse(QStringLiteral("%1 = %2 is out of its range %3..%4.").arg(t.Name()).arg(value).arg(t.Min()).arg(t.Max()));
    out.push_back({t, value});
  }
  return out;
}

// The writes after the configuration items, each answered before the next; a lost reply stops
// them. A field of a shared register is read first: a lost reply there writes nothing.
void WriteDirect(TBoardAccess &board, const std::vector<std::pair<Target, int>> &writes, setup::ApplyReport &report) {
  size_t i = 0;
  bool sent = false;
  try {
    for (; i < writes.size(); ++i) {
      const auto &[t, value] = writes[i];
      if (t.SetOnly) {
        sent = true;
        board.SendCommand(1, BoardCommandNumber::SetParameter, t.SetOnly->Param, t.SetOnly->MotorIndex, t.SetOnly->Code(value), true, true);
      } else {
        const DataBytes held = t.Live->Field->ReadFirst ? board.ReadDatagram(t.Live->Address(true)) : DataBytes{};
        const DataBytes data = t.Live->Field->Compose(held, value);
        sent = true;
        board.TransferDatagram(t.Live->Address(false), data[0], data[1], data[2]);
      }
      sent = false;
      report.Written << t.Name();
    }
  } catch (const EEvalError &e) {
    report.Complete = false;
    report.Error = e.Text.isEmpty() ? QStringLiteral("Stopped.") : e.Text;
    (sent ? report.Unconfirmed : report.NotWritten) << writes[i].first.Name();
    for (++i; i < writes.size(); ++i) report.NotWritten << writes[i].first.Name();
  }
}

Report Set(ToolBoard &board, const QStringList &texts, bool driversOnly) {
  QMap<QString, int> items;
  std::vector<std::pair<Target, int>> direct;
  for (const auto &[t, value] : Assignments(board.Session.Identity().Kind, texts, driversOnly)) {
    if (t.Item) items[t.Item->Name] = value;
    else direct.push_back({t, value});
  }
  TPollingPause pause(board.Session);
  setup::ApplyReport report;
  report.Complete = true;
  if (!items.isEmpty()) report = setup::WriteSetupValues(board.Session, items);
  if (report.Complete) WriteDirect(board.Session, direct, report);
  else
    for (const auto &[t, value] : direct) report.NotWritten << t.Name();
  return WriteReport(report);
}

QStringList RamNames() {
  QStringList names;
  for (int word = 0; word < RamWordCount; ++word) names << QStringLiteral("RAM_") + RamWordText(uint8_t(word));
  return names;
}

}  // namespace

Report GetCommand(ToolBoard &board, const QStringList &names) { return Get(board, names, false); }
Report SetCommand(ToolBoard &board, const QStringList &assignments) { return Set(board, assignments, false); }
Report DriverGetCommand(ToolBoard &board, const QStringList &names) { return Get(board, names, true); }
Report DriverSetCommand(ToolBoard &board, const QStringList &assignments) { return Set(board, assignments, true); }

Report RamReadCommand(ToolBoard &board, const QString &path) {
  const QStringList names = RamNames();
  const QMap<QString, int> values = setup::ReadSetupValues(board.Session, names);
  RamWords words{};
  for (int word = 0; word < RamWordCount; ++word) words[size_t(word)] = uint8_t(values.value(names[word]));
  try {
    SaveRamTableFile(path, words);
  } catch (const EEvalError &e) {
    throw ToolFailure{ExitUsage, e.Text};
  }
  return {QStringLiteral("Saved the RAM table (%1 words) to %2.").arg(RamWordCount).arg(path),
          QJsonObject{{"file", path}, {"words", RamWordCount}}};
}

Report RamWriteCommand(ToolBoard &board, const QString &path) {
  RamWords words;
  try {
    words = LoadRamTableFile(path);
  } catch (const EEvalError &e) {
    throw ToolFailure{ExitUsage, e.Text};
  }
  const QStringList names = RamNames();
  QMap<QString, int> values;
  for (int word = 0; word < RamWordCount; ++word) values[names[word]] = words[size_t(word)];
  const setup::ApplyReport r = setup::WriteSetupValues(board.Session, values);
  const int pairs = int(r.Written.size()) / 2;
  const QJsonObject json{{"file", path}, {"pairsWritten", pairs}, {"pairs", RamPairCount}, {"error", r.Error}};
  if (r.Complete) return {QStringLiteral("Wrote the RAM table: all %1 pairs.").arg(RamPairCount), json};
  QString text = QStringLiteral("%1\nWritten: %2 of the %3 pairs (words 00..%4).")
                     .arg(r.Error).arg(pairs).arg(RamPairCount).arg(RamWordText(uint8_t(2 * pairs - 1)));
  if (pairs == 0) text = QStringLiteral("%1\nWritten: none of the %2 pairs.").arg(r.Error).arg(RamPairCount);
  if (!r.Unconfirmed.isEmpty())
    text += QStringLiteral(" Pair %1 (words %2, %3) lost its reply: the board may hold it or not.")
                .arg(pairs)
                .arg(RamWordText(uint8_t(2 * pairs)), RamWordText(uint8_t(2 * pairs + 1)));
  return {text, json, ExitBoardFailed};
}

}  // namespace ctltool
