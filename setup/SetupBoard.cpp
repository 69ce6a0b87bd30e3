#include "SetupBoard.h"

#include <map>
#include <set>
#include "BoardAccess.h"
#include "BoardFrames.h"
#include "Ev710Utils.h"
#include "RamTableFile.h"
#include "SetupUnits.h"

using namespace ctl;

namespace setup {

namespace {

// One write: the items it carries, how to read them (and the fields it keeps) from the board,
// and its request.
struct Unit {
  QStringList Names;
  bool KeepsOthers = false;
  std::function<ValueMap(TBoardAccess &)> Read;
  std::function<SetupRequest(const ValueMap &)> Compose;
};

SetupRequest DatagramRequest(uint8_t address, const DataBytes &b) { return {true, {address, b[0], b[1], b[2]}}; }

int32_t GetParameter(TBoardAccess &board, uint8_t param, uint8_t motor) {
  board.SendCommand(1, BoardCommandNumber::GetParameter, param, motor, 0, true, true);
  const auto &v = board.ReplyValue();
  return int32_t(uint32_t(v[0]) << 24 | uint32_t(v[1]) << 16 | uint32_t(v[2]) << 8 | v[3]);
}

void Send(TBoardAccess &board, const SetupRequest &r) {
  if (r.IsDatagram) board.TransferDatagram(r.Datagram[0], r.Datagram[1], r.Datagram[2], r.Datagram[3]);
  else board.SendCommand(1, BoardCommandNumber::SetParameter, r.Param, r.Motor, r.Code, true, true);
}

Unit RegisterUnit(const RegisterDef &def, int set, int motor) {
  Unit u;
  QStringList all;
  for (const QString &f : def.Fields) u.Names << MotorName(f, motor);
  for (const QString &f : def.Kept) all << MotorName(f, motor);
  u.KeepsOthers = !all.isEmpty();
  all = u.Names + all;
  u.Read = [&def, set, all](TBoardAccess &board) {
    const std::vector<int> v = def.Decode(board.ReadDatagram(RegisterAddress(set, def.Index, true)));
    ValueMap out;
    for (int i = 0; i < all.size(); ++i) out[all[i]] = v[size_t(i)];
    return out;
  };
  u.Compose = [&def, set, all](const ValueMap &values) {
    std::vector<int> v;
    for (const QString &name : all) v.push_back(values.value(name));
    return DatagramRequest(RegisterAddress(set, def.Index, false), def.Compose(v));
  };
  return u;
}

Unit RamPairUnit(int pair) {
  const QString even = RamWordName(2 * pair), odd = RamWordName(2 * pair + 1);
  return {{even, odd}, false,
          [=](TBoardAccess &board) {
            const DataBytes b = board.ReadDatagram(RamPairAddress(pair, true));
            const RamPair words = DecodeRamPair(b[0], b[1], b[2]);
            return ValueMap{{even, words.EvenWord}, {odd, words.OddWord}};
          },
          [=](const ValueMap &values) {
            return DatagramRequest(RamPairAddress(pair, false),
                                   ComposeRamPair({uint8_t(values.value(even)), uint8_t(values.value(odd))}));
          }};
}

// A driver group as its window reads it: the newer drivers' chopper mode, read second, decides
// which CHOPCONF fields follow.
ValueMap ReadDriverGroup(TBoardAccess &board, TBoardKind kind, int motor, DriverGroup group) {
  ValueMap out;
  int32_t code164 = 0;
  auto read = [&](const DriverField &f) {
    const int32_t reply = GetParameter(board, f.Param, DriverMotorIndex(kind, motor));
    const QStringList items = DriverFieldItems(f, kind, motor);
    if (f.Code == Coding::FastDecayHigh) {
      code164 = reply;
      out[items[0]] = DecodeFastDecay(reply, 0).FDMode;
    } else if (f.Code == Coding::FastDecayLow) {
      out[items[0]] = DecodeFastDecay(code164, reply).Index;
    } else {
      out[items[0]] = DecodeField(f, reply, kind);
    }
  };
  std::vector<DriverField> fields = GroupFields(kind, group, 0);
  if (group == DriverGroup::ChopConf && kind != TBoardKind::Qvr550) {
    read(fields[0]);  // TBL
    read(fields[1]);  // CHM
    fields = GroupFields(kind, group, out.value(MotorName(QStringLiteral("CHM"), motor)));
    fields.erase(fields.begin(), fields.begin() + 2);
  }
  for (const DriverField &f : fields) read(f);
  return out;
}

Unit DriverUnit(const DriverField &f, TBoardKind kind, int motor, DriverGroup group) {
  return {DriverFieldItems(f, kind, motor), false,
          [=](TBoardAccess &board) { return ReadDriverGroup(board, kind, motor, group); },
          [=](const ValueMap &values) {
            SetupRequest r;
            r.IsDatagram = false;
            r.Param = f.Param;
            r.Motor = DriverMotorIndex(kind, motor);
            r.Code = DriverFieldCode(f, kind, motor, values);
            return r;
          }};
}

// A group's fields as its window's Set sends them, for the chopper mode the values hold; for
// values without one, both modes' fields (each once), so any of them can be written.
std::vector<DriverField> WrittenFields(TBoardKind kind, int motor, DriverGroup group, const ValueMap &values) {
  const QString chm = MotorName(QStringLiteral("CHM"), motor);
  if (group != DriverGroup::ChopConf || kind == TBoardKind::Qvr550 || values.contains(chm))
    return GroupFields(kind, group, values.value(chm));
  std::vector<DriverField> fields = GroupFields(kind, group, 0);
  for (const DriverField &f : GroupFields(kind, group, 1))
    if (std::none_of(fields.begin(), fields.end(), [&f](const DriverField &g) { return g.Param == f.Param && g.Control == f.Control; }))
      fields.push_back(f);
  return fields;
}

// Every write for the values, in the apply's order (PlanWrites says why).
std::vector<Unit> AllUnits(TBoardKind kind, const ValueMap &values) {
  std::vector<Unit> units;
  for (int motor = 1; motor <= 3; ++motor)
    for (const RegisterDef &def : MotorRegisterDefs()) units.push_back(RegisterUnit(def, motor - 1, motor));
  for (int pair = 0; pair < RamPairCount; ++pair) units.push_back(RamPairUnit(pair));
  for (const RegisterDef &def : GlobalRegisterDefs()) units.push_back(RegisterUnit(def, GlobalRegisterSet, 0));
  for (int motor : DriverMotors(kind))
    for (DriverGroup group : DriverGroups(kind))
      for (const DriverField &f : WrittenFields(kind, motor, group, values)) units.push_back(DriverUnit(f, kind, motor, group));
  return units;
}

bool NeedsRead(const Unit &u, const ValueMap &values) {
  return u.KeepsOthers || std::any_of(u.Names.begin(), u.Names.end(), [&values](const QString &n) { return !values.contains(n); });
}

// The units that carry any of the values.
std::vector<Unit> UnitsFor(TBoardKind kind, const ValueMap &values) {
  std::vector<Unit> out;
  for (Unit &u : AllUnits(kind, values))
    if (std::any_of(u.Names.begin(), u.Names.end(), [&values](const QString &n) { return values.contains(n); }))
      out.push_back(std::move(u));
  return out;
}

QStringList InOrder(TBoardKind kind, const std::set<QString> &names) {
  QStringList out;
  for (const SetupItem &item : SetupItems(kind))
    if (names.count(item.Name)) out << item.Name;
  return out;
}

// Sends the units' writes in one command, each answered before the next; a lost reply stops it.
ApplyReport Apply(TBoardAccess &board, TBoardKind kind, const ValueMap &values, const SetupProgress &progress,
                  const std::function<void(ApplyReport &)> &afterWrites) {
  const std::vector<Unit> units = UnitsFor(kind, values);
  enum State { NotSent, InFlight, Answered };
  std::vector<State> state(units.size(), NotSent);
  ApplyReport report;
  try {
    TPollingPause pause(board);
    for (size_t i = 0; i < units.size(); ++i) {
      ValueMap v = values;
      if (NeedsRead(units[i], values))
        for (const auto &[name, value] : units[i].Read(board).asKeyValueRange())
          if (!values.contains(name)) v[name] = value;
      const SetupRequest request = units[i].Compose(v);
      state[i] = InFlight;
      Send(board, request);
      state[i] = Answered;
      if (progress) progress(int(i) + 1, int(units.size()));
    }
    report.Complete = true;
    afterWrites(report);
  } catch (const EEvalError &e) {
    report.Error = e.Text.isEmpty() ? QStringLiteral("Stopped.") : e.Text;
  }
  // An item is written when all of its writes were answered, not written when none was sent.
  std::map<QString, std::set<State>> states;
  for (size_t i = 0; i < units.size(); ++i)
    for (const QString &name : units[i].Names)
      if (values.contains(name)) states[name].insert(state[i]);
  std::set<QString> written, unconfirmed, notWritten;
  for (const auto &[name, s] : states) {
    if (s == std::set<State>{Answered}) written.insert(name);
    else if (s == std::set<State>{NotSent}) notWritten.insert(name);
    else unconfirmed.insert(name);  // its reply lost, or only some of its writes sent
  }
  report.Written = InOrder(kind, written);
  report.Unconfirmed = InOrder(kind, unconfirmed);
  report.NotWritten = InOrder(kind, notWritten);
  return report;
}

QString Listed(const QString &title, const QStringList &names) {
  return names.isEmpty() ? QString() : QStringLiteral("\n%1 (%2): %3").arg(title).arg(names.size()).arg(names.join(QStringLiteral(", ")));
}

}  // namespace

QString SetupRequest::Text() const {
  if (!IsDatagram) return QStringLiteral("set parameter %1 of motor index %2 to %3").arg(Param).arg(Motor).arg(Code);
  QStringList bytes;
  for (uint8_t b : Datagram) bytes << IntToHex(b, 2);
  return QStringLiteral("datagram ") + bytes.join(u' ');
}

QString PlannedWrite::Text() const {
  const QString names = Names.join(QStringLiteral(", "));
  if (Request) return names + QStringLiteral(": ") + Request->Text();
  return names + QStringLiteral(": read first, then written with the other fields as read");
}

std::vector<PlannedWrite> PlanWrites(TBoardKind boardKind, const QMap<QString, int> &values) {
  std::vector<PlannedWrite> plan;
  for (const Unit &u : UnitsFor(boardKind, values)) {
    PlannedWrite w{u.Names, NeedsRead(u, values), std::nullopt};
    if (!w.ReadFirst) w.Request = u.Compose(values);
    plan.push_back(w);
  }
  return plan;
}

BoardSetup ReadSetup(TBoardAccess &board) {
  BoardSetup s;
  s.BoardKind = board.Identity().Kind;
  TPollingPause pause(board);
  ValueMap read;
  auto take = [&read](const ValueMap &v) { read.insert(v); };
  for (int motor = 1; motor <= 3; ++motor)
    for (const RegisterDef &def : MotorRegisterDefs()) take(RegisterUnit(def, motor - 1, motor).Read(board));
  for (const RegisterDef &def : GlobalRegisterDefs()) take(RegisterUnit(def, GlobalRegisterSet, 0).Read(board));
  for (int pair = 0; pair < RamPairCount; ++pair) take(RamPairUnit(pair).Read(board));
  for (int motor : DriverMotors(s.BoardKind))
    for (DriverGroup group : DriverGroups(s.BoardKind)) take(ReadDriverGroup(board, s.BoardKind, motor, group));
  for (const SetupItem &item : SetupItems(s.BoardKind))
    if (read.contains(item.Name)) s.Values[item.Name] = read[item.Name];
  return s;
}

QMap<QString, int> ReadSetupValues(TBoardAccess &board, const QStringList &names) {
  const TBoardKind kind = board.Identity().Kind;
  ValueMap wanted;
  for (const QString &name : names) {
    const SetupItem *item = FindSetupItem(kind, name);
    if (!item) throw EEvalError(QStringLiteral("Unknown name \"%1\".").arg(name));
    wanted[item->Name] = 0;
  }
  TPollingPause pause(board);
  ValueMap read;
  for (const Unit &u : UnitsFor(kind, wanted))
    if (std::any_of(u.Names.begin(), u.Names.end(), [&](const QString &n) { return wanted.contains(n) && !read.contains(n); }))
      read.insert(u.Read(board));
  ValueMap out;
  for (const QString &name : wanted.keys())
    if (read.contains(name)) out[name] = read[name];
  return out;
}

ApplyReport ApplySetup(TBoardAccess &board, const BoardSetup &setup, const SetupProgress &progress) {
  if (setup.BoardKind != board.Identity().Kind) {
    ApplyReport r;
    r.Error = QStringLiteral("The setup is for the %1 board, this is the %2 board.")
                  .arg(BoardKindName(setup.BoardKind), BoardKindName(board.Identity().Kind));
    for (const SetupItem *item : ItemsOf(setup)) r.NotWritten << item->Name;
    return r;
  }
  return Apply(board, setup.BoardKind, setup.Values, progress, [&](ApplyReport &r) {
    try {
      r.ReadBackDifferences = DiffSetups(setup, ReadSetup(board));
      r.ReadBack = true;
    } catch (const EEvalError &e) {
      r.Error = QStringLiteral("Every value was written, but reading the board back failed: ") + e.Text;
    }
  });
}

ApplyReport WriteSetupValues(TBoardAccess &board, const QMap<QString, int> &values, const SetupProgress &progress) {
  const TBoardKind kind = board.Identity().Kind;
  ValueMap named;
  for (const auto &[name, value] : values.asKeyValueRange()) {
    const SetupItem *item = FindSetupItem(kind, name);
    ApplyReport refused;
    if (!item) refused.Error = QStringLiteral("Unknown name \"%1\".").arg(name);
    else if (value < item->Min || value > item->Max)
      refused.Error = QStringLiteral("%1 = %2 is out of its range %3..%4.").arg(item->Name).arg(value).arg(item->Min).arg(item->Max);
    if (!refused.Error.isEmpty()) {
      refused.NotWritten = values.keys();
      return refused;
    }
    named[item->Name] = value;
  }
  return Apply(board, kind, named, progress, [](ApplyReport &) {});
}

QString ApplyReport::Summary() const {
  QString text;
  if (Complete && ReadBack && ReadBackDifferences.empty())
    return QStringLiteral("All %1 values were written and read back unchanged.").arg(Written.size());
  if (Complete && !ReadBack && Error.isEmpty()) return QStringLiteral("All %1 values were written.").arg(Written.size());
  text = Error.isEmpty() ? QStringLiteral("Every value was written.") : Error;
  if (!Complete) {
    text += Listed(QStringLiteral("Written"), Written);
    text += Listed(QStringLiteral("Perhaps written (the reply was lost)"), Unconfirmed);
    text += Listed(QStringLiteral("Not written"), NotWritten);
  }
  if (!ReadBackDifferences.empty()) {
    QStringList d;
    for (const SetupDifference &x : ReadBackDifferences) d << QStringLiteral("%1 (written %2, read %3)").arg(x.Name, x.A, x.B);
    text += Listed(QStringLiteral("The board holds other values"), d);
  }
  return text;
}

}  // namespace setup
