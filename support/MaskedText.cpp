#include "MaskedText.h"

#include <QLineEdit>

QString MaskedText(const QLineEdit *Edit) {
  const QString mask = Edit->inputMask();  // "mask;b", b being the character shown for a blank
  if (mask.isEmpty()) return Edit->text();
  QString text = Edit->displayText();
  const QChar blank = mask.back();
  if (blank != u' ') text.replace(blank, u' ');
  return text;
}
