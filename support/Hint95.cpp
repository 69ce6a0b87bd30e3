#include "Hint95.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QProxyStyle>
#include <QToolTip>
#include <QWidget>

namespace {
QList<THint95 *> &Instances()
{
  static QList<THint95 *> instances;
  return instances;
}

class TipTimingStyle : public QProxyStyle {
public:
  using QProxyStyle::QProxyStyle;
  int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                QStyleHintReturn *returnData) const override
  {
    if (hint == SH_ToolTip_WakeUpDelay)
      return THint95::WakeUpDelay;
    // Qt shows the next tip after 20 ms while this time runs; it starts when a tip shows, so
    // covering the tip's whole showing lets the tips along a row of controls follow quickly.
    if (hint == SH_ToolTip_FallAsleepDelay)
      return THint95::HidePause;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

// Shows the widget's tip for HidePause ms, wrapped at maxWidth (0: no wrapping).
// False when the widget has no tip, so that the event goes on to its parent.
bool ShowTip(QWidget *w, QEvent *e, int maxWidth)
{
  const QString tip = w->toolTip();
  if (tip.isEmpty())
    return false;
  const QString text = maxWidth > 0 ? THint95::WrappedText(tip, maxWidth) : tip;
  QToolTip::showText(static_cast<QHelpEvent *>(e)->globalPos(), text, w, QRect(), THint95::HidePause);
  return true;
}

// Serves the tips of windows that have no THint95 of their own.
class HideTimeFilter : public QObject {
public:
  using QObject::QObject;
  bool eventFilter(QObject *o, QEvent *e) override
  {
    if (e->type() != QEvent::ToolTip || !o->isWidgetType())
      return false;
    auto *w = static_cast<QWidget *>(o);
    return !THint95::HasHintFor(w->window()) && ShowTip(w, e, 0);
  }
};
}  // namespace

void THint95::InstallApplicationStyle()
{
  if (dynamic_cast<TipTimingStyle *>(QApplication::style()))
    return;
  QApplication::setStyle(new TipTimingStyle(QApplication::style()->name()));
  qApp->installEventFilter(new HideTimeFilter(qApp));
}

THint95::THint95(QWidget *window, int maxWidth) : QObject(window), FWindow(window), FMaxWidth(maxWidth)
{
  Instances().append(this);
  qApp->installEventFilter(this);
}

THint95::~THint95() { Instances().removeAll(this); }

bool THint95::HasHintFor(const QWidget *window)
{
  for (const THint95 *h : Instances())
    if (h->FWindow == window)
      return true;
  return false;
}

QString THint95::WrappedText(const QString &hint, int maxWidth)
{
  const QFontMetrics fm(QToolTip::font());
  const int naturalWidth = fm.boundingRect(QRect(0, 0, QWIDGETSIZE_MAX, QWIDGETSIZE_MAX), 0, hint).width();
  const QString escaped = hint.toHtmlEscaped();
  // Short tips stay on one line; longer ones flow inside a table of the given width.
  if (naturalWidth <= maxWidth)
    return QStringLiteral("<p style=\"white-space:pre\">%1</p>").arg(escaped);
  QString lines = escaped;
  lines.replace(QLatin1Char('\n'), QLatin1String("<br>"));
  return QStringLiteral("<table width=\"%1\" cellspacing=\"0\" cellpadding=\"0\"><tr><td>%2</td></tr></table>").arg(QString::number(maxWidth), lines);
}

bool THint95::eventFilter(QObject *o, QEvent *e)
{
  if (e->type() != QEvent::ToolTip || !o->isWidgetType() || !FWindow)
    return false;
  auto *w = static_cast<QWidget *>(o);
  return w->window() == FWindow && ShowTip(w, e, FMaxWidth);
}
