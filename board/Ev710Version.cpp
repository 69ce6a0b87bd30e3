#include "Ev710Version.h"

QString GetFileVersionText() {
#ifdef QVR_FILE_VERSION
  return QStringLiteral(QVR_FILE_VERSION);
#else
  return QString();
#endif
}

// Keeps the major number, its dot and the next character, skips one character and appends
// the following ones up to the next dot; the last character of S is never taken.
QString ShortVersionText(const QString &S) {
  const int L = int(S.size());
  int i = L;  // 1-based position of the first "." among positions 1 .. L-1
  for (int p = 1; p <= L - 1; ++p)
    if (S[p - 1] == u'.') { i = p; break; }
  QString result = S.left(i + 1);
  for (int p = i + 3; p < L && S[p - 1] != u'.'; ++p) result += S[p - 1];
  if (result.size() == 3) result += u'0';
  return result;
}
