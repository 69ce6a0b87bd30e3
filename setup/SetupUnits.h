#pragma once
// Inside the setup library: the controller registers, RAM pairs and driver parameters a setup is
// made of, each with the items it carries and how they are decoded from a reply and composed
// into a request, through the register map and the driver parameter map.
#include <QMap>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>
#include "DriverParameterMap.h"
#include "Ev710Registers.h"

namespace setup {

using ValueMap = QMap<QString, int>;

// A controller register's fields as a setup sees them: Fields in the setup, then Kept fields
// that it leaves as the board holds them (read before a write), named for the read only.
struct RegisterDef {
  int Index;
  QStringList Fields;
  std::vector<std::pair<int, int>> Ranges;  // of Fields
  QStringList Kept;
  std::function<std::vector<int>(const ctl::DataBytes &)> Decode;    // Fields, then Kept
  std::function<ctl::DataBytes(const std::vector<int> &)> Compose;   // from the same order
};
// The per-motor configuration registers, names without the motor; then the global ones.
const std::vector<RegisterDef> &MotorRegisterDefs();
const std::vector<RegisterDef> &GlobalRegisterDefs();

QString MotorName(const QString &base, int motor);  // "V_MAX.1"; motor 0: "V_MAX"
QString RamWordName(int word);                      // "RAM_3F"

// The driver family's motors as the setup names them: 1..3 for the newer drivers, 0 (no motor)
// for the QVR550's one driver; none for the older drivers.
std::vector<int> DriverMotors(TBoardKind boardKind);
uint8_t DriverMotorIndex(TBoardKind boardKind, int motor);  // the motor index requests carry
// The register groups in the order the windows show them.
const std::vector<DriverGroup> &DriverGroups(TBoardKind boardKind);
QString DriverItemName(const DriverField &f, TBoardKind boardKind);  // "HSTRT", "FAST_DECAY_TIME"
// The items a field's code is composed from: the fast decay fields take FDMODE and the time.
QStringList DriverFieldItems(const DriverField &f, TBoardKind boardKind, int motor);
int32_t DriverFieldCode(const DriverField &f, TBoardKind boardKind, int motor, const ValueMap &values);

}  // namespace setup
