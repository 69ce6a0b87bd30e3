#include "SetupCompare.h"

#include "BoardAccess.h"
#include "Ev710Guard.h"
#include "Ev710Utils.h"
#include "SetupBoard.h"

using namespace setup;

TFormSetupCompare::TFormSetupCompare(TBoardAccess &board, const BoardSetup &onBoard, const BoardSetup &file,
                                     const QString &fileName, QWidget *parent)
    : QDialog(parent), Board(board), File(file) {
  setupUi(this);
  setAttribute(Qt::WA_DeleteOnClose);
  LblFile->setText(QStringLiteral("File: ") + fileName);
  FillTable(onBoard);
  connect(CheckDiffOnly, &QCheckBox::toggled, this, [this](bool only) { ShowDifferencesOnly(only); });
  connect(BtnApply, &QPushButton::clicked, this, Guarded(parent, [this] { BtnApplyClick(); }));
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

// One row per value; the rows that differ in bold on a pale amber, unlike a selection's colour.
void TFormSetupCompare::FillTable(const BoardSetup &onBoard) {
  const std::vector<SetupComparison> rows = CompareSetups(onBoard, File);
  TableValues->setRowCount(int(rows.size()));
  int differing = 0;
  for (int r = 0; r < int(rows.size()); ++r) {
    const SetupComparison &c = rows[size_t(r)];
    const QString texts[] = {c.Name, c.A, c.B};
    for (int col = 0; col < 3; ++col) {
      auto *item = new QTableWidgetItem(texts[col]);
      if (c.Differs) {
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
        item->setBackground(QColor(255, 228, 160));
        item->setForeground(Qt::black);
      }
      item->setData(Qt::UserRole, c.Differs);
      TableValues->setItem(r, col, item);
    }
    differing += c.Differs;
  }
  TableValues->resizeColumnsToContents();
  LblCount->setText(QStringLiteral("%1 of %2 values differ").arg(differing).arg(rows.size()));
}

void TFormSetupCompare::ShowDifferencesOnly(bool only) {
  for (int r = 0; r < TableValues->rowCount(); ++r)
    TableValues->setRowHidden(r, only && !TableValues->item(r, 0)->data(Qt::UserRole).toBool());
}

// Writes inside one command; the window closes either way, and an apply that stopped or read back
// other values says what was written.
void TFormSetupCompare::BtnApplyClick() {
  for (QWidget *w : std::initializer_list<QWidget *>{BtnApply, BtnCancel, CheckDiffOnly}) w->setEnabled(false);
  ProgressApply->setVisible(true);
  ProgressApply->setValue(0);
  ApplyReport report;
  try {
    report = ApplySetup(Board, File, [this](int done, int total) {
      ProgressApply->setMaximum(total);
      ProgressApply->setValue(done);
    });
  } catch (...) {
    reject();
    throw;
  }
  if (report.Complete && report.ReadBack && report.ReadBackDifferences.empty()) {
    accept();
    return;
  }
  reject();
  throw EEvalError(report.Summary());
}
