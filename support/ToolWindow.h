#pragma once
// The frame every window of the program shares: title, minimise and close only (no size or
// maximise commands). The window's form lies in a scroll area that shows no frame and no scroll
// bars where the screen has room: the window then takes the size the form asks for, also when a
// page's content grows later. On a screen too small for the form (a laptop with large text) the
// window takes the screen's free area instead and scrolls, so no control is cut off or squeezed.
#include <QScrollArea>
#include <functional>

// Builds `window`'s frame and its form: `setupUi` builds the form on the widget it is given. The
// form's title and (unless the window has one) its object name go to the window.
void SetUpToolWindow(QWidget *window, const std::function<void(QWidget *form)> &setupUi);

// The scroll area around a window's form: its size hint is the form's, bounded by the room the
// window's screen leaves, with room for the scroll bars it then needs.
class TFitScrollArea : public QScrollArea {
public:
  explicit TFitScrollArea(QWidget *window);
  QSize sizeHint() const override;
  QWidget *const Form;  // the window's form, built by its setupUi

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  QSize Room() const;
};
