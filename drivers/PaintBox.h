#pragma once
// A paint box: an opaque widget whose owner paints it (OnPaint), typically by copying an
// off-screen picture, so nothing is erased before each paint.
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <functional>

class TPaintBox : public QWidget {
  Q_OBJECT
public:
  explicit TPaintBox(QWidget *parent = nullptr) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }
  std::function<void(QPainter &)> OnPaint;

protected:
  void paintEvent(QPaintEvent *) override {
    QPainter p(this);
    if (OnPaint) OnPaint(p);
  }
};

// Makes `picture` an off-screen picture of the box's size, sharp at the screen's pixel density.
inline void PrepareOffScreen(const QWidget *box, QImage &picture) {
  const qreal dpr = box->devicePixelRatioF();
  const QSize size = box->size() * dpr;
  if (picture.size() != size || picture.devicePixelRatio() != dpr) {
    picture = QImage(size, QImage::Format_RGB32);
    picture.setDevicePixelRatio(dpr);
  }
}
