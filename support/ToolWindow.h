#pragma once
// The frame every tool window shares: title, minimise and close only (no size or maximise
// commands), and the size its layout asks for, kept also when a page's content grows later.
#include <QLayout>
#include <QWidget>

inline void SetUpToolWindow(QWidget *w) {
  w->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                    Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  w->layout()->setSizeConstraint(QLayout::SetFixedSize);
}
