#pragma once
// The application's tool-tip style: tips appear after 500 ms, follow each other after Qt's fixed
// 20 ms while the pointer moves on from a tip, hide after 5000 ms, and wrap at a maximum width
// given per window (the main window: 200 px).
#include <QObject>
#include <QPointer>

class QWidget;

class THint95 : public QObject {
  Q_OBJECT
public:
  static constexpr int WakeUpDelay = 500, HidePause = 5000;
  // Installs the timing for the whole application (call once, after QApplication exists):
  // a style for the delays, and tips of windows without a THint95 hide after HidePause
  // without wrapping.
  static void InstallApplicationStyle();
  // Tool tips of `window` and its children wrap at `maxWidth` pixels and hide after HidePause.
  explicit THint95(QWidget *window, int maxWidth);
  ~THint95() override;
  int MaxWidth() const { return FMaxWidth; }
  static QString WrappedText(const QString &hint, int maxWidth);  // rich text limited to maxWidth
  static bool HasHintFor(const QWidget *window);  // a THint95 serves this window
protected:
  bool eventFilter(QObject *o, QEvent *e) override;
private:
  QPointer<QWidget> FWindow;
  int FMaxWidth;
};
