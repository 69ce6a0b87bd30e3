#include "SpinEdit.h"
#include "Ev710Utils.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QStyle>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// Numbers are written and read the same way whatever the user's locale: '.' as decimal
// separator, no group separators.
QLocale NumberLocale()
{
  QLocale l = QLocale::c();
  l.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
  return l;
}

// Signs, digits and the decimal separator: what both edits let the user type.
bool IsNumberChar(QChar c)
{
  return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+') || c == QLatin1Char('-') ||
         c == QLatin1Char('.');
}

constexpr int ButtonWidth = 15, ButtonPairHeight = 17;
constexpr int RepeatDelay = 400, RepeatInterval = 100;

QToolButton *MakeStepButton(QWidget *parent, Qt::ArrowType arrow)
{
  auto *b = new QToolButton(parent);
  b->setArrowType(arrow);
  b->setFocusPolicy(Qt::NoFocus);
  b->setCursor(Qt::ArrowCursor);
  b->setAutoRepeat(true);
  b->setAutoRepeatDelay(RepeatDelay);
  b->setAutoRepeatInterval(RepeatInterval);
  return b;
}
}  // namespace

// ---- TCustomSpinEdit ----

TCustomSpinEdit::TCustomSpinEdit(QWidget *parent) : QWidget(parent)
{
  FEdit = new QLineEdit(this);
  FEdit->setTextMargins(0, 0, ButtonWidth, 0);
  FEdit->installEventFilter(this);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(FEdit);
  setFocusProxy(FEdit);
  setSizePolicy(FEdit->sizePolicy());

  // The buttons sit inside the edit's right end.
  FUp = MakeStepButton(FEdit, Qt::UpArrow);
  FDown = MakeStepButton(FEdit, Qt::DownArrow);
  connect(FUp, &QToolButton::pressed, this, [this] { Step(true); });
  connect(FDown, &QToolButton::pressed, this, [this] { Step(false); });
  connect(FEdit, &QLineEdit::textChanged, this, &TCustomSpinEdit::Change);
  PlaceButtons();
}

QString TCustomSpinEdit::Text() const { return FEdit->text(); }

void TCustomSpinEdit::SetText(const QString &t) { FEdit->setText(t); }

bool TCustomSpinEdit::ReadOnly() const { return FEdit->isReadOnly(); }

void TCustomSpinEdit::SetReadOnly(bool on) { FEdit->setReadOnly(on); }

void TCustomSpinEdit::Step(bool up)
{
  if (ReadOnly()) {
    QApplication::beep();
    return;
  }
  if (up)
    StepUp();
  else
    StepDown();
}

void TCustomSpinEdit::PlaceButtons()
{
  const int frame = FEdit->hasFrame() ? FEdit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
  const int x = FEdit->width() - frame - ButtonWidth;
  const int y = qMax(0, (FEdit->height() - ButtonPairHeight) / 2);
  const int upHeight = (ButtonPairHeight + 1) / 2;
  FUp->setGeometry(x, y, ButtonWidth, upHeight);
  FDown->setGeometry(x, y + upHeight, ButtonWidth, ButtonPairHeight - upHeight);
}

bool TCustomSpinEdit::PasteCutAllowed() const { return FEditorEnabled && !ReadOnly(); }

int TCustomSpinEdit::RoomLeft() const
{
  if (FMaxLength <= 0)
    return std::numeric_limits<int>::max();
  return qMax(0, FMaxLength - int(FEdit->text().size()) + int(FEdit->selectedText().size()));
}

void TCustomSpinEdit::Paste()
{
  if (!PasteCutAllowed()) {
    QApplication::beep();
    return;
  }
  FEdit->insert(QApplication::clipboard()->text().left(RoomLeft()));
}

bool TCustomSpinEdit::IsTypedCharValid(QChar c) const
{
  bool valid = AcceptsChar(c) || (c.unicode() < 32 && c != QLatin1Char('\r'));
  // Without the editor only the buttons and arrow keys change the value.
  if (!FEditorEnabled && (c.unicode() >= 32 || c == QLatin1Char('\b')))
    valid = false;
  return valid;
}

bool TCustomSpinEdit::FilterKey(QKeyEvent *e)
{
  const int key = e->key();
  if (key == Qt::Key_Up || key == Qt::Key_Down) {
    Step(key == Qt::Key_Up);
    return true;
  }
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && ReformatsOnEnter()) {
    EditingDone();
    return true;
  }
  if (e->matches(QKeySequence::Paste)) {
    Paste();
    return true;
  }
  if (e->matches(QKeySequence::Cut) && !PasteCutAllowed()) {
    QApplication::beep();
    return true;
  }
  if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
    if (FEditorEnabled)
      return false;
    QApplication::beep();
    return true;
  }
  // Other shortcuts (select all, copy, undo) are no typed characters.
  if (e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
    return false;
  const QString text = e->text();
  for (QChar c : text) {
    if (!IsTypedCharValid(c)) {
      QApplication::beep();
      return true;
    }
  }
  // Printable characters beyond the length limit are dropped.
  return !text.isEmpty() && text[0].unicode() >= 32 && RoomLeft() < text.size();
}

void TCustomSpinEdit::ShowContextMenu(const QPoint &globalPos)
{
  QMenu *menu = FEdit->createStandardContextMenu();
  const bool allowed = PasteCutAllowed();
  for (QAction *a : menu->actions()) {
    const QString name = a->objectName();
    if (name == QLatin1String("edit-cut") || name == QLatin1String("edit-delete"))
      a->setEnabled(a->isEnabled() && allowed);
    if (name == QLatin1String("edit-paste")) {
      a->setEnabled(a->isEnabled() && allowed);
      a->disconnect();
      connect(a, &QAction::triggered, this, &TCustomSpinEdit::Paste);
    }
  }
  menu->exec(globalPos);
  delete menu;
}

bool TCustomSpinEdit::eventFilter(QObject *o, QEvent *e)
{
  if (o != FEdit)
    return QWidget::eventFilter(o, e);
  switch (e->type()) {
  case QEvent::KeyPress:
    return FilterKey(static_cast<QKeyEvent *>(e));
  case QEvent::FocusOut: {
    // A context menu or another application taking the focus does not leave the edit.
    const Qt::FocusReason reason = static_cast<QFocusEvent *>(e)->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
      EditingDone();
    return false;
  }
  case QEvent::ContextMenu:
    ShowContextMenu(static_cast<QContextMenuEvent *>(e)->globalPos());
    return true;
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonRelease:
    // The middle button pastes the selection.
    return static_cast<QMouseEvent *>(e)->button() == Qt::MiddleButton && !PasteCutAllowed();
  case QEvent::DragEnter:
  case QEvent::Drop:
    if (PasteCutAllowed())
      return false;
    e->ignore();
    return true;
  case QEvent::Resize:
  case QEvent::Show:
    PlaceButtons();
    return false;
  default:
    return false;
  }
}

// Text a handler cannot act on: the edit takes the focus with its text selected, and the
// operation ends with a message that says what was expected.
void TCustomSpinEdit::RefuseText(const QString &expected)
{
  FEdit->setFocus();
  FEdit->selectAll();
  throw EEvalError(QStringLiteral("\"%1\" is not a number the program can use. Please enter a %2.")
                       .arg(FEdit->text(), expected));
}

// ---- TSpinEdit ----

TSpinEdit::TSpinEdit(QWidget *parent) : TCustomSpinEdit(parent) { FEdit->setText(QStringLiteral("0")); }

std::optional<qint64> TSpinEdit::Typed() const
{
  bool ok = false;
  const qint64 v = NumberLocale().toLongLong(FEdit->text().trimmed(), &ok);
  return ok ? std::optional<qint64>(v) : std::nullopt;
}

int TSpinEdit::Value() const { return Clamp(Typed().value_or(FMin)); }

QString TSpinEdit::RangeText() const { return QStringLiteral("%1 to %2").arg(FMin).arg(FMax); }

int TSpinEdit::Clamp(qint64 v) const
{
  if (FMin != FMax) {
    if (v < FMin)
      v = FMin;
    else if (v > FMax)
      v = FMax;
  }
  return int(std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int TSpinEdit::CheckedValue()
{
  const std::optional<qint64> typed = Typed();
  if (!typed)
    RefuseText(QStringLiteral("whole number from ") + RangeText());
  ShowTypedValue(*typed);
  return Value();
}

// A typed number beyond the limits is replaced by the nearest limit, and a note by the edit
// says so.
void TSpinEdit::ShowTypedValue(qint64 v)
{
  ShowValue(v);
  if (Clamp(v) != v)
    QToolTip::showText(mapToGlobal(QPoint(0, height())),
                       QStringLiteral("%1 is outside %2: %3 is used.").arg(v).arg(RangeText()).arg(Clamp(v)), this);
}

void TSpinEdit::ShowValue(qint64 v) { FEdit->setText(NumberLocale().toString(Clamp(v))); }

void TSpinEdit::SetValue(int v) { ShowValue(v); }

void TSpinEdit::StepUp() { ShowValue(qint64(Value()) + FIncrement); }

void TSpinEdit::StepDown() { ShowValue(qint64(Value()) - FIncrement); }

void TSpinEdit::EditingDone()
{
  // Leaving rewrites the text only when it holds a number outside the limits.
  const std::optional<qint64> typed = Typed();
  if (typed && Clamp(*typed) != *typed)
    ShowTypedValue(*typed);
}

bool TSpinEdit::AcceptsChar(QChar c) const { return IsNumberChar(c); }

// ---- TFloatSpinEdit ----

TFloatSpinEdit::TFloatSpinEdit(QWidget *parent) : TCustomSpinEdit(parent) { FEdit->setText(QStringLiteral("0.0")); }

double TFloatSpinEdit::Value() const
{
  bool ok = false;
  const double v = NumberLocale().toDouble(FEdit->text().trimmed(), &ok);
  return ok && std::isfinite(v) ? v : FMin;
}

void TFloatSpinEdit::SetValue(double v)
{
  if (std::isnan(v))
    v = FMin;
  if (FMin != FMax)
    v = v < FMin ? FMin : (v > FMax ? FMax : v);
  // At most 12 significant digits, so steps of 0.1 do not show binary rounding noise, then
  // the decimals that value needs (at least one, so it reads as a decimal number); a value
  // that rounds to zero shows without a sign.
  v = QString::number(v, 'g', 12).toDouble();
  if (std::abs(v) < 0.5e-12)
    v = 0.0;
  QString text = NumberLocale().toString(v, 'f', QLocale::FloatingPointShortest);
  if (!text.contains(u'.'))
    text += QStringLiteral(".0");
  FEdit->setText(text);
}

double TFloatSpinEdit::CheckedValue()
{
  bool ok = false;
  const double v = NumberLocale().toDouble(FEdit->text().trimmed(), &ok);
  if (!ok || !std::isfinite(v))
    RefuseText(QStringLiteral("number from %1 to %2").arg(FMin).arg(FMax));
  SetValue(v);
  return Value();
}

void TFloatSpinEdit::StepUp() { SetValue(Value() + FIncrement); }

void TFloatSpinEdit::StepDown() { SetValue(Value() - FIncrement); }

void TFloatSpinEdit::EditingDone() { SetValue(Value()); }

bool TFloatSpinEdit::AcceptsChar(QChar c) const { return IsNumberChar(c); }
