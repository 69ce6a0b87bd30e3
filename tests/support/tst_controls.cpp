// The custom controls, driven through real key and mouse events.
#include <QtTest>
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <climits>
#include "CheckedComboBinary.h"
#include "Ev710Utils.h"
#include "Hint95.h"
#include "MaskedText.h"
#include "LedLittle.h"
#include "RotoLabel.h"
#include "SpinEdit.h"
#include "TrackBarMouseUpDown.h"

namespace {
// A shown and active window holding the control under test and a second focusable edit.
struct Window {
  QWidget top;
  QLineEdit other;
  explicit Window(QWidget *control, QPoint pos = {100, 100})
  {
    auto *layout = new QVBoxLayout(&top);
    layout->addWidget(control);
    layout->addWidget(&other);
    top.move(pos);
    top.show();
    top.activateWindow();
  }
  bool Ready() { return QTest::qWaitForWindowActive(&top); }
};
}  // namespace

class TestControls : public QObject {
  Q_OBJECT
private slots:
  void spinEditValueAndLimits();
  void spinEditKeysAndButtons();
  void spinEditLeaving();
  void spinEditKeyFilter();
  void spinEditEditorDisabledAndReadOnly();
  void floatSpinEditFormatAndSteps();
  void floatSpinEditEnterAndLeaving();
  void buttonAutoRepeat();
  void checkedComboText();
  void checkedComboListCommands();
  void checkedComboPopUpPlacement();
  void checkedComboPopUpClosing();
  void ledClickAndBlink();
  void trackBarOrder();
  void hintWrapping();
  void tipTiming();
  void rotoLabelUpright();
  void maskedTextKeepsPositions_data();
  void maskedTextKeepsPositions();
};

void TestControls::spinEditValueAndLimits()
{
  TSpinEdit e;
  QSignalSpy changes(&e, &TSpinEdit::Change);
  e.SetMinValue(-5);
  e.SetMaxValue(5);
  e.SetValue(9);
  QCOMPARE(e.Text(), QStringLiteral("5"));
  e.SetValue(-9);
  QCOMPARE(e.Text(), QStringLiteral("-5"));
  QCOMPARE(changes.count(), 2);
  e.SetValue(-5);  // same text: no change event
  QCOMPARE(changes.count(), 2);
  e.SetText(QStringLiteral("99999999999"));  // beyond 32 bits: still the nearest limit
  QCOMPARE(e.Value(), 5);
  e.SetText(QStringLiteral("3"));
  QCOMPARE(e.Value(), 3);
  e.SetText(QStringLiteral("abc"));
  QCOMPARE(e.Value(), -5);
  e.SetText(QStringLiteral("1,000"));  // no group separators
  QCOMPARE(e.Value(), -5);
  e.SetMinValue(0);
  e.SetMaxValue(0);  // equal limits: none
  e.SetValue(123456);
  QCOMPARE(e.Value(), 123456);
  e.SetText(QStringLiteral("+17"));
  QCOMPARE(e.Value(), 17);
}

void TestControls::spinEditKeysAndButtons()
{
  auto *e = new TSpinEdit;
  Window w(e);
  QVERIFY(w.Ready());
  e->SetMinValue(0);
  e->SetMaxValue(10);
  e->SetIncrement(3);
  e->SetValue(5);
  QTest::mouseClick(e->UpButton(), Qt::LeftButton);
  QCOMPARE(e->Value(), 8);
  QTest::mouseClick(e->UpButton(), Qt::LeftButton);
  QCOMPARE(e->Value(), 10);
  QTest::keyClick(e->Editor(), Qt::Key_Down);
  QCOMPARE(e->Value(), 7);
  QTest::mouseClick(e->DownButton(), Qt::LeftButton);
  QTest::mouseClick(e->DownButton(), Qt::LeftButton);
  QTest::mouseClick(e->DownButton(), Qt::LeftButton);
  QCOMPARE(e->Value(), 0);
  QTest::keyClick(e->Editor(), Qt::Key_Up);
  QCOMPARE(e->Value(), 3);
  // A text that is no number steps from MinValue.
  e->SetText(QStringLiteral("x"));
  QTest::keyClick(e->Editor(), Qt::Key_Up);
  QCOMPARE(e->Text(), QStringLiteral("3"));
  // Without limits a step at the end of the range stays there instead of wrapping.
  e->SetMaxValue(0);
  e->SetIncrement(1);
  e->SetValue(INT_MAX);
  QTest::keyClick(e->Editor(), Qt::Key_Up);
  QCOMPARE(e->Value(), INT_MAX);
  e->SetValue(INT_MIN);
  QTest::keyClick(e->Editor(), Qt::Key_Down);
  QCOMPARE(e->Value(), INT_MIN);
}

void TestControls::spinEditLeaving()
{
  auto *e = new TSpinEdit;
  Window w(e);
  QVERIFY(w.Ready());
  e->SetMinValue(1);
  e->SetMaxValue(100);
  e->setFocus();
  QTRY_VERIFY(e->Editor()->hasFocus());
  e->SetText(QStringLiteral("500"));
  QTest::keyClick(e->Editor(), Qt::Key_Tab);
  QTRY_VERIFY(w.other.hasFocus());
  QCOMPARE(e->Text(), QStringLiteral("100"));
  QCOMPARE(QToolTip::text(), QStringLiteral("500 is outside 1 to 100: 100 is used."));
  // Within the limits, or no number at all, the text stays as typed.
  for (const QString &text : {QStringLiteral("+42"), QStringLiteral("")}) {
    e->SetText(text);
    QTest::keyClick(&w.other, Qt::Key_Backtab);
    QTRY_VERIFY(e->Editor()->hasFocus());
    QCOMPARE(e->Editor()->selectedText(), text);  // entered by keyboard: all selected
    QTest::keyClick(e->Editor(), Qt::Key_Tab);
    QTRY_VERIFY(w.other.hasFocus());
    QCOMPARE(e->Text(), text);
  }
  // Enter changes nothing in the integer edit.
  e->SetText(QStringLiteral("500"));
  QTest::keyClick(e->Editor(), Qt::Key_Return);
  QCOMPARE(e->Text(), QStringLiteral("500"));
}

void TestControls::spinEditKeyFilter()
{
  auto *e = new TSpinEdit;
  Window w(e);
  QVERIFY(w.Ready());
  e->SetText(QString());
  QTest::keyClicks(e->Editor(), QStringLiteral("-1a2 e.+x3,"));
  QCOMPARE(e->Text(), QStringLiteral("-12.+3"));
  QTest::keyClick(e->Editor(), Qt::Key_Backspace);
  QCOMPARE(e->Text(), QStringLiteral("-12.+"));
  // The length limit holds for typing and pasting, but not for values written by the program.
  e->SetMaxLength(3);
  e->SetText(QString());
  QTest::keyClicks(e->Editor(), QStringLiteral("12345"));
  QCOMPARE(e->Text(), QStringLiteral("123"));
  e->Editor()->selectAll();
  QApplication::clipboard()->setText(QStringLiteral("98765"));
  QTest::keyClick(e->Editor(), Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(e->Text(), QStringLiteral("987"));
  e->SetValue(123456);
  QCOMPARE(e->Text(), QStringLiteral("123456"));
}

void TestControls::spinEditEditorDisabledAndReadOnly()
{
  auto *e = new TSpinEdit;
  Window w(e);
  QVERIFY(w.Ready());
  e->SetValue(12);
  e->SetEditorEnabled(false);
  QTest::keyClicks(e->Editor(), QStringLiteral("34"));
  QTest::keyClick(e->Editor(), Qt::Key_End);
  QTest::keyClick(e->Editor(), Qt::Key_Backspace);
  QTest::keyClick(e->Editor(), Qt::Key_Home);
  QTest::keyClick(e->Editor(), Qt::Key_Delete);
  QApplication::clipboard()->setText(QStringLiteral("77"));
  QTest::keyClick(e->Editor(), Qt::Key_V, Qt::ControlModifier);
  e->Editor()->selectAll();
  QTest::keyClick(e->Editor(), Qt::Key_X, Qt::ControlModifier);
  QCOMPARE(e->Text(), QStringLiteral("12"));
  QTest::keyClick(e->Editor(), Qt::Key_Up);
  QTest::mouseClick(e->UpButton(), Qt::LeftButton);
  QCOMPARE(e->Value(), 14);

  e->SetEditorEnabled(true);
  e->SetReadOnly(true);
  QTest::keyClick(e->Editor(), Qt::Key_Up);
  QTest::mouseClick(e->UpButton(), Qt::LeftButton);
  QTest::mouseClick(e->DownButton(), Qt::LeftButton);
  e->Editor()->selectAll();
  QTest::keyClick(e->Editor(), Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(e->Text(), QStringLiteral("14"));
}

void TestControls::floatSpinEditFormatAndSteps()
{
  auto *e = new TFloatSpinEdit;
  Window w(e);
  QVERIFY(w.Ready());
  e->SetValue(0.068);
  QCOMPARE(e->Text(), QStringLiteral("0.068"));
  e->SetMinValue(-1.0);
  e->SetMaxValue(1.0);
  e->SetIncrement(0.1);
  e->SetValue(0.95);
  QCOMPARE(e->Text(), QStringLiteral("0.95"));
  QTest::mouseClick(e->UpButton(), Qt::LeftButton);
  QCOMPARE(e->Text(), QStringLiteral("1.0"));
  QTest::keyClick(e->Editor(), Qt::Key_Up);
  QCOMPARE(e->Text(), QStringLiteral("1.0"));
  // Ten steps up from -1 land exactly on zero, without rounding noise or a sign.
  e->SetValue(-1.0);
  for (int i = 0; i < 10; ++i)
    QTest::keyClick(e->Editor(), Qt::Key_Up);
  QCOMPARE(e->Text(), QStringLiteral("0.0"));
  QTest::keyClick(e->Editor(), Qt::Key_Up);
  QCOMPARE(e->Text(), QStringLiteral("0.1"));
  e->SetText(QString());
  QCOMPARE(e->Value(), -1.0);
  e->SetText(QStringLiteral("nan"));
  QCOMPARE(e->Value(), -1.0);
  e->SetMinValue(0);
  e->SetMaxValue(1000);
  e->SetValue(123.456789012345678);
  QCOMPARE(e->Text(), QStringLiteral("123.456789012"));
}

void TestControls::floatSpinEditEnterAndLeaving()
{
  auto *e = new TFloatSpinEdit;
  Window w(e);
  QVERIFY(w.Ready());
  e->SetMinValue(0);
  e->SetMaxValue(1000);
  e->setFocus();
  QTRY_VERIFY(e->Editor()->hasFocus());
  e->SetText(QString());
  QTest::keyClicks(e->Editor(), QStringLiteral("0.5e3"));
  QCOMPARE(e->Text(), QStringLiteral("0.53"));  // 'e' is dropped
  QTest::keyClick(e->Editor(), Qt::Key_Return);
  QCOMPARE(e->Text(), QStringLiteral("0.53"));
  e->SetText(QStringLiteral("2000"));
  QTest::keyClick(e->Editor(), Qt::Key_Tab);
  QTRY_VERIFY(w.other.hasFocus());
  QCOMPARE(e->Text(), QStringLiteral("1000.0"));
}

void TestControls::buttonAutoRepeat()
{
  auto *e = new TSpinEdit;
  Window w(e);
  QVERIFY(w.Ready());
  QElapsedTimer held;
  QTest::mousePress(e->UpButton(), Qt::LeftButton);
  held.start();
  QCOMPARE(e->Value(), 1);  // the press steps at once
  QTRY_COMPARE_WITH_TIMEOUT(e->Value(), 2, 2000);
  const qint64 firstRepeat = held.elapsed();
  QTRY_COMPARE_WITH_TIMEOUT(e->Value(), 4, 2000);
  const qint64 thirdStep = held.elapsed() - firstRepeat;
  QVERIFY2(firstRepeat >= 380, qPrintable(QString::number(firstRepeat)));
  QVERIFY2(thirdStep >= 180, qPrintable(QString::number(thirdStep)));
  QTest::mouseRelease(e->UpButton(), Qt::LeftButton);
  const int released = e->Value();
  QSignalSpy changes(e, &TSpinEdit::Change);
  QVERIFY(!changes.wait(300));  // releasing ends the repetition
  QCOMPARE(e->Value(), released);
}

void TestControls::checkedComboText()
{
  TCheckedComboBinary c;
  QSignalSpy changes(&c, &TCheckedComboBinary::OnChange);
  c.SetItems({"DISABLE_STOP_L", "DISABLE_STOP_R", "SOFT_STOP", "REF_RnL"});
  QCOMPARE(c.BinaryText(), QStringLiteral("0000"));
  c.SetItemChecked(1, true);
  c.SetItemChecked(2, true);
  QCOMPARE(c.BinaryText(), QStringLiteral("0110"));
  QCOMPARE(BinToInt(c.BinaryText()), 6);
  QCOMPARE(changes.count(), 2);
  QVERIFY(c.IsItemChecked(2));
  QVERIFY(!c.IsItemChecked(0));
  QVERIFY(!c.IsItemChecked(4));
  QVERIFY(!c.IsItemChecked(-1));
  c.SetItemChecked(4, true);
  c.SetItemChecked(-1, true);
  QCOMPARE(changes.count(), 2);
  QCOMPARE(c.LongestItemIndex(), 0);  // first of the equally long ones

  c.SetItems({"a", "b", "ccc", "d", "eee", "f", "g", "h"});
  QCOMPARE(c.BinaryText(), QStringLiteral("00000000"));
  QCOMPARE(c.LongestItemIndex(), 2);
  QCOMPARE(changes.count(), 2);  // assigning items fires no event
  c.SetItemChecked(8, true);
  QCOMPARE(c.BinaryText(), QStringLiteral("00000000"));
  QCOMPARE(changes.count(), 2);
  c.SelectAll();
  QCOMPARE(c.BinaryText(), QStringLiteral("11111111"));
  QCOMPARE(changes.count(), 3);
  c.DeSelectAll();
  QCOMPARE(c.BinaryText(), QStringLiteral("00000000"));
  QCOMPARE(changes.count(), 4);

  c.SetDropDownLines(11);
  c.SetDropDownLines(1);
  QCOMPARE(c.DropDownLines(), 2);
  c.SetDropDownLines(9);
  QCOMPARE(c.DropDownLines(), 9);
}

void TestControls::checkedComboListCommands()
{
  auto *c = new TCheckedComboBinary;
  Window w(c);
  QVERIFY(w.Ready());
  c->SetItems({"b0", "b1", "b2", "b3", "b4", "b5", "b6", "b7"});
  QSignalSpy changes(c, &TCheckedComboBinary::OnChange);
  QTest::mouseClick(c->DropButton(), Qt::LeftButton);
  QTRY_VERIFY(c->PopUp() && c->PopUp()->isVisible());
  QListWidget *list = c->PopUpList();
  // Space toggles the current item's check box, like a click on it.
  list->setCurrentRow(1);
  QTest::keyClick(list, Qt::Key_Space);
  QCOMPARE(c->BinaryText(), QStringLiteral("00000010"));
  QCOMPARE(changes.count(), 1);

  // The list's context menu, with the captions as set.
  c->SetCapSelectAll(QStringLiteral("All on"));
  auto chooseFromMenu = [&](const QString &caption) {
    QTimer::singleShot(0, [caption] {
      auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
      QVERIFY(menu);
      for (QAction *a : menu->actions())
        if (a->text() == caption)
          a->trigger();
      menu->close();
    });
    QContextMenuEvent ev(QContextMenuEvent::Mouse, QPoint(5, 5), list->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(list->viewport(), &ev);
  };
  chooseFromMenu(QStringLiteral("All on"));
  QCOMPARE(c->BinaryText(), QStringLiteral("11111111"));
  QCOMPARE(changes.count(), 2);
  QCOMPARE(list->item(7)->checkState(), Qt::Checked);
  chooseFromMenu(QStringLiteral("&DeSelect All"));
  QCOMPARE(c->BinaryText(), QStringLiteral("00000000"));
  QCOMPARE(changes.count(), 3);
  QCOMPARE(list->item(7)->checkState(), Qt::Unchecked);
  // Marks set by the program show in the open list, without a second event.
  c->SetItemChecked(3, true);
  QCOMPARE(list->item(3)->checkState(), Qt::Checked);
  QCOMPARE(changes.count(), 4);
}

void TestControls::checkedComboPopUpPlacement()
{
  auto *c = new TCheckedComboBinary;
  c->SetItems({"one", "a much longer item", "two", "three"});
  c->SetDropDownLines(3);
  Window w(c);
  QVERIFY(w.Ready());
  c->DropDown();
  QWidget *popUp = c->PopUp();
  QTRY_VERIFY(popUp->isVisible());
  const QListWidget *list = c->PopUpList();
  QCOMPARE(popUp->geometry().topLeft(), c->mapToGlobal(QPoint(0, c->height())));
  QCOMPARE(popUp->width(), list->fontMetrics().horizontalAdvance("a much longer item") + 25);
  QCOMPARE(popUp->height(), 3 * list->sizeHintForRow(0) + 4);
  popUp->hide();

  // Near the screen's bottom it opens above the control.
  const QRect screen = c->screen()->geometry();
  w.top.move(100, screen.bottom() - w.top.frameGeometry().height() - 5);
  QTRY_COMPARE(c->mapToGlobal(QPoint(0, c->height())).y() + popUp->height() + 20 > screen.bottom(), true);
  c->DropDown();
  QTRY_VERIFY(popUp->isVisible());
  QCOMPARE(popUp->geometry().bottom() + 1, c->mapToGlobal(QPoint(0, 0)).y());
  popUp->hide();

  // Columns set the number of lines from the item count, within 2..10.
  c->SetColumns(2);
  c->SetItems(QStringList(8, QStringLiteral("x")));
  c->DropDown();
  QCOMPARE(c->DropDownLines(), 5);
  popUp->hide();
  c->SetItems(QStringList(30, QStringLiteral("x")));
  c->DropDown();
  QCOMPARE(c->DropDownLines(), 10);
  popUp->hide();
}

void TestControls::checkedComboPopUpClosing()
{
  auto *c = new TCheckedComboBinary;
  c->SetItems({"a", "b"});
  Window w(c);
  QVERIFY(w.Ready());
  QTest::mouseClick(c->DropButton(), Qt::LeftButton);
  QTRY_VERIFY(c->PopUp()->isVisible());
  QTest::keyClick(c->PopUpList(), Qt::Key_Escape);
  QTRY_VERIFY(!c->PopUp()->isVisible());
  // A click on the drop button closes the open list and does not reopen it.
  QTest::mouseClick(c->DropButton(), Qt::LeftButton);
  QTRY_VERIFY(c->PopUp()->isVisible());
  // Through the window, as a user's click arrives while the pop-up holds the mouse.
  const QPoint onButton = c->DropButton()->mapTo(&w.top, c->DropButton()->rect().center());
  QTest::mouseClick(w.top.windowHandle(), Qt::LeftButton, {}, onButton);
  QTRY_VERIFY(!c->PopUp()->isVisible());
  QTest::mouseClick(c->DropButton(), Qt::LeftButton);
  QTRY_VERIFY(c->PopUp()->isVisible());
  c->PopUp()->hide();
}

void TestControls::ledClickAndBlink()
{
  TLedLittle led;
  QCOMPARE(led.ShownColor(), lcBlack);
  led.SetLedColor(lcCyan);
  QTest::mousePress(&led, Qt::LeftButton);
  QCOMPARE(led.ShownColor(), lcDarkGray);
  led.SetLedColor(lcRed);  // a status change while pressed shows on release
  QCOMPARE(led.ShownColor(), lcDarkGray);
  QTest::mouseRelease(&led, Qt::LeftButton);
  QCOMPARE(led.ShownColor(), lcRed);

  QSignalSpy blinks(&led, &TLedLittle::OnBlink);
  led.SetClicLedColor(lcYellow);
  led.SetInterval(20);
  led.SetBlink(true);
  QVERIFY(blinks.wait(1000));
  QCOMPARE(led.ShownColor(), lcYellow);
  QVERIFY(blinks.wait(1000));
  QCOMPARE(led.ShownColor(), lcRed);
  QVERIFY(blinks.wait(1000));
  QCOMPARE(led.ShownColor(), lcYellow);
  led.SetInterval(30);  // restarts from the own colour
  QCOMPARE(led.ShownColor(), lcRed);
  QVERIFY(blinks.wait(1000));
  QCOMPARE(led.ShownColor(), lcYellow);
  led.SetBlink(false);
  QCOMPARE(led.ShownColor(), lcRed);
  QCOMPARE(led.LedColor(), lcRed);
  blinks.clear();
  QVERIFY(!blinks.wait(100));
  // A press while blinking does not show the click colour.
  led.SetBlink(true);
  QTest::mousePress(&led, Qt::LeftButton);
  QCOMPARE(led.ShownColor(), lcRed);
  QTest::mouseRelease(&led, Qt::LeftButton);
}

void TestControls::trackBarOrder()
{
  auto *t = new TTrackBarMouseUpDown;
  t->setRange(0, 255);
  Window w(t);
  QVERIFY(w.Ready());
  QStringList log;
  connect(t, &TTrackBarMouseUpDown::MouseDown, [&] { log << "mouse down"; });
  connect(t, &TTrackBarMouseUpDown::MouseUp, [&] { log << "mouse up"; });
  connect(t, &TTrackBarMouseUpDown::KeyDown, [&] { log << "key down"; });
  connect(t, &TTrackBarMouseUpDown::KeyUp, [&] { log << "key up"; });
  connect(t, &QSlider::valueChanged, [&](int v) { log << QString::number(v); });
  t->setFocus();
  QTest::keyPress(t, Qt::Key_Right);
  QTest::keyPress(t, Qt::Key_Right, Qt::NoModifier, -1);
  QTest::keyRelease(t, Qt::Key_Right);
  QCOMPARE(log, QStringList({"key down", "1", "key down", "2", "key up"}));
  log.clear();
  QTest::mousePress(t, Qt::LeftButton, {}, QPoint(t->width() - 2, t->height() / 2));
  QTest::mouseRelease(t, Qt::LeftButton, {}, QPoint(t->width() - 2, t->height() / 2));
  QVERIFY(log.size() >= 2);
  QCOMPARE(log.first(), QStringLiteral("mouse down"));
  QCOMPARE(log.last(), QStringLiteral("mouse up"));
}

namespace {
QWidget *VisibleTip()
{
  for (QWidget *t : QApplication::topLevelWidgets())
    if (t->inherits("QTipLabel") && t->isVisible())
      return t;
  return nullptr;
}
}  // namespace

void TestControls::hintWrapping()
{
  const QString longHint = QStringLiteral("Maximum velocity <V_MAX> of the motor in internal units, "
                                          "limited by the pulse divider & the clock frequency");
  QTextDocument doc;
  doc.setHtml(THint95::WrappedText(longHint, 200));
  QCOMPARE(doc.toPlainText().trimmed(), longHint);  // markup in the hint shows as text

  THint95::InstallApplicationStyle();

  // The window's tips show wrapped at its width; short ones stay on one line.
  auto *button = new QToolButton;
  Window w(button);
  QVERIFY(w.Ready());
  THint95 hint(&w.top, 200);
  const int lineHeight = QFontMetrics(QToolTip::font()).height();
  for (const QString &text : {longHint, QStringLiteral("Go <1>")}) {
    button->setToolTip(text);
    QHelpEvent tip(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(button, &tip);
    QTRY_VERIFY(VisibleTip());
    QCOMPARE(QToolTip::text(), THint95::WrappedText(text, 200));
    const QSize size = VisibleTip()->size();
    QVERIFY2(size.width() <= 200 + 12, qPrintable(QString::number(size.width())));
    if (text == longHint)
      QVERIFY(size.height() > 2 * lineHeight);
    else
      QVERIFY(size.height() < 2 * lineHeight);
    QToolTip::hideText();
    QTRY_VERIFY(!VisibleTip());
  }
}

// The first tip waits half a second; moving on to the next control while it shows brings the
// next tip at once. The timing reaches the whole application, also when installed twice.
void TestControls::tipTiming()
{
  THint95::InstallApplicationStyle();
  THint95::InstallApplicationStyle();
  auto *row = new QWidget;
  auto *layout = new QHBoxLayout(row);
  auto *first = new QToolButton, *second = new QToolButton;
  first->setToolTip(QStringLiteral("tip one"));
  second->setToolTip(QStringLiteral("tip two"));
  layout->addWidget(first);
  layout->addWidget(second);
  Window w(row);
  QVERIFY(w.Ready());
  QElapsedTimer clock;
  QTest::mouseMove(first, first->rect().center());
  clock.start();
  QTRY_VERIFY_WITH_TIMEOUT(VisibleTip() && QToolTip::text() == QLatin1String("tip one"), 3000);
  const qint64 wakeUp = clock.elapsed();
  QVERIFY2(wakeUp >= THint95::WakeUpDelay - 20, qPrintable(QString::number(wakeUp)));
  QTest::mouseMove(second, second->rect().center());
  clock.restart();
  QTRY_VERIFY_WITH_TIMEOUT(VisibleTip() && QToolTip::text() == QLatin1String("tip two"), 3000);
  QVERIFY2(clock.elapsed() < wakeUp, qPrintable(QString("%1 ms after %2 ms").arg(clock.elapsed()).arg(wakeUp)));
  QToolTip::hideText();
  QTest::mouseMove(&w.other);
  QTRY_VERIFY(!VisibleTip());
}

void TestControls::rotoLabelUpright()
{
  TRotoLabel label;
  label.resize(40, 120);
  label.SetCaption(QStringLiteral("Load value"));
  label.SetAngle(ag90);
  QPalette p = label.palette();
  p.setColor(QPalette::Window, Qt::white);
  p.setColor(QPalette::WindowText, Qt::black);
  label.setPalette(p);
  QImage image(label.size(), QImage::Format_RGB32);
  image.fill(Qt::red);
  label.render(&image, {}, {}, QWidget::DrawChildren);  // only what the label paints
  QCOMPARE(QColor(image.pixel(0, 0)), QColor(Qt::white));
  QRect ink;  // the caption's ink
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 128)
        ink |= QRect(x, y, 1, 1);
  QVERIFY(ink.height() > 2 * ink.width());  // reads along the height
  QVERIFY(qAbs(ink.center().x() - label.width() / 2) <= 3);
  QVERIFY(qAbs(ink.center().y() - label.height() / 2) <= 3);
  // Reads upwards: the heavy start of the caption lies below the centre, and above it when
  // turned the other way.
  auto inkCentreY = [&](TUgao angle) {
    label.SetAngle(angle);
    label.SetCaption(QStringLiteral("WWWW...."));
    label.render(&image, {}, {}, QWidget::DrawChildren);  // only what the label paints
    qint64 ySum = 0, count = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (qGray(image.pixel(x, y)) < 128) {
          ySum += y;
          ++count;
        }
    return count ? double(ySum) / count : -1.0;
  };
  QVERIFY(inkCentreY(ag90) > label.height() / 2 + 2);
  QVERIFY(inkCentreY(ag270) < label.height() / 2 - 2);
  label.SetTransparent(true);
  image.fill(Qt::red);
  label.render(&image, {}, {}, QWidget::DrawChildren);  // only what the label paints
  QCOMPARE(QColor(image.pixel(0, 0)), QColor(Qt::red));
}

void TestControls::maskedTextKeepsPositions_data()
{
  QTest::addColumn<QString>("mask");
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("cursor");  // where Delete is pressed; -1: not at all
  QTest::addColumn<QString>("read");
  QTest::newRow("filled") << ">HHHHHH" << "12ab3c" << -1 << "12AB3C";
  QTest::newRow("deleted in the middle") << ">HHHHHH" << "12AB3C" << 2 << "12 B3C";
  QTest::newRow("deleted first") << ">HH" << "1A" << 0 << " A";
  QTest::newRow("short text") << ">HHHHHH" << "12" << -1 << "12    ";
  QTest::newRow("blank shown as _") << ">HHHH;_" << "ABCD" << 1 << "A CD";
  QTest::newRow("literal kept in place") << "HH-HH" << "12-34" << 0 << " 2-34";
  QTest::newRow("no mask") << "" << "1A" << 0 << "A";
}

void TestControls::maskedTextKeepsPositions()
{
  QFETCH(QString, mask);
  QFETCH(QString, text);
  QFETCH(int, cursor);
  QLineEdit edit;
  edit.setInputMask(mask);
  edit.setText(text);
  if (cursor >= 0) {
    edit.setCursorPosition(cursor);
    QTest::keyClick(&edit, Qt::Key_Delete);
  }
  QTEST(MaskedText(&edit), "read");
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
