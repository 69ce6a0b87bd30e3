#pragma once
// A board setup: what configures a board, by the names the register editor and the driver
// windows show, and its text file (.qvrsetup). No widgets.
//
// Names: a motor's controller registers and driver parameters as NAME.M (M 1..3), global ones
// and the QVR550's one driver without a motor, RAM words as RAM_00 .. RAM_7F. Input names are
// taken in any case.
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include "BoardKind.h"
#include <optional>
#include <vector>

namespace setup {

constexpr int SetupFormatVersion = 1;
inline const QString SetupFileSuffix = QStringLiteral("qvrsetup");

// The board as the main window names it: "QVR710+QVR53x-EVAL" for the newer drivers; empty for a kind
// that names none.
QString BoardKindName(TBoardKind boardKind);

// One value a setup may hold.
struct SetupItem {
  QString Name;     // as the file writes it: "V_MAX.1", "SPI_CLK_DIV", "RAM_3F", "TBL.2"
  QString Section;  // "motor 1", "global", "ram", "driver 2", "driver"
  int Min, Max;     // what the field can hold; a value outside is refused, never clamped
  bool Hex;         // written as two hexadecimal digits (RAM words), otherwise decimal
  // Items of one chopper mode only: the setup's value of ModeItem must be ModeValue.
  QString ModeItem;
  int ModeValue = 0;
};
// Every item of a board kind, in the file's order (both chopper modes' items included).
const std::vector<SetupItem> &SetupItems(TBoardKind boardKind);
// The item a name means, in any case; null for none.
const SetupItem *FindSetupItem(TBoardKind boardKind, const QString &name);
// A value as the file writes it.
QString SetupValueText(const SetupItem &item, int value);

struct BoardSetup {
  TBoardKind BoardKind = TBoardKind::None;
  QMap<QString, int> Values;  // by the item's name as SetupItems spells it
  bool operator==(const BoardSetup &) const = default;
};
// The items a setup holds in its file's order: those of its board kind whose chopper mode fits.
std::vector<const SetupItem *> ItemsOf(const BoardSetup &s);

// The file's text: UTF-8, "format = 1", "board = ...", then [section]s of NAME = value lines.
QByteArray SetupText(const BoardSetup &s);

// A whole file read strictly: an unknown or duplicate name, a name in the wrong section, a value
// that is no number or out of its item's range, a wrong format or board kind, an item of the other
// chopper mode, or a missing item is refused with its line number (Line, Error); Setup is then
// empty. expectedKind None takes any known board kind.
struct SetupParse {
  std::optional<BoardSetup> Setup;
  int Line = 0;
  QString Error;  // "line 12: V_MAX.1 = 5000 is out of its range 0..2047"
};
SetupParse ParseSetupText(const QByteArray &text, TBoardKind expectedKind = TBoardKind::None);

// Through QSaveFile, so a failed save leaves the old file. Throws EEvalError.
void SaveSetupFile(const QString &path, const BoardSetup &s);
// Throws EEvalError: the file cannot be read, or the parse error.
BoardSetup LoadSetupFile(const QString &path, TBoardKind expectedKind = TBoardKind::None);

// One name whose values differ; a value a setup does not hold is empty.
struct SetupDifference {
  QString Name, A, B;
  bool operator==(const SetupDifference &) const = default;
};
// In the file's order; setups of different board kinds differ in the line "board" alone.
std::vector<SetupDifference> DiffSetups(const BoardSetup &a, const BoardSetup &b);

// One name either setup holds, with both values (empty where one holds none) and whether they
// differ. CompareSetups lists every such name in the file's order; setups of different board kinds
// compare in the line "board" alone.
struct SetupComparison {
  QString Name, A, B;
  bool Differs = false;
};
std::vector<SetupComparison> CompareSetups(const BoardSetup &a, const BoardSetup &b);

}  // namespace setup
