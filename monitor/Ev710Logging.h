#pragma once
// TFormLogging: the data log. The user picks a file and the values per motor; while logging
// runs, the poll cycle hands it one line per completed cycle (TLogHooks), which goes to the
// file at once. Closing the window does not stop logging; closing the port or the program does.
#include <QFile>
#include <QWidget>
#include <array>
#include "BoardAccess.h"
#include "LogColumns.h"
#include "PollHooks.h"
#include "ui_Ev710Logging.h"

class QFileDialog;
class TLogMotorGroup;

class TFormLogging : public QWidget, public TLogHooks, private Ui::TFormLogging {
  Q_OBJECT
public:
  explicit TFormLogging(TBoardAccess &Board, QWidget *parent = nullptr);

  bool LoggingRunning() const override { return Logging; }
  bool IsLogged(int PollIndex) const override;
  int LogColumnCount() const override { return ColumnCount; }
  uint32_t LogStartTick() const override { return StartTick; }
  // A line that cannot be written stops logging, keeping the file's whole lines, and throws.
  void WriteLogLine(const QString &Line) override;
  void StopLogging() override;

  const TLogSelection &LogSelection() const { return Selection; }

  // Handlers, named after control and event; the motor groups share theirs (Motor 0..2).
  void BtnSelectFileClick();
  void BtnLogStartClick();
  void BtnLogStopClick();
  void CheckLogMotor1Click(int Motor);
  void CheckLogValueClick(int Motor);
  void FormShow();

protected:
  void showEvent(QShowEvent *e) override;

private:
  void ConnectHandlers();
  void ShowChoicesOfBoard();
  bool MayReplace(const QString &Path);
  void SelectMotor(int Motor);
  void LockSelection(bool Locked);
  bool WriteLine(const QString &Line);

  TBoardAccess &Board;
  std::array<TLogMotorGroup *, 3> Groups{};
  QFileDialog *SaveDialog = nullptr;
  QString OverwriteConfirmed;  // a file the dialog has asked about replacing
  QFile LogFile;
  qint64 WholeLinesSize = 0;  // the file's size up to its last whole line
  QString WriteError;         // why the last failed write failed
  TLogSelection Selection;
  bool Logging = false;
  uint32_t StartTick = 0;
  int ColumnCount = 0;
};
