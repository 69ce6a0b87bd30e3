#include "ToolWindow.h"
#include <QEvent>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindow>

namespace {
QMargins LayoutMargins(const QWidget *w) {
  const QStyle *style = w->style();
  return {style->pixelMetric(QStyle::PM_LayoutLeftMargin, nullptr, w),
          style->pixelMetric(QStyle::PM_LayoutTopMargin, nullptr, w),
          style->pixelMetric(QStyle::PM_LayoutRightMargin, nullptr, w),
          style->pixelMetric(QStyle::PM_LayoutBottomMargin, nullptr, w)};
}
}  // namespace

void SetUpToolWindow(QWidget *window, const std::function<void(QWidget *form)> &setupUi) {
  window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  auto *area = new TFitScrollArea(window);
  QWidget *form = area->Form;
  setupUi(form);
  // The style's margins of a window's layout, which the form's layout had as the window's own.
  if (QLayout *l = form->layout(); l && l->contentsMargins() == LayoutMargins(form))
    l->setContentsMargins(LayoutMargins(window));
  window->setWindowTitle(form->windowTitle());
  if (window->objectName().isEmpty()) window->setObjectName(form->objectName());
  form->setObjectName(window->objectName() + QStringLiteral("Form"));
  auto *layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(area);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

TFitScrollArea::TFitScrollArea(QWidget *window) : QScrollArea(window), Form(new QWidget(viewport())) {
  setFrameShape(QFrame::NoFrame);
  setWidgetResizable(true);
  setFocusPolicy(Qt::NoFocus);  // Tab moves between the form's controls only
  // Never squeezed below the size it asks for: where the window is smaller, it scrolls.
  Form->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
  window->installEventFilter(this);
}

// The form goes into the area when the window is first polished, just before its first showing:
// by then the window's constructor has added every control, and the sizes asked for are final.
// Afterwards, when the form's wish changes (a page grew, a group was shown), the window follows.
bool TFitScrollArea::eventFilter(QObject *watched, QEvent *event) {
  if (watched == window() && event->type() == QEvent::Polish && !widget()) {
    setWidget(Form);
    Form->installEventFilter(this);
    updateGeometry();
  } else if (watched == Form && event->type() == QEvent::LayoutRequest) {
    updateGeometry();
  }
  return QScrollArea::eventFilter(watched, event);
}

// The screen's free area less the window's frame (before the window is shown, a title bar and
// borders as the style draws them).
QSize TFitScrollArea::Room() const {
  const QWidget *top = window();
  const QScreen *screen = top->screen();
  if (!screen) return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  const QWindow *handle = top->windowHandle();
  const int border = style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
  const QMargins frame = handle && handle->isVisible()
                             ? handle->frameMargins()
                             : QMargins(border, style()->pixelMetric(QStyle::PM_TitleBarHeight) + border, border, border);
  return screen->availableGeometry().size().shrunkBy(frame);
}

QSize TFitScrollArea::sizeHint() const {
  if (!widget()) return QScrollArea::sizeHint();
  const QSize want = widget()->sizeHint().expandedTo(widget()->minimumSizeHint());
  const QSize room = Room();
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  QSize size = want.boundedTo(room);
  if (want.width() > room.width()) size.setHeight(std::min(size.height() + bar, room.height()));
  if (want.height() > room.height()) size.setWidth(std::min(size.width() + bar, room.width()));
  return size;
}
