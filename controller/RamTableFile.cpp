#include "RamTableFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include "Ev710Utils.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The word of a field of two hexadecimal digits, or of one ("1" is 01); lower case is fine.
std::optional<uint8_t> WordOf(QByteArrayView field) {
  if (field.isEmpty() || field.size() > 2) return std::nullopt;
  int word = 0;
  for (char c : field) {
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    word = word * 16 + digit;
  }
  return uint8_t(word);
}

// A field as the message quotes it: at most eight characters, unprintable ones as "?".
QString Quoted(QByteArrayView field) {
  QString text;
  for (char c : field.first(std::min<qsizetype>(field.size(), 8)))
    text += (c >= 0x20 && c < 0x7F) ? QChar::fromLatin1(c) : QChar(u'?');
  if (field.size() > 8) text += QStringLiteral("...");
  return u'"' + text + u'"';
}

QList<QByteArrayView> Split(QByteArrayView text, char separator) {
  QList<QByteArrayView> parts;
  for (qsizetype start = 0;;) {
    const qsizetype end = text.indexOf(separator, start);
    if (end < 0) {
      parts << text.sliced(start);
      return parts;
    }
    parts << text.sliced(start, end - start);
    start = end + 1;
  }
}

QString LineError(int line, const QString &what) { return QStringLiteral("line %1%2").arg(line).arg(what); }

}  // namespace

QString RamTableInvalidMessage() {
  return QStringLiteral("All values in the RAM table must be set\nto two digit hexadecimal values first!");
}

QString RamWordText(uint8_t word) {
  return IntToHex(word, 2);
}

std::optional<RamWords> RamWordsFromTexts(const RamTexts &texts) {
  RamWords words{};
  for (int i = 0; i < RamWordCount; ++i) {
    const QString &t = texts[i];
    if (t.size() != 2 || t[0].unicode() > 0x7F || t[1].unicode() > 0x7F) return std::nullopt;
    const auto word = WordOf(t.toLatin1());
    if (!word) return std::nullopt;
    words[i] = *word;
  }
  return words;
}

QByteArray RamTableFileText(const RamWords &words) {
  QByteArray text;
  for (int i = 0; i < RamWordCount; ++i) {
    text += RamWordText(words[i]).toLatin1();
    text += (i % RamTableColumns == RamTableColumns - 1) ? "\r\n" : ",";
  }
  return text;
}

RamTableParse ParseRamTableFile(const QByteArray &content) {
  if (content.isEmpty()) return {std::nullopt, QStringLiteral("the file is empty")};
  QList<QByteArrayView> lines = Split(content, '\n');
  if (content.endsWith('\n')) lines.removeLast();  // the last line's end, not a line of its own
  RamWords words{};
  for (int row = 0; row < RamTableRows; ++row) {
    const int line = row + 1;
    if (row >= lines.size())
      return {std::nullopt, LineError(line, QStringLiteral(" is missing (a RAM table has %1 lines)").arg(RamTableRows))};
    QByteArrayView text = lines[row];
    if (text.endsWith('\r')) text.chop(1);
    const QList<QByteArrayView> fields = text.isEmpty() ? QList<QByteArrayView>() : Split(text, ',');
    const int read = int(std::min<qsizetype>(fields.size(), RamTableColumns));  // fields after these are ignored
    for (int column = 0; column < read; ++column) {
      const auto word = WordOf(fields[column]);
      if (!word)
        return {std::nullopt, LineError(line, QStringLiteral(", field %1: %2 is not a hexadecimal byte")
                                                  .arg(column + 1).arg(Quoted(fields[column])))};
      words[row * RamTableColumns + column] = *word;
    }
    if (read < RamTableColumns)
      return {std::nullopt, LineError(line, QStringLiteral(" has %1 of the %2 fields of a RAM table line")
                                                .arg(read).arg(RamTableColumns))};
  }
  return {words, QString()};
}

void SaveRamTableFile(const QString &path, const RamWords &words) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    throw EEvalError(QStringLiteral("Cannot create %1:\n%2").arg(path, file.errorString()));
  const QByteArray text = RamTableFileText(words);
  if (file.write(text) != text.size() || !file.commit()) throw EEvalError(QStringLiteral("File save error!"));
}

// Reads the first lines only: whatever follows them is no part of the table.
RamWords LoadRamTableFile(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    throw EEvalError(QStringLiteral("Cannot open %1:\n%2").arg(path, file.errorString()));
  const QString loadError = QStringLiteral("File load error!");
  const auto noTable = [&](const QString &why) {
    return EEvalError(QStringLiteral("%1\n%2 is no RAM table: %3.").arg(loadError, QFileInfo(path).fileName(), why));
  };
  QByteArray content;
  for (int line = 1; line <= RamTableRows && !file.atEnd(); ++line) {
    const QByteArray text = file.readLine(RamTableLineLimit + 1);  // at most RamTableLineLimit bytes
    if (file.error() != QFileDevice::NoError) throw EEvalError(loadError);
    if (!text.endsWith('\n') && !file.atEnd())  // cut short
      throw noTable(LineError(line, QStringLiteral(" is longer than %1 bytes").arg(RamTableLineLimit)));
    content += text;
  }
  const RamTableParse parsed = ParseRamTableFile(content);
  if (!parsed.Words) throw noTable(parsed.Error);
  return *parsed.Words;
}
