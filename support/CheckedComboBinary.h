#pragma once
// A drop-down list of check boxes that edits a bit mask; the read-only edit shows the mask
// as binary digits, item 0 rightmost.
#include <QColor>
#include <QStringList>
#include <QWidget>

class QLineEdit;
class QToolButton;
class QListWidget;
class QFrame;

class TCheckedComboBinary : public QWidget {
  Q_OBJECT
public:
  explicit TCheckedComboBinary(QWidget *parent = nullptr);
  QStringList Items() const { return FItems; }
  void SetItems(const QStringList &items);
  void SetItemChecked(int index, bool checked);
  bool IsItemChecked(int index) const;
  QString BinaryText() const;
  int DropDownLines() const { return FDropDownLines; }
  void SetDropDownLines(int n);
  int Columns() const { return FColumns; }
  void SetColumns(int n) { FColumns = n; }  // > 1: opening sets DropDownLines from the item count
  bool Sorted() const { return FSorted; }
  void SetSorted(bool on);
  QColor NotFocusColor() const { return FNotFocusColor; }
  void SetNotFocusColor(const QColor &c);
  QString CapSelectAll() const { return FCapSelectAll; }
  void SetCapSelectAll(const QString &s) { FCapSelectAll = s; }
  QString CapDeSelectAll() const { return FCapDeSelectAll; }
  void SetCapDeSelectAll(const QString &s) { FCapDeSelectAll = s; }
  int LongestItemIndex() const { return FLongest; }
  QLineEdit *Editor() const { return FEdit; }
  QToolButton *DropButton() const { return FButton; }
  QWidget *PopUp() const;          // the pop-up list (exists once opened)
  QListWidget *PopUpList() const;
  void DropDown();                 // opens the pop-up, as the button does
  void SelectAll();                // the context menu's two commands
  void DeSelectAll();
signals:
  void OnChange();
protected:
  void changeEvent(QEvent *e) override;
  bool eventFilter(QObject *o, QEvent *e) override;
private:
  void RefreshText();
  void SetAll(bool checked);
  void CreatePopUp();
  void FillList();
  void SyncListItem(int index);
  void ListItemChanged(int index);
  void ShowListMenu(const QPoint &pos);
  QRect PopUpGeometry() const;
  void ClosePopUp();
  void UpdateEditColor();
  void SortItems();
  QStringList FItems;
  QList<bool> FChecked;
  int FDropDownLines = 2, FColumns = 0, FLongest = -1;
  bool FSorted = false;
  QColor FNotFocusColor = Qt::white;
  QString FCapSelectAll = QStringLiteral("&Select All"), FCapDeSelectAll = QStringLiteral("&DeSelect All");
  QLineEdit *FEdit;
  QToolButton *FButton;
  QFrame *FPopUp = nullptr;
  QListWidget *FList = nullptr;
};
