#include "BoardSetup.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <climits>
#include <map>
#include "Ev710Utils.h"
#include "RamTableFile.h"
#include "SetupUnits.h"

namespace setup {

namespace {

QString SectionOf(const QString &kind, int motor) { return motor ? kind + u' ' + QString::number(motor) : kind; }

bool SameField(const DriverField &a, const DriverField &b) {
  return a.Param == b.Param && QLatin1String(a.Control) == QLatin1String(b.Control);
}
bool Holds(const std::vector<DriverField> &fields, const DriverField &f) {
  return std::any_of(fields.begin(), fields.end(), [&f](const DriverField &g) { return SameField(f, g); });
}

// A group's fields with the chopper mode each belongs to (-1 both): the newer drivers' CHOPCONF
// lists the fields both modes share, then the standard mode's, the constant off-time mode's and
// the shared rest.
std::vector<std::pair<DriverField, int>> GroupItems(TBoardKind boardKind, DriverGroup group) {
  const std::vector<DriverField> standard = GroupFields(boardKind, group, 0);
  std::vector<std::pair<DriverField, int>> out;
  if (group != DriverGroup::ChopConf || boardKind == TBoardKind::Qvr550) {
    for (const DriverField &f : standard) out.push_back({f, -1});
    return out;
  }
  const std::vector<DriverField> offTime = GroupFields(boardKind, group, 1);
  size_t shared = 0;
  while (shared < standard.size() && Holds(offTime, standard[shared])) out.push_back({standard[shared++], -1});
  for (const DriverField &f : standard)
    if (!Holds(offTime, f)) out.push_back({f, 0});
  for (const DriverField &f : offTime)
    if (!Holds(standard, f)) out.push_back({f, 1});
  for (size_t i = shared; i < standard.size(); ++i)
    if (Holds(offTime, standard[i])) out.push_back({standard[i], -1});
  return out;
}

std::vector<SetupItem> BuildItems(TBoardKind boardKind) {
  std::vector<SetupItem> items;
  auto addRegisters = [&items](const std::vector<RegisterDef> &defs, const QString &section, int motor) {
    for (const RegisterDef &def : defs)
      for (int i = 0; i < def.Fields.size(); ++i)
        items.push_back({MotorName(def.Fields[i], motor), section, def.Ranges[i].first, def.Ranges[i].second, false, {}});
  };
  for (int motor = 1; motor <= 3; ++motor) addRegisters(MotorRegisterDefs(), SectionOf(QStringLiteral("motor"), motor), motor);
  addRegisters(GlobalRegisterDefs(), QStringLiteral("global"), 0);
  for (int word = 0; word < RamWordCount; ++word) items.push_back({RamWordName(word), QStringLiteral("ram"), 0, 255, true, {}});
  for (int motor : DriverMotors(boardKind))
    for (DriverGroup group : DriverGroups(boardKind))
      for (const auto &[f, mode] : GroupItems(boardKind, group)) {
        SetupItem item{MotorName(DriverItemName(f, boardKind), motor), SectionOf(QStringLiteral("driver"), motor),
                       f.Min, f.Max, false, {}};
        if (mode >= 0) {
          item.ModeItem = MotorName(QStringLiteral("CHM"), motor);
          item.ModeValue = mode;
        }
        items.push_back(item);
      }
  return items;
}

TBoardKind BoardKindNamed(const QString &name) {
  for (TBoardKind kind : {TBoardKind::NewerDrivers, TBoardKind::OlderDrivers, TBoardKind::Qvr550})
    if (name.compare(BoardKindName(kind), Qt::CaseInsensitive) == 0) return kind;
  return TBoardKind::None;
}

bool Fits(const SetupItem &item, const QMap<QString, int> &values) {
  return item.ModeItem.isEmpty() || values.value(item.ModeItem, -1) == item.ModeValue;
}

std::optional<int> ValueOf(const SetupItem &item, const QString &text) {
  bool ok = false;
  const int value = item.Hex ? (text.size() <= 2 ? text.toInt(&ok, 16) : 0) : text.toInt(&ok, 10);
  if (!ok || text.startsWith(u'+') || (item.Hex && text.startsWith(u'-'))) return std::nullopt;
  return value;
}

SetupParse Refused(int line, const QString &what) {
  return {std::nullopt, line, QStringLiteral("line %1: %2").arg(line).arg(what)};
}

const QString Header = QStringLiteral(
    "# QVR710 board setup: the controller's configuration registers, its RAM table and the driver\n"
    "# parameters. Positions, velocities and other live values, the interrupt flags and the SPI\n"
    "# telegrams are no configuration and are not kept.\n");
const QString RamComment =
    QStringLiteral("# Words 00..3F configure the driver datagrams, words 40..7F are the microstep table.\n");
const QString OlderDriversComment = QStringLiteral(
    "\n# The drivers' stall detection thresholds and the QVR515's PWM value cannot be read back from\n"
    "# the board, so they are not kept here.\n");

}  // namespace

QString BoardKindName(TBoardKind boardKind) {
  switch (boardKind) {
    case TBoardKind::NewerDrivers: return QStringLiteral("QVR710+QVR53x-EVAL");
    case TBoardKind::OlderDrivers: return QStringLiteral("QVR710+QVR51x-EVAL");
    case TBoardKind::Qvr550: return QStringLiteral("QVR710+QVR550-EVAL");
    default: return {};
  }
}

const std::vector<SetupItem> &SetupItems(TBoardKind boardKind) {
  static std::map<TBoardKind, std::vector<SetupItem>> items;
  auto it = items.find(boardKind);
  if (it == items.end()) it = items.emplace(boardKind, BuildItems(boardKind)).first;
  return it->second;
}

const SetupItem *FindSetupItem(TBoardKind boardKind, const QString &name) {
  for (const SetupItem &item : SetupItems(boardKind))
    if (item.Name.compare(name, Qt::CaseInsensitive) == 0) return &item;
  return nullptr;
}

QString SetupValueText(const SetupItem &item, int value) {
  return item.Hex ? RamWordText(uint8_t(value)) : QString::number(value);
}

std::vector<const SetupItem *> ItemsOf(const BoardSetup &s) {
  std::vector<const SetupItem *> out;
  for (const SetupItem &item : SetupItems(s.BoardKind))
    if (Fits(item, s.Values)) out.push_back(&item);
  return out;
}

QByteArray SetupText(const BoardSetup &s) {
  QString text = Header + QStringLiteral("format = %1\nboard = %2\n").arg(SetupFormatVersion).arg(BoardKindName(s.BoardKind));
  QString section;
  for (const SetupItem *item : ItemsOf(s)) {
    if (item->Section != section) {
      section = item->Section;
      text += QStringLiteral("\n[%1]\n").arg(section);
      if (section == QLatin1String("ram")) text += RamComment;
    }
    text += item->Name + QStringLiteral(" = ") + SetupValueText(*item, s.Values.value(item->Name)) + u'\n';
  }
  if (s.BoardKind == TBoardKind::OlderDrivers) text += OlderDriversComment;
  return text.toUtf8();
}

SetupParse ParseSetupText(const QByteArray &content, TBoardKind expectedKind) {
  QStringList lines = QString::fromUtf8(content).split(u'\n');
  if (!lines.isEmpty() && lines[0].startsWith(QChar(0xFEFF))) lines[0].remove(0, 1);
  BoardSetup s;
  bool formatSeen = false;
  QString section;
  std::map<QString, int> lineOf;  // item name -> line
  for (int i = 0; i < lines.size(); ++i) {
    const int line = i + 1;
    const QString t = lines[i].trimmed();
    if (t.isEmpty() || t.startsWith(u'#')) continue;
    if (t.startsWith(u'[')) {
      if (s.BoardKind == TBoardKind::None) return Refused(line, QStringLiteral("a section before the lines \"format\" and \"board\""));
      if (!t.endsWith(u']')) return Refused(line, QStringLiteral("\"%1\" is no section header").arg(t));
      section = t.mid(1, t.size() - 2).trimmed().toLower();
      continue;
    }
    const qsizetype equals = t.indexOf(u'=');
    if (equals < 0) return Refused(line, QStringLiteral("\"%1\" is no NAME = value line").arg(t));
    const QString name = t.left(equals).trimmed(), value = t.mid(equals + 1).trimmed();
    if (!formatSeen) {
      if (name.compare(QLatin1String("format"), Qt::CaseInsensitive) != 0 || value != QString::number(SetupFormatVersion))
        return Refused(line, QStringLiteral("not a board setup of format %1 (\"format = %1\" first)").arg(SetupFormatVersion));
      formatSeen = true;
      continue;
    }
    if (s.BoardKind == TBoardKind::None) {
      if (name.compare(QLatin1String("board"), Qt::CaseInsensitive) != 0)
        return Refused(line, QStringLiteral("the line \"board = ...\" must follow the format"));
      s.BoardKind = BoardKindNamed(value);
      if (s.BoardKind == TBoardKind::None) return Refused(line, QStringLiteral("unknown board \"%1\"").arg(value));
      if (expectedKind != TBoardKind::None && s.BoardKind != expectedKind)
        return Refused(line, QStringLiteral("the setup is for the %1 board, this is the %2 board").arg(value, BoardKindName(expectedKind)));
      continue;
    }
    const SetupItem *item = FindSetupItem(s.BoardKind, name);
    if (!item) return Refused(line, QStringLiteral("unknown name \"%1\"").arg(name));
    if (item->Section != section) return Refused(line, QStringLiteral("%1 belongs in [%2]").arg(item->Name, item->Section));
    if (lineOf.count(item->Name))
      return Refused(line, QStringLiteral("%1 is set twice (first on line %2)").arg(item->Name).arg(lineOf[item->Name]));
    const std::optional<int> v = ValueOf(*item, value);
    if (!v) return Refused(line, QStringLiteral("%1: \"%2\" is no %3").arg(item->Name, value, item->Hex ? QStringLiteral("hexadecimal byte") : QStringLiteral("whole number")));
    if (*v < item->Min || *v > item->Max)
      return Refused(line, QStringLiteral("%1 = %2 is out of its range %3..%4").arg(item->Name, value).arg(item->Min).arg(item->Max));
    s.Values[item->Name] = *v;
    lineOf[item->Name] = line;
  }
  if (s.BoardKind == TBoardKind::None) return Refused(int(lines.size()), QStringLiteral("the file ends before the lines \"format\" and \"board\""));
  std::map<int, QString> misplaced;  // line -> error, so the first line is reported
  for (const auto &[name, line] : lineOf) {
    const SetupItem *item = FindSetupItem(s.BoardKind, name);
    if (!Fits(*item, s.Values) && s.Values.contains(item->ModeItem))
      misplaced[line] = QStringLiteral("%1 belongs to %2 = %3").arg(name, item->ModeItem).arg(item->ModeValue);
  }
  if (!misplaced.empty()) return Refused(misplaced.begin()->first, misplaced.begin()->second);
  for (const SetupItem *item : ItemsOf(s))
    if (!s.Values.contains(item->Name)) return Refused(int(lines.size()), QStringLiteral("the file ends without %1").arg(item->Name));
  return {s, 0, QString()};
}

void SaveSetupFile(const QString &path, const BoardSetup &s) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    throw EEvalError(QStringLiteral("Cannot create %1:\n%2").arg(path, file.errorString()));
  const QByteArray text = SetupText(s);
  if (file.write(text) != text.size() || !file.commit()) throw EEvalError(QStringLiteral("File save error!"));
}

BoardSetup LoadSetupFile(const QString &path, TBoardKind expectedKind) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    throw EEvalError(QStringLiteral("Cannot open %1:\n%2").arg(path, file.errorString()));
  const SetupParse parsed = ParseSetupText(file.readAll(), expectedKind);
  if (!parsed.Setup) throw EEvalError(QStringLiteral("%1, %2").arg(path, parsed.Error));
  return *parsed.Setup;
}

std::vector<SetupComparison> CompareSetups(const BoardSetup &a, const BoardSetup &b) {
  if (a.BoardKind != b.BoardKind) return {{QStringLiteral("board"), BoardKindName(a.BoardKind), BoardKindName(b.BoardKind), true}};
  auto text = [](const SetupItem &item, const BoardSetup &s) {
    return s.Values.contains(item.Name) ? SetupValueText(item, s.Values[item.Name]) : QString();
  };
  std::vector<SetupComparison> out;
  for (const SetupItem &item : SetupItems(a.BoardKind))
    if (a.Values.contains(item.Name) || b.Values.contains(item.Name))
      out.push_back({item.Name, text(item, a), text(item, b),
                     a.Values.value(item.Name, INT_MIN) != b.Values.value(item.Name, INT_MIN)});
  return out;
}

std::vector<SetupDifference> DiffSetups(const BoardSetup &a, const BoardSetup &b) {
  std::vector<SetupDifference> out;
  for (const SetupComparison &c : CompareSetups(a, b))
    if (c.Differs) out.push_back({c.Name, c.A, c.B});
  return out;
}

}  // namespace setup
