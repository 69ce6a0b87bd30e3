#pragma once
// A paint box: an opaque widget whose owner paints it (OnPaint), typically by copying an
// off-screen picture, so nothing is erased before each paint.
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
