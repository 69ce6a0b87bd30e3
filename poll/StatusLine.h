#pragma once
// The main window's status: its two texts (the link's state, the board detected, the replies
// discarded on a bad line, and for a moment the script command that drives the board) and the
// LEDs of the controller's status bits.
#include <QObject>
#include <QString>
#include <array>
#include "BoardSession.h"

class QLabel;
class QTimer;
class TLedLittle;

class TStatusLine : public QObject {
public:
  using TStatusLeds = std::array<TLedLittle *, 8>;  // by bit of the status byte
  TStatusLine(QLabel *Info1, QLabel *Info2, const TStatusLeds &Leds, QObject *parent);
  void Set(const QString &Text1, const QString &Text2);
  void ShowNoPort();
  void ShowLinkState(TLinkState State);
  void ShowBoard(const QString &Board);  // empty: no board identified
  void ShowDiscardedReplies(int Count);
  void ShowScriptCommand(const QStringList &Args);
  void ShowStatusBits(uint8_t Status);
  void DarkenLeds();  // the bits no longer stand for the board

private:
  QString ActiveText() const;
  QLabel *const Info1, *const Info2;
  const TStatusLeds Leds;
  QTimer *const ScriptShown;  // the script's text stays this long, then the one before returns
  QString TextBeforeScript;
  bool BoardActive = false;
  int DiscardedReplies = 0;
};
