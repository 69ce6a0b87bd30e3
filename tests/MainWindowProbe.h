#pragma once
// Finds the main window's controls by name and works them as a user would.
#include <QLabel>
#include <QPushButton>
#include <QtTest/QTest>
#include "Ev710Main.h"

class MainWindowProbe {
public:
  TFormMain *Main = nullptr;

  template <class T> T *Child(const char *name) const {
    T *w = Main->findChild<T *>(QLatin1String(name));
    if (!w) qFatal("no control %s", name);
    return w;
  }
  QPushButton *Button(const char *name) const { return Child<QPushButton>(name); }
  QString Text(const char *label) const { return Child<QLabel>(label)->text(); }
  void Click(const char *button) const { QTest::mouseClick(Button(button), Qt::LeftButton); }
};
