#pragma once
// The trimDrive picture of the driver windows and the information page it opens: a short page
// that ships with the program, shown in a window of its own (no network needed).
#include <QPixmap>

class QWidget;

QPixmap TrimDrivePicture(qreal devicePixelRatio);
// Shows the page in a window owned by `owner` (one per owner, made on first use).
void ShowTrimDriveInfo(QWidget *owner);
