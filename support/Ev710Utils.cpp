#include "Ev710Utils.h"

QString ExtractField(const QString &S, QChar Delim, int N)
{
  QString rest = S, field;
  for (int i = 0; i < N; ++i) {
    const qsizetype p = rest.indexOf(Delim);
    if (p < 0) {
      field = rest;
      rest.clear();
    } else {
      field = rest.left(p);
      rest = rest.mid(p + 1);
    }
  }
  return field;
}

int SignExtend(int Value, int SignBit)
{
  // Sign-bit positions beyond 30 cannot be represented in a 32-bit result; treat as unsigned.
  if (SignBit <= 0 || SignBit > 30)
    return Value;
  const qint64 signWeight = qint64(1) << SignBit;
  if (Value >= signWeight)
    return int(Value - 2 * signWeight);
  return Value;
}

QString IntToBin(int Value, int Digits)
{
  const quint64 bits = quint32(Value);
  QString text;
  text.reserve(qMax(Digits, 0));
  for (int i = Digits - 1; i >= 0; --i)
    text += (i < 32 && (bits >> i) & 1) ? QLatin1Char('1') : QLatin1Char('0');
  return text;
}

// Strips leading and trailing characters with codes up to 32 (blanks and control characters).
static QString TrimControls(const QString &S)
{
  qsizetype first = 0, last = S.size();
  while (first < last && S[first].unicode() <= 32)
    ++first;
  while (last > first && S[last - 1].unicode() <= 32)
    --last;
  return S.mid(first, last - first);
}

int BinToInt(const QString &S)
{
  const QString text = TrimControls(S);
  quint32 weight = 1;  // wraps to 0 after 32 digits: only the rightmost 32 weigh
  quint32 sum = 0;
  for (qsizetype i = text.size() - 1; i >= 0; --i) {
    const QChar c = text[i];
    if (c == QLatin1Char(' '))
      break;
    if (c == QLatin1Char('1'))
      sum += weight;
    else if (c != QLatin1Char('0'))
      throw EConvertError(QStringLiteral("Ungültige Binärzahl"));
    weight <<= 1;
  }
  return int(sum);
}

int IfThenInt(bool B, int T, int F) { return B ? T : F; }

QString IfThenStr(bool B, const QString &T, const QString &F) { return B ? T : F; }

TLedLittleColor IfThenLedColor(bool B, TLedLittleColor T, TLedLittleColor F) { return B ? T : F; }

QString IntToHex(unsigned Value, int Digits) {
  if (Digits < 8) Value &= (1u << (4 * Digits)) - 1;
  return QString::number(Value, 16).toUpper().rightJustified(Digits, QLatin1Char('0'));
}

QString ErrorText(const std::exception &Err) {
  const auto *evalError = dynamic_cast<const EEvalError *>(&Err);
  return evalError ? evalError->Text : QString::fromLocal8Bit(Err.what());
}
