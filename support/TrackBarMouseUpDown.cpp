#include "TrackBarMouseUpDown.h"

#include <QKeyEvent>

TTrackBarMouseUpDown::TTrackBarMouseUpDown(QWidget *parent) : QSlider(Qt::Horizontal, parent) {}

// The "down" signals come before the slider moves and the "up" signals after it has
// settled, so a window can pause its work around the whole gesture.
void TTrackBarMouseUpDown::mousePressEvent(QMouseEvent *e)
{
  emit MouseDown();
  QSlider::mousePressEvent(e);
}

void TTrackBarMouseUpDown::mouseReleaseEvent(QMouseEvent *e)
{
  QSlider::mouseReleaseEvent(e);
  emit MouseUp();
}

void TTrackBarMouseUpDown::keyPressEvent(QKeyEvent *e)
{
  emit KeyDown();
  QSlider::keyPressEvent(e);
}

void TTrackBarMouseUpDown::keyReleaseEvent(QKeyEvent *e)
{
  QSlider::keyReleaseEvent(e);
  // A held key repeats presses only; its release counts once, when the key really goes up.
  if (!e->isAutoRepeat())
    emit KeyUp();
}
