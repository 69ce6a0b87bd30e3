#pragma once
// The live values a window shows from the poll cycle's replies. While they no longer stand for
// the board (the port closed, the board silent) they are greyed as the main window greys its
// own: value labels and bars disabled, LEDs dark grey. A label or bar is live again once a
// fresh reply is shown in it; an LED once a reply colours it.
#include <functional>

class QLabel;
class QString;
class QWidget;

// Greys the live values in Area: its labels named "Static..." (the names of value labels; the
// captions are "Lbl..."), its progress bars and its LEDs.
void MarkValuesStale(QWidget *Area);

// Shows a fresh reply's text in a live value's label, which is live again.
void ShowLive(QLabel *Label, const QString &Text);

// The poll table's display slot for Label (empty for none): shows each value with ShowLive.
std::function<void(const QString &Text)> LiveLabel(QLabel *Label);
