#pragma once
// The one waiting helper of the program: runs the GUI's events until `done` holds or `timeoutMs`
// has passed (a negative timeout never expires). It sleeps between events instead of spinning,
// and it holds back mouse and key input, which is delivered after the wait ends, so a second
// button press runs after the operation in progress instead of inside it.
// `recheckMs` > 0 re-checks the condition at that pace too, for conditions that change without
// an event (an output queue draining). Returns the last value of `done`.
#include <functional>

bool WaitFor(const std::function<bool()> &done, int timeoutMs, int recheckMs = 0);
