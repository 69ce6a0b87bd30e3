#include "CheckedComboBinary.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>

namespace {
constexpr int ButtonWidth = 16;
constexpr int PopUpExtraWidth = 25, PopUpExtraHeight = 4, ScreenBottomMargin = 20;
constexpr int MinLines = 2, MaxLines = 10;
}  // namespace

TCheckedComboBinary::TCheckedComboBinary(QWidget *parent) : QWidget(parent)
{
  FEdit = new QLineEdit(this);
  FEdit->setReadOnly(true);
  FEdit->installEventFilter(this);
  FButton = new QToolButton(this);
  FButton->setArrowType(Qt::DownArrow);
  FButton->setFocusPolicy(Qt::NoFocus);
  FButton->setFixedWidth(ButtonWidth);
  FButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  auto *layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(FEdit);
  layout->addWidget(FButton);
  setFocusProxy(FEdit);
  setSizePolicy(FEdit->sizePolicy());
  connect(FButton, &QToolButton::clicked, this, [this] {
    if (FPopUp && FPopUp->isVisible())
      ClosePopUp();
    else
      DropDown();
  });
  UpdateEditColor();
}

QWidget *TCheckedComboBinary::PopUp() const { return FPopUp; }

QListWidget *TCheckedComboBinary::PopUpList() const { return FList; }

QString TCheckedComboBinary::BinaryText() const { return FEdit->text(); }

void TCheckedComboBinary::SetItems(const QStringList &items)
{
  FItems = items;
  FChecked = QList<bool>(FItems.size(), false);
  SortItems();
  RefreshText();
}

void TCheckedComboBinary::SetSorted(bool on)
{
  FSorted = on;
  SortItems();
  RefreshText();
}

// Sorts the items when Sorted is on (check marks move with their items), refills an
// existing list and remembers the longest item.
void TCheckedComboBinary::SortItems()
{
  if (FSorted) {
    QList<int> order(FItems.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
      return FItems[a].compare(FItems[b], Qt::CaseInsensitive) < 0;
    });
    QStringList items;
    QList<bool> checked;
    for (int i : order) {
      items << FItems[i];
      checked << FChecked[i];
    }
    FItems = items;
    FChecked = checked;
  }
  FLongest = -1;
  for (int i = 0; i < FItems.size(); ++i)
    if (FLongest < 0 || FItems[i].size() > FItems[FLongest].size())
      FLongest = i;
  if (FList)
    FillList();
}

void TCheckedComboBinary::SetItemChecked(int index, bool checked)
{
  if (index < 0 || index >= FChecked.size())
    return;
  FChecked[index] = checked;
  SyncListItem(index);
  RefreshText();
  emit OnChange();
}

bool TCheckedComboBinary::IsItemChecked(int index) const
{
  return index >= 0 && index < FChecked.size() && FChecked[index];
}

void TCheckedComboBinary::SetDropDownLines(int n)
{
  if (n >= MinLines && n <= MaxLines)
    FDropDownLines = n;
}

void TCheckedComboBinary::SetNotFocusColor(const QColor &c)
{
  FNotFocusColor = c;
  UpdateEditColor();
}

void TCheckedComboBinary::SelectAll() { SetAll(true); }

void TCheckedComboBinary::DeSelectAll() { SetAll(false); }

void TCheckedComboBinary::SetAll(bool checked)
{
  for (int i = 0; i < FChecked.size(); ++i) {
    FChecked[i] = checked;
    SyncListItem(i);
  }
  RefreshText();
  emit OnChange();
}

// Item 0 is the rightmost digit.
void TCheckedComboBinary::RefreshText()
{
  QString text;
  for (int i = FChecked.size() - 1; i >= 0; --i)
    text += FChecked[i] ? QLatin1Char('1') : QLatin1Char('0');
  FEdit->setText(text);
}

void TCheckedComboBinary::UpdateEditColor()
{
  const bool focused = FEdit->hasFocus() || (FPopUp && FPopUp->isVisible());
  QPalette p = FEdit->palette();
  p.setColor(QPalette::Base, focused ? QColor(Qt::white) : FNotFocusColor);
  FEdit->setPalette(p);
}

void TCheckedComboBinary::CreatePopUp()
{
  FPopUp = new QFrame(this, Qt::Popup);
  FPopUp->setFrameStyle(QFrame::Box | QFrame::Plain);
  FPopUp->setLineWidth(1);
  // A click on the drop button that closes the pop-up must not reach the button and reopen it.
  FPopUp->setAttribute(Qt::WA_NoMouseReplay);
  FPopUp->installEventFilter(this);
  FList = new QListWidget(FPopUp);
  FList->setFrameShape(QFrame::NoFrame);
  FList->setMinimumSize(1, 1);  // the pop-up's size is set from the lines, not from the list
  FList->setContextMenuPolicy(Qt::CustomContextMenu);
  FList->installEventFilter(this);
  auto *layout = new QVBoxLayout(FPopUp);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->addWidget(FList);
  connect(FList, &QListWidget::itemChanged, this,
          [this](QListWidgetItem *item) { ListItemChanged(FList->row(item)); });
  connect(FList, &QListWidget::customContextMenuRequested, this, &TCheckedComboBinary::ShowListMenu);
}

void TCheckedComboBinary::FillList()
{
  const QSignalBlocker block(FList);
  FList->clear();
  for (const QString &text : FItems) {
    auto *item = new QListWidgetItem(text, FList);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
  }
  for (int i = 0; i < FItems.size(); ++i)
    SyncListItem(i);
}

void TCheckedComboBinary::SyncListItem(int index)
{
  if (!FList || index >= FList->count())
    return;
  const QSignalBlocker block(FList);
  FList->item(index)->setCheckState(FChecked[index] ? Qt::Checked : Qt::Unchecked);
}

void TCheckedComboBinary::ListItemChanged(int index)
{
  if (index < 0 || index >= FChecked.size())
    return;
  FChecked[index] = FList->item(index)->checkState() == Qt::Checked;
  RefreshText();
  emit OnChange();
}

void TCheckedComboBinary::ShowListMenu(const QPoint &pos)
{
  QMenu menu;
  connect(menu.addAction(FCapSelectAll), &QAction::triggered, this, &TCheckedComboBinary::SelectAll);
  connect(menu.addAction(FCapDeSelectAll), &QAction::triggered, this, &TCheckedComboBinary::DeSelectAll);
  menu.exec(FList->viewport()->mapToGlobal(pos));
}

QRect TCheckedComboBinary::PopUpGeometry() const
{
  const int width = (FLongest >= 0 ? FList->fontMetrics().horizontalAdvance(FItems[FLongest]) : 0) + PopUpExtraWidth;
  const int lineHeight = FList->count() > 0 ? FList->sizeHintForRow(0) : FList->fontMetrics().height();
  const int height = FDropDownLines * lineHeight + PopUpExtraHeight;
  QRect r(mapToGlobal(QPoint(0, this->height())), QSize(width, height));
  const QScreen *s = screen();
  const int screenBottom = s ? s->geometry().y() + s->geometry().height() : r.bottom() + 1 + ScreenBottomMargin;
  if (r.y() + height > screenBottom - ScreenBottomMargin)
    r.moveBottom(mapToGlobal(QPoint(0, 0)).y() - 1);  // open above the control instead
  return r;
}

void TCheckedComboBinary::DropDown()
{
  if (!FPopUp)
    CreatePopUp();
  FillList();
  if (FColumns > 1)
    FDropDownLines = qBound(MinLines, int(FItems.size()) / FColumns + 1, MaxLines);
  FList->setWrapping(FColumns > 1);  // items flow top to bottom into further columns
  FPopUp->setGeometry(PopUpGeometry());
  FPopUp->show();
  FList->setFocus(Qt::PopupFocusReason);
  if (FList->count() > 0)
    FList->setCurrentRow(0);
  UpdateEditColor();
}

void TCheckedComboBinary::ClosePopUp()
{
  if (FPopUp)
    FPopUp->hide();
}

void TCheckedComboBinary::changeEvent(QEvent *e)
{
  if (e->type() == QEvent::EnabledChange) {
    FEdit->setEnabled(isEnabled());
    FButton->setEnabled(isEnabled());
  }
  QWidget::changeEvent(e);
}

bool TCheckedComboBinary::eventFilter(QObject *o, QEvent *e)
{
  const auto type = e->type();
  if (o == FEdit && (type == QEvent::FocusIn || type == QEvent::FocusOut)) {
    UpdateEditColor();
  } else if (o == FEdit && type == QEvent::KeyPress) {
    // Keyboard users open the list as in a combo box.
    const auto *k = static_cast<QKeyEvent *>(e);
    if (k->key() == Qt::Key_F4 || (k->key() == Qt::Key_Down && (k->modifiers() & Qt::AltModifier))) {
      DropDown();
      return true;
    }
  } else if ((o == FList || o == FPopUp) && (type == QEvent::KeyPress || type == QEvent::ShortcutOverride) &&
             static_cast<QKeyEvent *>(e)->key() == Qt::Key_Escape) {
    // Esc closes the list; taken before the program's Esc shortcut (stop all motors) sees it.
    if (type == QEvent::ShortcutOverride) e->accept();
    else ClosePopUp();
    return true;
  } else if (o == FPopUp && type == QEvent::Hide) {
    UpdateEditColor();
  }
  return QWidget::eventFilter(o, e);
}
