#pragma once
// One motor's page of the graphics window: the plot between its two scale boxes. One class
// for the three motors; the controls are named with the motor's digit.
#include <QWidget>
#include "ui_GraphMotorPage.h"

class TGraphMotorPage : public QWidget, private Ui::TGraphMotorPage {
  Q_OBJECT
public:
  explicit TGraphMotorPage(int Motor, QWidget *parent = nullptr);  // Motor 0..2
  TPaintBox *Plot() const { return PaintBox; }
  TPaintBox *LeftScale() const { return PaintBoxLeft; }
  TPaintBox *RightScale() const { return PaintBoxRight; }
};
