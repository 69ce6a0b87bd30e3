#include "LogColumns.h"
#include "Ev710Registers.h"
#include "PollRows.h"

namespace {
struct TLogColumn {
  TLogValue Value;
  const char *Name;                // column name without the motor digit
  std::array<int, 3> Row;          // poll row per motor; -1: not read on that board
  std::array<bool, 4> OnKind;      // selectable per board kind, indexed by TBoardKind
};

// The controller's registers are read on every board. The driver values come from the rows
// each board's cycle actually visits: the newer drivers' pairs, the older drivers' loads, and
// on the QVR550 board (motor 1 only) its own thrift-level and load rows.
constexpr std::array<int, 3> MotorRows(int Register) {
  return {PollRow::MotorRegister(0, Register), PollRow::MotorRegister(1, Register), PollRow::MotorRegister(2, Register)};
}
// Rows of a pair of driver rows per motor, starting at `first`.
constexpr std::array<int, 3> PairRows(int first) { return {first, first + 2, first + 4}; }

constexpr TLogColumn Columns[] = {
    {TLogValue::TargetPosition, "X_TARGET", MotorRows(ctl::X_TARGET), {true, true, true, true}},
    {TLogValue::ActualPosition, "X_ACTUAL", MotorRows(ctl::X_ACTUAL), {true, true, true, true}},
    {TLogValue::TargetVelocity, "V_TARGET", MotorRows(ctl::V_TARGET), {true, true, true, true}},
    {TLogValue::ActualVelocity, "V_ACTUAL", MotorRows(ctl::V_ACTUAL), {true, true, true, true}},
    {TLogValue::ActualAcceleration, "A_ACTUAL", MotorRows(ctl::A_ACTUAL), {true, true, true, true}},
    {TLogValue::ThriftLevel, "THRIFTLEVEL", PairRows(PollRow::NewerDriverPairs), {false, true, false, false}},
    {TLogValue::LoadProbe, "LOADPROBE", PairRows(PollRow::NewerDriverPairs + 1), {false, true, false, false}},
    {TLogValue::LoadProbe, "LOADPROBE", PairRows(PollRow::OlderDriver), {false, false, true, false}},
    {TLogValue::ThriftLevel, "THRIFTLEVEL", {PollRow::Qvr550Driver, -1, -1}, {false, false, false, true}},
    {TLogValue::LoadProbe, "LOADPROBE", {PollRow::Qvr550Driver + 1, -1, -1}, {false, false, false, true}},
};
}  // namespace

void ClearMotorColumns(TLogSelection &Selection, int Motor) {
  for (const TLogColumn &c : Columns)
    if (c.Row[Motor] >= 0) Selection.reset(c.Row[Motor]);
}

void SelectMotorColumns(TLogSelection &Selection, int Motor, const TLogChecks &Checked, TBoardKind BoardKind) {
  ClearMotorColumns(Selection, Motor);
  if (!MotorOnBoard(Motor, BoardKind)) return;
  for (const TLogColumn &c : Columns)
    if (Checked[int(c.Value)] && c.OnKind[size_t(BoardKind)] && c.Row[Motor] >= 0)
      Selection.set(c.Row[Motor]);
}

QString LogColumnName(int Row) {
  for (const TLogColumn &c : Columns)
    for (int m = 0; m < 3; ++m)
      if (c.Row[m] == Row) return QStringLiteral("%1_%2").arg(QLatin1String(c.Name)).arg(m + 1);
  return QString();
}

QString LogHeader(const TLogSelection &Selection) {
  QString header = QStringLiteral("TIME");
  for (int row = 0; row <= LastLogColumnRow; ++row)
    if (Selection.test(row)) header += u';' + LogColumnName(row);
  return header;
}

int CountLogColumns(const TLogSelection &Selection) {
  int count = 0;
  for (int row = 0; row <= LastLogColumnRow; ++row) count += Selection.test(row);
  return count;
}
