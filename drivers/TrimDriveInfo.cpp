#include "TrimDriveInfo.h"
#include <QDialog>
#include <QPainter>
#include <QPainterPath>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QtMath>

namespace {
const QString InfoName = QStringLiteral("FormTrimDriveInfo");
constexpr int PictureWidth = 150, PictureHeight = 56;
}  // namespace

// A stepped sine, as a microstepping driver makes the coil current, under the feature's name.
QPixmap TrimDrivePicture(qreal devicePixelRatio) {
  QPixmap picture(QSize(PictureWidth, PictureHeight) * devicePixelRatio);
  picture.setDevicePixelRatio(devicePixelRatio);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(0, 77, 185));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRectF(0.5, 0.5, PictureWidth - 1, PictureHeight - 1), 6, 6);
  QPainterPath wave;
  const int steps = 32;
  for (int i = 0; i <= steps; ++i) {
    const qreal x = 10 + i * (PictureWidth - 20.0) / steps;
    const qreal y = 18 - 10 * qSin(2 * M_PI * i / steps);
    if (i == 0) {
      wave.moveTo(x, y);
    } else {
      wave.lineTo(x, wave.currentPosition().y());
      wave.lineTo(x, y);
    }
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(255, 160, 122), 1.5));
  p.drawPath(wave);
  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(17);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRectF(0, 28, PictureWidth, 26), Qt::AlignCenter, QStringLiteral("trimDrive"));
  return picture;
}

void ShowTrimDriveInfo(QWidget *owner) {
  Q_INIT_RESOURCE(drivers);  // the page sits in this static library
  auto *info = owner->findChild<QDialog *>(InfoName);
  if (!info) {
    info = new QDialog(owner);
    info->setObjectName(InfoName);
    info->setWindowTitle(QStringLiteral("About trimDrive"));
    auto *text = new QTextBrowser(info);
    text->setObjectName(QStringLiteral("TrimDriveText"));
    text->setOpenExternalLinks(false);
    text->setSource(QUrl(QStringLiteral("qrc:/drivers/help/trimdrive.html")));
    auto *layout = new QVBoxLayout(info);
    layout->addWidget(text);
    info->resize(520, 460);
  }
  info->show();
  info->raise();
  info->activateWindow();
}
