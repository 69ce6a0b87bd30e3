#include "LedLittle.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>

namespace {
QColor BaseColor(TLedLittleColor c)
{
  static const QColor colors[] = {
    {0, 0, 0},     {128, 128, 128}, {255, 0, 0},   {128, 0, 0},   {0, 255, 0},
    {0, 128, 0},   {255, 255, 0},   {128, 128, 0}, {0, 0, 255},   {0, 0, 128},
    {255, 0, 255}, {128, 0, 128},   {0, 255, 255}, {0, 128, 128},
  };
  return colors[qBound(0, int(c), int(std::size(colors)) - 1)];
}

QColor Mix(const QColor &a, const QColor &b, double t)
{
  return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                          a.blueF() + (b.blueF() - a.blueF()) * t);
}
}  // namespace

TLedLittle::TLedLittle(QWidget *parent) : QWidget(parent)
{
  setFixedSize(16, 16);
  connect(&FTimer, &QTimer::timeout, this, &TLedLittle::BlinkTick);
}

void TLedLittle::SetLedColor(TLedLittleColor c)
{
  FLedColor = c;
  if (!ShowsClickColor())
    Show(c);
}

void TLedLittle::SetClicLedColor(TLedLittleColor c)
{
  FClicLedColor = c;
  if (ShowsClickColor())
    Show(c);
}

void TLedLittle::SetBlink(bool on)
{
  FBlink = on;
  RestartBlinking();
}

void TLedLittle::SetInterval(int ms)
{
  FInterval = ms;
  RestartBlinking();
}

void TLedLittle::Show(TLedLittleColor c)
{
  if (c == FShown)
    return;
  FShown = c;
  update();
}

void TLedLittle::BlinkTick()
{
  FClickShowing = !FClickShowing;
  Show(ShowsClickColor() ? FClicLedColor : FLedColor);
  emit OnBlink();
}

void TLedLittle::RestartBlinking()
{
  FTimer.stop();
  if (FClickShowing) {
    FClickShowing = false;
    Show(ShowsClickColor() ? FClicLedColor : FLedColor);
  }
  if (FBlink && FInterval > 0)
    FTimer.start(FInterval);
}

void TLedLittle::paintEvent(QPaintEvent *)
{
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor base = BaseColor(FShown);
  const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
  // A light spot towards the upper left makes the lamp look round.
  QRadialGradient g(r.center(), r.width() / 2, r.center() - QPointF(r.width() / 5, r.height() / 5));
  g.setColorAt(0, Mix(base, Qt::white, 0.6));
  g.setColorAt(0.6, base);
  g.setColorAt(1, base.darker(160));
  p.setBrush(g);
  p.setPen(QPen(QColor(64, 64, 64), 1));
  p.drawEllipse(r);
}

void TLedLittle::mousePressEvent(QMouseEvent *e)
{
  if (e->button() == Qt::LeftButton && !FBlink) {
    FPressed = true;
    Show(FClicLedColor);
  }
}

void TLedLittle::mouseReleaseEvent(QMouseEvent *e)
{
  if (e->button() == Qt::LeftButton && FPressed) {
    FPressed = false;
    Show(ShowsClickColor() ? FClicLedColor : FLedColor);
  }
}
