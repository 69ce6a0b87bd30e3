#pragma once
// Every event handler runs its body through RunGuarded: an EEvalError (or any other
// exception) is shown in a critical message box and never crosses a Qt frame.
#include <functional>

class QWidget;

void RunGuarded(QWidget *parent, const std::function<void()> &body);

// For connect(): wraps a handler so that it runs guarded.
template <class F>
auto Guarded(QWidget *parent, F handler) {
  return [parent, handler](auto &&...) { RunGuarded(parent, handler); };
}
