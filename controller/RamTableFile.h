#pragma once
// The controller's 128 RAM words as the RAM page edits them, and the RAM table file: plain text,
// 8 lines of 16 comma-separated fields of two hexadecimal digits, each line ending in CR LF;
// line r holds words 16 * (r - 1) .. 16 * (r - 1) + 15. No widgets.
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

constexpr int RamTableRows = 8;
constexpr int RamTableColumns = 16;
constexpr int RamWordCount = RamTableRows * RamTableColumns;
constexpr int RamPairCount = RamWordCount / 2;
constexpr int RamMicrostepStart = 0x40;  // words 0x40..0x7F: the microstep table

using RamWords = std::array<uint8_t, RamWordCount>;
using RamTexts = std::array<QString, RamWordCount>;

// Shown when a table with a cell that is not two hexadecimal digits is to be written or saved.
QString RamTableInvalidMessage();

// Two upper-case hexadecimal digits.
QString RamWordText(uint8_t word);
// The words of the cell texts when every one is exactly two hexadecimal digits (either case).
std::optional<RamWords> RamWordsFromTexts(const RamTexts &texts);

// The file's exact bytes: upper-case digits, CR LF after every line.
QByteArray RamTableFileText(const RamWords &words);

// A file's contents read as a RAM table: the first 16 fields of each of the first 8 lines, each
// field one or two hexadecimal digits of either case; lines may end in CR LF or LF, the last one
// without its line end. Later lines and fields are not read. Otherwise Error names the first line
// (and field) at fault and Words is empty.
struct RamTableParse {
  std::optional<RamWords> Words;
  QString Error;
};
RamTableParse ParseRamTableFile(const QByteArray &content);

// A longer line is refused without being read in full.
constexpr qint64 RamTableLineLimit = 4096;

// Writes through a temporary file renamed into place, so a failed save leaves the old file as it
// was. Throws EEvalError: the file cannot be created, or "File save error!".
void SaveRamTableFile(const QString &path, const RamWords &words);
// Throws EEvalError: the file cannot be opened, "File load error!" for a read error, or that
// text followed by what makes the contents no RAM table.
RamWords LoadRamTableFile(const QString &path);
