#include "RamTablePage.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>
#include "BoardAccess.h"
#include "Ev710Guard.h"
#include "Ev710Registers.h"
#include "Ev710Utils.h"
#include "HexEdit.h"

namespace {

const QString FileFilter = QStringLiteral("QVR705 Configuration files (*.705);;All files (*)");
constexpr int ProgressMax = 127;
constexpr int CellWidth = 30;

QString HexByte(int value) { return RamWordText(uint8_t(value)); }

}  // namespace

// ---- THexCellDelegate ----

THexCellDelegate::THexCellDelegate(THexKeyFilter *filter, QObject *parent)
    : QStyledItemDelegate(parent), Filter(filter) {}

QWidget *THexCellDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const {
  auto *edit = new QLineEdit(parent);
  edit->setFrame(false);
  edit->setAlignment(Qt::AlignCenter);
  MakeHexEdit(edit, 2, Filter);
  Editor = edit;
  return edit;
}

// The view has let the editor go (it is deleted later): it no longer takes commits.
void THexCellDelegate::destroyEditor(QWidget *editor, const QModelIndex &index) const {
  if (editor == Editor) Editor = nullptr;
  QStyledItemDelegate::destroyEditor(editor, index);
}

// Esc takes back the edit: claimed before the program's Esc shortcut (stop all motors) sees it.
bool THexCellDelegate::eventFilter(QObject *editor, QEvent *event) {
  if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Cancel)) {
    event->accept();
    return true;
  }
  return QStyledItemDelegate::eventFilter(editor, event);
}

void THexCellDelegate::CommitOpenEditor() {
  if (Editor) emit commitData(Editor);
}

// ---- TRamTablePage ----

TRamTablePage::TRamTablePage(TBoardAccess &Board, QWidget *parent)
    : QWidget(parent), Board(Board), KeyFilter(new THexKeyFilter(this)),
      CellDelegate(new THexCellDelegate(KeyFilter, this)) {
  setupUi(this);
  SetUpGrid();
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (QLineEdit *edit : {EditSPIMan1, EditSPIMan2, EditSPIMan3, EditSPIMan4}) {
    edit->installEventFilter(KeyFilter);
    edit->setFont(fixed);
    edit->setFixedWidth(CellWidth + 6);
  }
  for (QLabel *reply : {StaticSPIMan1, StaticSPIMan2, StaticSPIMan3, StaticSPIMan4}) {
    reply->setFont(fixed);
    reply->setFixedWidth(CellWidth + 6);
  }
  EditSigma->SetMinValue(-1.0);
  EditSigma->SetMaxValue(1.0);
  EditSigma->SetIncrement(0.1);
  EditSigma->SetValue(-1.0);
  ConnectHandlers();
}

// 16 columns of words 0..F, 8 rows of 0x00..0x70, all cells in view, empty at the start.
void TRamTablePage::SetUpGrid() {
  StringGridHex->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  StringGridHex->setItemDelegate(CellDelegate);
  StringGridHex->installEventFilter(KeyFilter);
  QStringList columns, rows;
  for (int c = 0; c < RamTableColumns; ++c) columns << u' ' + IntToHex(unsigned(c), 1);
  for (int r = 0; r < RamTableRows; ++r) rows << u' ' + IntToHex(unsigned(r * 16), 2);
  StringGridHex->setHorizontalHeaderLabels(columns);
  StringGridHex->setVerticalHeaderLabels(rows);
  for (int word = 0; word < RamWordCount; ++word) {
    auto *cell = new QTableWidgetItem;
    cell->setTextAlignment(Qt::AlignCenter);
    StringGridHex->setItem(word / RamTableColumns, word % RamTableColumns, cell);
  }
  QHeaderView *top = StringGridHex->horizontalHeader(), *side = StringGridHex->verticalHeader();
  top->setSectionResizeMode(QHeaderView::Fixed);
  side->setSectionResizeMode(QHeaderView::Fixed);
  top->setDefaultSectionSize(CellWidth);
  side->setDefaultSectionSize(StringGridHex->fontMetrics().height() + 8);
  const int frame = 2 * StringGridHex->frameWidth();
  StringGridHex->setFixedSize(side->sizeHint().width() + RamTableColumns * CellWidth + frame,
                              top->sizeHint().height() + RamTableRows * side->defaultSectionSize() + frame);
}

void TRamTablePage::ConnectHandlers() {
  const std::pair<QPushButton *, void (TRamTablePage::*)()> handlers[] = {
      {BtnReadRAM, &TRamTablePage::BtnReadRAMClick},     {BtnWriteRAM, &TRamTablePage::BtnWriteRAMClick},
      {BtnLoadRAM, &TRamTablePage::BtnLoadRAMClick},     {BtnSaveRAM, &TRamTablePage::BtnSaveRAMClick},
      {BtnShapeCalc, &TRamTablePage::BtnShapeCalcClick}, {BtnShapeCW, &TRamTablePage::BtnShapeCWClick},
      {BtnSendSPIMan, &TRamTablePage::BtnSendSPIManClick}};
  for (const auto &[button, handler] : handlers)
    connect(button, &QPushButton::clicked, this, Guarded(this, [this, handler = handler] { (this->*handler)(); }));
}

QString TRamTablePage::CellText(int word) const {
  return StringGridHex->item(word / RamTableColumns, word % RamTableColumns)->text();
}

void TRamTablePage::SetCellText(int word, const QString &text) {
  StringGridHex->item(word / RamTableColumns, word % RamTableColumns)->setText(text);
}

void TRamTablePage::ShowWords(const RamWords &words, int first, int count) {
  for (int word = first; word < first + count; ++word) SetCellText(word, RamWordText(words[word]));
}

RamWords TRamTablePage::CheckedWords() {
  CellDelegate->CommitOpenEditor();
  RamTexts texts;
  for (int word = 0; word < RamWordCount; ++word) texts[word] = CellText(word);
  const std::optional<RamWords> words = RamWordsFromTexts(texts);
  if (!words) throw EEvalError(RamTableInvalidMessage());
  return *words;
}

void TRamTablePage::ShowProgress(int pairsDone, int step) {
  ProgressRAMTable->setValue(std::min(step * pairsDone + 1, ProgressMax));
}

void TRamTablePage::WritePairs(const RamWords &words, int first, int count, int step) {
  ProgressRAMTable->setValue(0);
  for (int pair = first; pair < first + count; ++pair) {
    const ctl::DataBytes data = ctl::ComposeRamPair({words[2 * pair], words[2 * pair + 1]});
    Board.TransferDatagram(ctl::RamPairAddress(pair, false), data[0], data[1], data[2]);
    ShowProgress(pair - first + 1, step);
  }
}

// Each pair's cells are filled as its reply comes; a missing reply ends the read there.
void TRamTablePage::BtnReadRAMClick() {
  TPollingPause pause(Board);
  ProgressRAMTable->setValue(0);
  for (int pair = 0; pair < RamPairCount; ++pair) {
    const ctl::DataBytes reply = Board.ReadDatagram(ctl::RamPairAddress(pair, true));
    const ctl::RamPair words = ctl::DecodeRamPair(reply[0], reply[1], reply[2]);
    SetCellText(2 * pair, RamWordText(words.EvenWord));
    SetCellText(2 * pair + 1, RamWordText(words.OddWord));
    ShowProgress(pair + 1, 2);
  }
}

void TRamTablePage::BtnWriteRAMClick() {
  const RamWords words = CheckedWords();
  TPollingPause pause(Board);
  WritePairs(words, 0, RamPairCount, 2);
}

// The grid changes only when the whole file is a RAM table.
void TRamTablePage::BtnLoadRAMClick() {
  const QString path = QFileDialog::getOpenFileName(this, QString(), LastFolder, FileFilter);
  if (path.isEmpty()) return;
  LastFolder = QFileInfo(path).absolutePath();
  ShowWords(LoadRamTableFile(path), 0, RamWordCount);
}

void TRamTablePage::BtnSaveRAMClick() {
  const RamWords words = CheckedWords();
  QFileDialog dialog(this, QString(), LastFolder, FileFilter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("705"));  // so that Load, which lists *.705, finds it
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString path = dialog.selectedFiles().constFirst();
  LastFolder = QFileInfo(path).absolutePath();
  SaveRamTableFile(path, words);
}

// Fills the microstep half of the grid (words 0x40..0x7F) with the table of the edit's sigma.
Ev710Calc::ShapeTableValues TRamTablePage::CalculateShape() {
  Ev710Calc::ShapeTableValues table;
  Ev710Calc::ShapeTable(EditSigma->CheckedValue(), table);
  for (int i = 0; i < Ev710Calc::TableLength; ++i) SetCellText(RamMicrostepStart + i, HexByte(table[i]));
  return table;
}

void TRamTablePage::BtnShapeCalcClick() { CalculateShape(); }

void TRamTablePage::BtnShapeCWClick() {
  const Ev710Calc::ShapeTableValues table = CalculateShape();
  RamWords words{};
  std::copy(table.begin(), table.end(), words.begin() + RamMicrostepStart);
  TPollingPause pause(Board);
  WritePairs(words, RamMicrostepStart / 2, Ev710Calc::TableLength / 2, 4);
}

// Sends the four bytes as typed, whatever they address, and shows the chip's four reply bytes.
void TRamTablePage::BtnSendSPIManClick() {
  const int b2 = HexEditValue(EditSPIMan3), b3 = HexEditValue(EditSPIMan4);
  const int b1 = HexEditValue(EditSPIMan2), address = HexEditValue(EditSPIMan1);
  TPollingPause pause(Board);
  Board.TransferDatagram(uint8_t(address), uint8_t(b1), uint8_t(b2), uint8_t(b3));
  const auto &reply = Board.ReplyValue();
  QLabel *const shown[] = {StaticSPIMan1, StaticSPIMan2, StaticSPIMan3, StaticSPIMan4};
  for (int i = 0; i < 4; ++i) shown[i]->setText(HexByte(reply[i]));
}
