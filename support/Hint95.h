#pragma once
// The application's tool-tip style: tips appear after 500 ms, follow each other after 25 ms,
// hide after 5000 ms, and wrap at a maximum width given per window (the main window: 200 px).
#include <QObject>

class QWidget;

class THint95 : public QObject {
  Q_OBJECT
public:
  static constexpr int WakeUpDelay = 500, ReshowDelay = 25, HidePause = 5000;
  // Installs the timing for the whole application (call once, after QApplication exists).
  static void InstallApplicationStyle();
  // Tool tips of `window` and its children wrap at `maxWidth` pixels and hide after HidePause.
  explicit THint95(QWidget *window, int maxWidth);
  int MaxWidth() const { return FMaxWidth; }
  static QString WrappedText(const QString &hint, int maxWidth);  // rich text limited to maxWidth
protected:
  bool eventFilter(QObject *o, QEvent *e) override;
private:
  int FMaxWidth;
};
