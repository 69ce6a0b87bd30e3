#pragma once
// The port selector: a drop-down list that says when it is about to drop down, so that the
// main window can scan the ports again first.
#include <QComboBox>

class TPortComboBox : public QComboBox {
  Q_OBJECT
public:
  using QComboBox::QComboBox;
  void showPopup() override {
    emit PopupAboutToShow();
    QComboBox::showPopup();
  }
signals:
  void PopupAboutToShow();
};
