#include "RotoLabel.h"

#include <QPainter>

TRotoLabel::TRotoLabel(QWidget *parent) : QWidget(parent) {}

void TRotoLabel::SetCaption(const QString &c)
{
  FCaption = c;
  update();
}

void TRotoLabel::SetAngle(TUgao a)
{
  FAngle = a;
  update();
}

void TRotoLabel::SetText3D(bool on)
{
  FText3D = on;
  update();
}

void TRotoLabel::SetTransparent(bool on)
{
  FTransparent = on;
  update();
}

void TRotoLabel::paintEvent(QPaintEvent *)
{
  QPainter p(this);
  if (!FTransparent)
    p.fillRect(rect(), palette().color(backgroundRole()));
  p.setFont(font());
  // Turn about the centre (counter-clockwise: negative in Qt's y-down system), then draw
  // the caption centred on the origin.
  p.translate(QRectF(rect()).center());
  p.rotate(-45.0 * int(FAngle));
  const QSizeF size = fontMetrics().boundingRect(FCaption).size();
  const QRectF box(-size.width() / 2 - 2, -size.height() / 2, size.width() + 4, size.height());
  if (FText3D) {
    p.setPen(palette().color(QPalette::Light));
    p.drawText(box.translated(-1, -1), Qt::AlignCenter, FCaption);
    p.setPen(palette().color(QPalette::Dark));
    p.drawText(box.translated(1, 1), Qt::AlignCenter, FCaption);
  }
  p.setPen(palette().color(foregroundRole()));
  p.drawText(box, Qt::AlignCenter, FCaption);
}
