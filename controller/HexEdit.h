#pragma once
// Hexadecimal entry shared by the RAM grid's cells and the masked hex edits (cover telegram,
// manual datagram): typed characters other than hexadecimal digits are dropped with a beep and
// letters show in upper case.
#include <QObject>

class QLineEdit;
class QWidget;

// The key filter (StringGridHexKeyPress): lets through Backspace, Tab, Enter, Escape, keys
// without a character (arrows, Delete, shortcuts) and 0-9, A-F, a-f; drops any other character
// and beeps. One instance may serve many widgets.
class THexKeyFilter : public QObject {
  Q_OBJECT
public:
  using QObject::QObject;
protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
};

// Filters the keys typed into `Edit` as THexKeyFilter does (the filter belongs to the edit).
void InstallHexKeyFilter(QWidget *Edit);

// Makes `edit` (a grid cell's editor) a hexadecimal edit of at most `digits` characters, upper
// case, filtered by `filter`.
void MakeHexEdit(QLineEdit *edit, int digits, THexKeyFilter *filter);

// The value of a hexadecimal edit's text, read by position when it has an input mask; throws
// EEvalError naming the text when it is none (a blank position included).
int HexEditValue(const QLineEdit *edit);
