#include "PaintBox.h"
#include <QPainter>

TPaintBox::TPaintBox(QWidget *parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void TPaintBox::paintEvent(QPaintEvent *) {
  if (OnPaint) OnPaint(*this);
}

void TPaintBox::Show(const QImage &Picture) {
  QPainter p(this);
  p.drawImage(0, 0, Picture);
}

QImage &PictureFor(QImage &Picture, const TPaintBox &Box) {
  const qreal ratio = Box.devicePixelRatioF();
  const QSize pixels = Box.size() * ratio;
  if (Picture.size() != pixels || Picture.devicePixelRatio() != ratio) {
    Picture = QImage(pixels, QImage::Format_RGB32);
    Picture.setDevicePixelRatio(ratio);
  }
  return Picture;
}
