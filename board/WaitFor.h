#pragma once
// The one waiting helper of the program: runs the GUI's events until `done` holds or `timeoutMs`
// has passed (a negative timeout never expires). It sleeps between events instead of spinning.
// Input is handled while it waits, so the program stays responsive and a stop can end a
// running command; the board session's command rule keeps a second command from running
// inside the first.
// `recheckMs` > 0 re-checks the condition at that pace too, for conditions that change without
// an event (an output queue draining). Returns the last value of `done`.
#include <functional>

bool WaitFor(const std::function<bool()> &done, int timeoutMs, int recheckMs = 0);
