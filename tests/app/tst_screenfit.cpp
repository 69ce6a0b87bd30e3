// The windows on a laptop screen (1366 x 768) with 125 % text (QT_FONT_DPI=120, set by CMake).
// A window whose form fits keeps the size the form asks for; a larger one takes the screen's
// free area and scrolls, and no control of it is squeezed or cut off.
#include <QAbstractScrollArea>
#include <QScreen>
#include <QtTest>
#include "Ev710App.h"
#include "Ev710Main.h"
#include "ToolWindow.h"

namespace {
constexpr int WindowFrame = 48;  // title bar and borders, at most

// Controls that do not lie wholly inside the form (those inside a list or text view scroll with it).
QStringList CutOff(const QWidget *form) {
  QStringList cut;
  for (const QWidget *c : form->findChildren<QWidget *>()) {
    if (!c->isVisible() || c->isWindow()) continue;
    bool inView = false;
    for (const QWidget *p = c->parentWidget(); p != form && !inView; p = p->parentWidget())
      inView = qobject_cast<const QAbstractScrollArea *>(p);
    if (!inView && !form->rect().contains(QRect(c->mapTo(form, QPoint()), c->size()))) cut << c->objectName();
  }
  return cut;
}
}  // namespace

class TestScreenFit : public QObject {
  Q_OBJECT
private slots:
  void windowsFitTheScreen() {
    SetUpApplication(*qApp);
    TFormMain *main = CreateWindows();
    const QRect screen = main->screen()->availableGeometry();
    // 1366 x 768 pixels at 125 %: 1093 x 614 in the program's own units.
    QCOMPARE(screen.size(), QSize(1093, 614));
    QList<QWidget *> windows = {main};
    for (QWidget *w : main->findChildren<QWidget *>())
      if (w->isWindow()) windows.append(w);
    QStringList scrolled;
    for (QWidget *w : windows) {
      w->show();
      QVERIFY(QTest::qWaitForWindowExposed(w));
      const QByteArray name = w->objectName().toLatin1();
      QVERIFY2(screen.contains(QRect(QPoint(), w->frameGeometry().size())), name.constData());
      if (auto *area = w->findChild<TFitScrollArea *>(QString(), Qt::FindDirectChildrenOnly)) {
        QWidget *form = area->widget();
        // The form keeps its size: in a window of that size, or scrolling in a window as large
        // as the screen allows.
        const QSize want = form->sizeHint();
        QCOMPARE(form->size(), want);
        if (w->size() != want) {
          scrolled << w->objectName();
          const QSize view = area->viewport()->size(), frame = w->frameGeometry().size();
          QVERIFY2(view.width() >= want.width() || frame.width() >= screen.width() - WindowFrame, name.constData());
          QVERIFY2(view.height() >= want.height() || frame.height() >= screen.height() - WindowFrame, name.constData());
        }
        QCOMPARE(CutOff(form), QStringList());
      }
      w->hide();
    }
    // The two too large for this screen when they kept their design size.
    QVERIFY2(scrolled.contains(QLatin1String("TFormMain")), qPrintable(scrolled.join(u' ')));
    QVERIFY2(scrolled.contains(QLatin1String("TFormAdvanced")), qPrintable(scrolled.join(u' ')));
    DestroyWindows();
  }
};

QTEST_MAIN(TestScreenFit)
#include "tst_screenfit.moc"
