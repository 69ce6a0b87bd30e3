#pragma once
// qvr710-ctl's reads and writes by name: every controller register and field by the register
// editor's names (the setup file's configuration items and the live ones), the driver parameters
// by the driver windows' names, and the RAM table in the RAM page's file format.
#include "CtlCommands.h"

namespace ctltool {

// get / set: controller registers and fields, driver parameters and RAM words. set writes the
// configuration items first, then the live registers in the order given.
Report GetCommand(ToolBoard &board, const QStringList &names);
Report SetCommand(ToolBoard &board, const QStringList &assignments);
// driver get / driver set: the driver parameters of the board's driver family only.
Report DriverGetCommand(ToolBoard &board, const QStringList &names);
Report DriverSetCommand(ToolBoard &board, const QStringList &assignments);
// ram read / ram write: the 64 RAM pairs from or into a RAM table file.
Report RamReadCommand(ToolBoard &board, const QString &path);
Report RamWriteCommand(ToolBoard &board, const QString &path);

}  // namespace ctltool
