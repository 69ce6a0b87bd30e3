#include "Ev710Logging.h"
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLayout>
#include <QMessageBox>
#include <utility>
#include "Ev710Guard.h"
#include "Ev710Utils.h"
#include "LogMotorGroup.h"
#include "Ticks.h"
#include "ToolWindow.h"

namespace {
const QString TextCannotWrite = QStringLiteral("Cannot write to selected log file!");
const QString TextNoFile = QStringLiteral("No log file is named. Type its name or choose it with \"...\".");
const QString TextNoValue =
    QStringLiteral("No value is chosen to log. Tick \"Log\" and at least one value of a motor.");
}

TFormLogging::TFormLogging(TBoardAccess &Board, QWidget *parent) : QWidget(parent), Board(Board) {
  SetUpToolWindow(this, [this](QWidget *form) { setupUi(form); });
  setObjectName(QStringLiteral("FormLogging"));
  for (int m = 0; m < 3; ++m) {
    Groups[m] = new TLogMotorGroup(m, GrpLogging);
    LayoutMotors->addWidget(Groups[m]);
    QSizePolicy keepPlace = Groups[m]->sizePolicy();  // nothing moves when a group is hidden
    keepPlace.setRetainSizeWhenHidden(true);
    Groups[m]->setSizePolicy(keepPlace);
  }
  for (int m = 0; m < 3; ++m) CheckLogMotor1Click(m);
  ConnectHandlers();
  Board.AddLogHooks(this);
}

void TFormLogging::ConnectHandlers() {
  connect(BtnSelectFile, &QPushButton::clicked, this, Guarded(this, [this] { BtnSelectFileClick(); }));
  connect(BtnLogStart, &QPushButton::clicked, this, Guarded(this, [this] { BtnLogStartClick(); }));
  connect(BtnLogStop, &QPushButton::clicked, this, Guarded(this, [this] { BtnLogStopClick(); }));
  for (int m = 0; m < 3; ++m) {
    connect(Groups[m]->Master(), &QCheckBox::clicked, this, Guarded(this, [this, m] { CheckLogMotor1Click(m); }));
    for (QCheckBox *box : Groups[m]->ValueBoxes())
      connect(box, &QCheckBox::clicked, this, Guarded(this, [this, m] { CheckLogValueClick(m); }));
  }
}

bool TFormLogging::IsLogged(int PollIndex) const {
  return Logging && PollIndex >= 0 && PollIndex < int(Selection.size()) && Selection.test(size_t(PollIndex));
}

// --- Selection ----------------------------------------------------------------------------------

void TFormLogging::SelectMotor(int Motor) {
  if (Groups[Motor]->Master()->isChecked())
    SelectMotorColumns(Selection, Motor, Groups[Motor]->Checked(), Board.Identity().Kind);
  else
    ClearMotorColumns(Selection, Motor);
}

void TFormLogging::CheckLogValueClick(int Motor) { SelectMotor(Motor); }

void TFormLogging::CheckLogMotor1Click(int Motor) {
  const bool on = Groups[Motor]->Master()->isChecked();
  for (QCheckBox *box : Groups[Motor]->ValueBoxes()) box->setEnabled(on);
  SelectMotor(Motor);
}

void TFormLogging::FormShow() { ShowChoicesOfBoard(); }

// Only what the attached board offers is shown, and only what is shown is logged.
void TFormLogging::ShowChoicesOfBoard() {
  const TBoardKind kind = Board.Identity().Kind;
  for (int m = 0; m < 3; ++m) {
    Groups[m]->ThriftLevelBox()->setVisible(kind == TBoardKind::NewerDrivers || kind == TBoardKind::Qvr550);
    Groups[m]->setVisible(MotorOnBoard(m, kind));
  }
}

void TFormLogging::showEvent(QShowEvent *e) {
  QWidget::showEvent(e);
  RunGuarded(this, [this] { FormShow(); });
}

// Made at its first use: a file dialog is costly to make and nothing needs it before.
void TFormLogging::BtnSelectFileClick() {
  if (!SaveDialog) {
    SaveDialog = new QFileDialog(this);
    SaveDialog->setObjectName(QStringLiteral("SaveDialog"));
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog->setFileMode(QFileDialog::AnyFile);
    SaveDialog->setDefaultSuffix(QStringLiteral("csv"));
    SaveDialog->setNameFilters({QStringLiteral("Comma separated values (*.csv)"), QStringLiteral("All files (*)")});
  }
  if (SaveDialog->exec() != QDialog::Accepted || SaveDialog->selectedFiles().isEmpty()) return;
  EditLogFileName->setText(SaveDialog->selectedFiles().constFirst());
  if (QFile::exists(EditLogFileName->text())) OverwriteConfirmed = EditLogFileName->text();  // the dialog asked
}

// --- Start and stop -------------------------------------------------------------------------------

void TFormLogging::BtnLogStartClick() {
  // The boxes select by the board attached now, which may differ from the one they were ticked for.
  ShowChoicesOfBoard();
  for (int m = 0; m < 3; ++m) SelectMotor(m);
  const QString path = EditLogFileName->text();
  const bool append = CheckAppendFile->isChecked();
  if (path.trimmed().isEmpty()) throw EEvalError(TextNoFile);
  if (CountLogColumns(Selection) == 0) throw EEvalError(TextNoValue);
  if (!append && !MayReplace(path)) return;
  LogFile.setFileName(path);
  const QIODevice::OpenMode mode =
      QIODevice::WriteOnly | QIODevice::Unbuffered | (append ? QIODevice::Append : QIODevice::Truncate);
  const bool opened = (!append || LogFile.exists()) && LogFile.open(mode);
  WholeLinesSize = opened ? LogFile.size() : 0;
  if (!opened || !WriteLine(LogHeader(Selection))) {
    LogFile.close();
    throw EEvalError(TextCannotWrite);
  }
  Logging = true;
  StartTick = TickCount();
  Board.AddLogHooks(this);  // the cycle's line starts empty
  LockSelection(true);
  ColumnCount = CountLogColumns(Selection);
}

// A file that exists is replaced only when the user says so, here or in the file dialog just before.
bool TFormLogging::MayReplace(const QString &Path) {
  if (!QFile::exists(Path) || std::exchange(OverwriteConfirmed, QString()) == Path) return true;
  const QString question = QStringLiteral("%1 already exists. Replace it?\n\n"
                                          "Tick \"Append to log file\" to add to it instead.")
                               .arg(QDir::toNativeSeparators(Path));
  return QMessageBox::question(this, QApplication::applicationDisplayName(), question) == QMessageBox::Yes;
}

void TFormLogging::BtnLogStopClick() {
  Logging = false;
  LogFile.close();
  LockSelection(false);
  for (int m = 0; m < 3; ++m) CheckLogMotor1Click(m);
}

void TFormLogging::StopLogging() {
  if (Logging) BtnLogStopClick();
}

// While logging runs, the file and the selection stay as they are.
void TFormLogging::LockSelection(bool Locked) {
  BtnLogStop->setEnabled(Locked);
  for (QWidget *w : std::initializer_list<QWidget *>{BtnLogStart, EditLogFileName, BtnSelectFile, CheckAppendFile})
    w->setEnabled(!Locked);
  for (TLogMotorGroup *group : Groups) {
    group->Master()->setEnabled(!Locked);
    for (QCheckBox *box : group->ValueBoxes()) box->setEnabled(!Locked);
  }
}

// --- Lines ----------------------------------------------------------------------------------------

// Writes the line straight to the file. A line the file takes only in part is cut off again,
// so the file always ends with a whole line.
bool TFormLogging::WriteLine(const QString &Line) {
  const QByteArray bytes = Line.toLatin1() + "\r\n";
  qint64 written = LogFile.write(bytes);
  // A write that took part of the line gives no reason; the rest either goes now or fails with one.
  if (written > 0 && written < bytes.size()) written += std::max<qint64>(0, LogFile.write(bytes.mid(written)));
  if (written == bytes.size()) {
    WholeLinesSize += bytes.size();
    return true;
  }
  WriteError = LogFile.errorString();  // before the cut, which clears it
  LogFile.resize(WholeLinesSize);
  return false;
}

void TFormLogging::WriteLogLine(const QString &Line) {
  if (!Logging || WriteLine(Line)) return;
  BtnLogStopClick();
  throw EEvalError(TextCannotWrite + QStringLiteral(" Logging has stopped (") + WriteError + QStringLiteral(")."));
}
