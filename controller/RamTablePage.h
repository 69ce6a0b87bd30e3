#pragma once
// TRamTablePage: the register editor's "RAM Table" page. The controller's 128 RAM words in a
// hexadecimal grid, read from and written to the chip and kept in .705 files; the microstep
// waveform calculator that fills the grid's microstep half; and the manual datagram sender.
#include <QPointer>
#include <QStyledItemDelegate>
#include <QWidget>
#include "Ev710Calc.h"
#include "RamTableFile.h"
#include "ui_RamTablePage.h"

class QLineEdit;
class TBoardAccess;
class THexKeyFilter;

// The grid's cell editor: two hexadecimal digits in upper case.
class THexCellDelegate : public QStyledItemDelegate {
  Q_OBJECT
public:
  THexCellDelegate(THexKeyFilter *filter, QObject *parent);
  QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const override;
  void destroyEditor(QWidget *editor, const QModelIndex &index) const override;
  // Hands the text of the editor the view has open to its cell, so a handler sees what was typed.
  void CommitOpenEditor();
protected:
  bool eventFilter(QObject *editor, QEvent *event) override;
private:
  THexKeyFilter *Filter;
  mutable QPointer<QLineEdit> Editor;
};

class TRamTablePage : public QWidget, private Ui::TRamTablePage {
  Q_OBJECT
public:
  explicit TRamTablePage(TBoardAccess &Board, QWidget *parent = nullptr);

private:
  void BtnReadRAMClick();
  void BtnWriteRAMClick();
  void BtnLoadRAMClick();
  void BtnSaveRAMClick();
  void BtnShapeCalcClick();
  void BtnShapeCWClick();
  void BtnSendSPIManClick();

  void SetUpGrid();
  void ConnectHandlers();
  QString CellText(int word) const;
  void SetCellText(int word, const QString &text);
  void ShowWords(const RamWords &words, int first, int count);
  // The grid's words; throws the validation message when a cell is not two hexadecimal digits.
  RamWords CheckedWords();
  // Writes pairs first..first + count - 1; the progress bar advances `step` per pair.
  void WritePairs(const RamWords &words, int first, int count, int step);
  void ShowProgress(int pairsDone, int step);
  Ev710Calc::ShapeTableValues CalculateShape();

  TBoardAccess &Board;
  THexKeyFilter *KeyFilter;
  THexCellDelegate *CellDelegate;
  QString LastFolder;
};
