#pragma once
// TFormSetupCompare: a setup file next to the board's values, before it is applied. Apply writes
// the file's values (the board setup core decides what and in which order) with a progress bar;
// anything short of a complete apply read back unchanged is reported as an error.
#include <QDialog>
#include "BoardSetup.h"
#include "ui_SetupCompare.h"

class TBoardAccess;

class TFormSetupCompare : public QDialog, private Ui::TFormSetupCompare {
  Q_OBJECT
public:
  TFormSetupCompare(TBoardAccess &board, const setup::BoardSetup &onBoard, const setup::BoardSetup &file,
                    const QString &fileName, QWidget *parent);

  void BtnApplyClick();

private:
  void FillTable(const setup::BoardSetup &onBoard);
  void ShowDifferencesOnly(bool only);
  TBoardAccess &Board;
  const setup::BoardSetup File;
};
