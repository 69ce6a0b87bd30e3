#include "Ev710Guard.h"

#include <QApplication>
#include <QMessageBox>
#include "Ev710Utils.h"
#include "HandlerScope.h"

namespace {
GuardErrorSink &ErrorSink()
{
  static GuardErrorSink sink;
  return sink;
}

void ReportError(QWidget *parent, const QString &text)
{
  if (ErrorSink()) {
    ErrorSink()(text);
    return;
  }
  QMessageBox::critical(parent, QApplication::applicationDisplayName(), text);
}
}  // namespace

void SetGuardErrorSink(GuardErrorSink sink) { ErrorSink() = std::move(sink); }

void RunGuarded(QWidget *parent, const std::function<void()> &body)
{
  // Reporting happens outside the catch blocks, so a failure while reporting cannot
  // meet a half-handled exception.
  QString error;
  try {
    THandlerScope scope;
    body();
    return;
  } catch (const ECommandDeferred &busy) {
    busy.Defer([parent, body] { RunGuarded(parent, body); });
    return;
  } catch (const EAbort &) {
    return;  // the operation ended for a reason the user already sees
  } catch (const EEvalError &e) {
    error = e.Text;
  } catch (const std::exception &e) {
    error = QString::fromUtf8(e.what());
  } catch (...) {
    error = QStringLiteral("Unknown error");
  }
  try {
    ReportError(parent, error);
  } catch (...) {
    // Nothing may cross the Qt frame that called us.
  }
}
