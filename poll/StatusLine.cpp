#include "StatusLine.h"
#include <QLabel>
#include <QTimer>
#include "Ev710Registers.h"
#include "LedLittle.h"

namespace {
const QString ScriptPrefix = QStringLiteral("A script drives the board: ");
}

TStatusLine::TStatusLine(QLabel *Info1, QLabel *Info2, const TStatusLeds &Leds, QObject *parent)
    : QObject(parent), Info1(Info1), Info2(Info2), Leds(Leds), ScriptShown(new QTimer(this)) {
  ScriptShown->setSingleShot(true);
  ScriptShown->setInterval(3000);
  connect(ScriptShown, &QTimer::timeout, this, [this] {
    if (this->Info2->text().startsWith(ScriptPrefix)) this->Info2->setText(TextBeforeScript);
  });
}

void TStatusLine::Set(const QString &Text1, const QString &Text2) {
  Info1->setText(Text1);
  Info2->setText(Text2);
}

void TStatusLine::ShowNoPort() { Set(QStringLiteral("No port opened."), QStringLiteral("Select a port, then click \"Open\".")); }

void TStatusLine::ShowLinkState(TLinkState State) {
  switch (State) {
  case TLinkState::Detecting: Set(QStringLiteral("Trying to detect the board."), QString()); break;
  case TLinkState::Active: break;  // the identified board's texts (ShowBoard)
  case TLinkState::Silent:
    Set(QStringLiteral("The board does not respond."), QStringLiteral("Please check the cable and the power."));
    break;
  }
}

void TStatusLine::ShowBoard(const QString &Board) {
  BoardActive = !Board.isEmpty();
  if (BoardActive) Set(ActiveText(), Board + QStringLiteral(" board detected!"));
}

// The active board's status says how many replies were not used, so a bad line is not silent.
QString TStatusLine::ActiveText() const {
  if (DiscardedReplies == 0) return QStringLiteral("The board is active.");
  return QStringLiteral("The board is active (%1 bad %2 discarded).")
      .arg(DiscardedReplies)
      .arg(DiscardedReplies == 1 ? QStringLiteral("reply") : QStringLiteral("replies"));
}

void TStatusLine::ShowDiscardedReplies(int Count) {
  DiscardedReplies = Count;
  if (BoardActive) Info1->setText(ActiveText());
}

// A command of qvr710-ctl run through the channel shows for a moment who moves the board.
void TStatusLine::ShowScriptCommand(const QStringList &Args) {
  if (!Info2->text().startsWith(ScriptPrefix)) TextBeforeScript = Info2->text();
  Info2->setText(ScriptPrefix + Args.join(u' '));
  ScriptShown->start();
}

void TStatusLine::ShowStatusBits(uint8_t Status) {
  const ctl::ControllerStatus bits = ctl::DecodeStatus(Status);
  for (size_t bit = 0; bit < Leds.size(); ++bit) Leds[bit]->SetLedColor(IfThenLedColor(bits.Bit[bit], lcCyan, lcDarkCyan));
}

void TStatusLine::DarkenLeds() {
  for (TLedLittle *led : Leds) led->SetLedColor(lcDarkGray);
}
