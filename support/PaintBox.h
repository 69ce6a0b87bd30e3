#pragma once
// TPaintBox: an opaque box whose owner paints it, through OnPaint, typically by copying an
// off-screen picture, so nothing is erased before each paint. Tag tells the owner which motor
// the box shows.
#include <QImage>
#include <QWidget>
#include <functional>

class TPaintBox : public QWidget {
  Q_OBJECT
public:
  explicit TPaintBox(QWidget *parent = nullptr);
  int Tag = 0;
  std::function<void(TPaintBox &Box)> OnPaint;

  // Draws Picture onto the box at (0, 0); for OnPaint.
  void Show(const QImage &Picture);

protected:
  void paintEvent(QPaintEvent *e) override;
};

// An off-screen picture sized like Box at the box's device pixel ratio, so that it is drawn
// at full resolution on a high-density screen; reused while the size and ratio stay.
QImage &PictureFor(QImage &Picture, const TPaintBox &Box);
