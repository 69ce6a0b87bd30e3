#pragma once
// Every event handler runs its body through RunGuarded: an EEvalError (or any other
// exception) is shown in a critical message box and never crosses a Qt frame.
#include <functional>

class QString;
class QWidget;

void RunGuarded(QWidget *parent, const std::function<void()> &body);

// For connect(): wraps a handler so that it runs guarded.
template <class F>
auto Guarded(QWidget *parent, F handler) {
  return [parent, handler](auto &&...) { RunGuarded(parent, handler); };
}

// Where RunGuarded reports an error. Unset (the default), it shows QMessageBox::critical
// titled with the application's display name. Tests set a sink that receives the error
// text instead of a blocking modal box; pass an empty function to restore the box.
using GuardErrorSink = std::function<void(const QString &text)>;
void SetGuardErrorSink(GuardErrorSink sink);
