#include "HexEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QValidator>
#include <algorithm>
#include "Ev710Utils.h"
#include "MaskedText.h"

namespace {

bool IsHexDigit(QChar c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

// Accepts up to `digits` hexadecimal digits and shows letters in upper case, pasted text included.
class THexValidator : public QValidator {
public:
  THexValidator(int digits, QObject *parent) : QValidator(parent), Digits(digits) {}
  State validate(QString &input, int &) const override {
    input = input.toUpper();
    if (input.size() > Digits) return Invalid;
    for (QChar c : input)
      if (!IsHexDigit(c)) return Invalid;
    return input.size() == Digits ? Acceptable : Intermediate;
  }
private:
  int Digits;
};

}  // namespace

bool THexKeyFilter::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  const auto *key = static_cast<QKeyEvent *>(event);
  const QString text = key->text();
  if (text.isEmpty() || key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
  const QChar c = text.front();
  if (c.unicode() < 0x20 || c.unicode() == 0x7F || (text.size() == 1 && IsHexDigit(c))) return false;
  QApplication::beep();
  return true;
}

void InstallHexKeyFilter(QWidget *Edit) { Edit->installEventFilter(new THexKeyFilter(Edit)); }

void MakeHexEdit(QLineEdit *edit, int digits, THexKeyFilter *filter) {
  edit->setMaxLength(digits);
  edit->setValidator(new THexValidator(digits, edit));
  edit->installEventFilter(filter);
}

int HexEditValue(const QLineEdit *edit) {
  const QString text = MaskedText(edit);
  if (text.isEmpty() || !std::all_of(text.begin(), text.end(), IsHexDigit))
    throw EEvalError(QStringLiteral("'%1' is not a valid hexadecimal number.").arg(text));
  return text.toInt(nullptr, 16);
}
