#pragma once
// A 16 x 16 round LED lamp in one of fourteen colours; shows ClicLedColor while pressed and can blink.
#include <QTimer>
#include <QWidget>
#include "Ev710Utils.h"

class TLedLittle : public QWidget {
  Q_OBJECT
public:
  explicit TLedLittle(QWidget *parent = nullptr);
  TLedLittleColor LedColor() const { return FLedColor; }
  void SetLedColor(TLedLittleColor c);
  TLedLittleColor ClicLedColor() const { return FClicLedColor; }
  void SetClicLedColor(TLedLittleColor c);
  bool Blink() const { return FBlink; }
  void SetBlink(bool on);
  int Interval() const { return FInterval; }
  void SetInterval(int ms);
  TLedLittleColor ShownColor() const { return FShown; }  // the colour on screen right now
  QSize sizeHint() const override { return {16, 16}; }
signals:
  void OnBlink();
protected:
  void paintEvent(QPaintEvent *) override;
  void mousePressEvent(QMouseEvent *) override;
  void mouseReleaseEvent(QMouseEvent *) override;
private:
  void Show(TLedLittleColor c);
  void BlinkTick();
  void RestartBlinking();
  bool ShowsClickColor() const { return FPressed || FClickShowing; }
  TLedLittleColor FLedColor = lcBlack, FClicLedColor = lcDarkGray, FShown = lcBlack;
  bool FBlink = false, FPressed = false;
  bool FClickShowing = false;  // blinking: the click colour is on
  int FInterval = 250;
  QTimer FTimer;
};
