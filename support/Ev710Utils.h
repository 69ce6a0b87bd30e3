#pragma once
// Conversion routines shared by the windows: pure functions, no state, no widgets.
#include <QString>
#include <stdexcept>

// The fourteen colours of the LED indicator (TLedLittle).
enum TLedLittleColor {
  lcBlack, lcDarkGray, lcRed, lcDarkRed, lcGreen, lcDarkGreen, lcYellow,
  lcDarkYellow, lcBlue, lcDarkBlue, lcPurple, lcDarkPurple, lcCyan, lcDarkCyan
};

// An error meant for the user: the guard (Ev710Guard.h) shows its text in a message box.
class EEvalError : public std::runtime_error {
public:
  explicit EEvalError(const QString &text) : std::runtime_error(text.toStdString()), Text(text) {}
  QString Text;
};

// Ends an operation silently: its reason is plain to the user already (the port was closed
// while the operation waited for the board).
class EAbort : public EEvalError {
public:
  EAbort() : EEvalError(QString()) {}
};

// A text that is not a binary number.
class EConvertError : public EEvalError {
public:
  using EEvalError::EEvalError;
};

// The text a failure shows the user: an EEvalError's own, else the exception's description.
QString ErrorText(const std::exception &Err);

QString ExtractField(const QString &S, QChar Delim, int N);
int SignExtend(int Value, int SignBit);
QString IntToBin(int Value, int Digits);
// Upper-case hexadecimal of the value's low 4 * Digits bits, zero-padded: IntToHex(10, 2) is "0A".
QString IntToHex(unsigned Value, int Digits);
int BinToInt(const QString &S);  // throws EConvertError("Ungültige Binärzahl")
int IfThenInt(bool B, int T, int F);
QString IfThenStr(bool B, const QString &T, const QString &F);
TLedLittleColor IfThenLedColor(bool B, TLedLittleColor T, TLedLittleColor F);
