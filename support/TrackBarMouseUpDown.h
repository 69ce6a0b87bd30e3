#pragma once
// A track bar that also tells its window when a mouse button or key goes down and up on it.
#include <QSlider>

class TTrackBarMouseUpDown : public QSlider {
  Q_OBJECT
public:
  explicit TTrackBarMouseUpDown(QWidget *parent = nullptr);
signals:
  void MouseDown();
  void MouseUp();
  void KeyDown();
  void KeyUp();
protected:
  void mousePressEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void keyPressEvent(QKeyEvent *e) override;
  void keyReleaseEvent(QKeyEvent *e) override;
};
