#pragma once
// The data log's columns: which poll rows a motor's check boxes select on each board kind,
// the column names and the header line. Plain C++, no widgets.
#include <QString>
#include <array>
#include <bitset>
#include "BoardKind.h"
#include "PollRows.h"

// The seven value boxes of a motor's group, in the window's order.
enum class TLogValue { TargetPosition, ActualPosition, TargetVelocity, ActualVelocity, ActualAcceleration,
                       ThriftLevel, LoadProbe };
constexpr int LogValueCount = 7;
using TLogChecks = std::array<bool, LogValueCount>;  // checked state by TLogValue

// Poll rows whose values are logged; rows above 95 are never members.
using TLogSelection = std::bitset<96>;
constexpr int LastLogColumnRow = PollRow::Last;  // only rows up to the table's last count

// Whether the board kind has the motor (0..2): the QVR550 board has motor 1 only, and a board
// not yet identified shows motor 1 only.
constexpr bool MotorOnBoard(int Motor, TBoardKind BoardKind) {
  return Motor == 0 || BoardKind == TBoardKind::NewerDrivers || BoardKind == TBoardKind::OlderDrivers;
}

// Replaces the motor's (0..2) members by the rows its checked boxes read on this board kind;
// a motor the board does not have selects nothing.
void SelectMotorColumns(TLogSelection &Selection, int Motor, const TLogChecks &Checked, TBoardKind BoardKind);
// Removes every row any of the motor's boxes can select.
void ClearMotorColumns(TLogSelection &Selection, int Motor);

QString LogColumnName(int Row);                       // empty for a row that is no column
QString LogHeader(const TLogSelection &Selection);    // "TIME;X_ACTUAL_1;..." in row order
int CountLogColumns(const TLogSelection &Selection);  // members up to LastLogColumnRow
