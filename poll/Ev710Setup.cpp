// The main window's setup buttons: the board saved as a setup file, and a setup file compared
// with the board and applied (TFormSetupCompare).
#include <QFileDialog>
#include <QFileInfo>
#include "Ev710Main.h"
#include "SetupBoard.h"
#include "SetupCompare.h"

namespace {
const QString SetupFilter = QStringLiteral("QVR710 board setups (*.%1)").arg(setup::SetupFileSuffix);

// The path the user chose, or empty.
QString AskSetupPath(QWidget *parent, QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent, mode == QFileDialog::AcceptSave ? QStringLiteral("Save Setup") : QStringLiteral("Load Setup"),
                     QString(), SetupFilter);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(setup::SetupFileSuffix);
  return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}
}  // namespace

void TFormMain::BtnSaveSetupClick() {
  if (const QString path = AskSetupPath(this, QFileDialog::AcceptSave); !path.isEmpty()) SaveSetupTo(path);
}

void TFormMain::BtnLoadSetupClick() {
  if (const QString path = AskSetupPath(this, QFileDialog::AcceptOpen); !path.isEmpty()) LoadSetupFrom(path);
}

// The board read in one command, then written through QSaveFile: a failed read writes nothing.
void TFormMain::SaveSetupTo(const QString &path) { setup::SaveSetupFile(path, setup::ReadSetup(Board())); }

// The whole file is parsed before the board is read: a refused file (with its line) reads nothing.
void TFormMain::LoadSetupFrom(const QString &path) {
  const setup::BoardSetup file = setup::LoadSetupFile(path, Board().Identity().Kind);
  const setup::BoardSetup onBoard = setup::ReadSetup(Board());
  auto *compare = new TFormSetupCompare(Board(), onBoard, file, QFileInfo(path).fileName(), this);
  compare->setWindowModality(Qt::WindowModal);
  compare->show();
}
