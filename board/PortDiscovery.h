#pragma once
// The port list of the main window: the system's serial ports, the board's USB ports marked with
// a word from their description, and the built-in simulated boards, sorted, with the entry to
// preselect.
#include <QList>
#include <QString>
#include <QStringList>
#include "PortSettings.h"

// One serial port as the system reports it.
struct FoundPort {
  QString Name;             // "ttyUSB0", without "/dev/"
  bool HasUsbIds = false;
  quint16 VendorId = 0, ProductId = 0;
  QString Description;      // the device's description, e.g. "Virtual Board Port"
};

struct PortDiscoveryResult {
  QStringList Entries;      // sorted entry texts: "NAME" or "NAME  [word]"
  int SelectedIndex = -1;   // entry to select, -1 for none
};

// True for the board's own USB virtual serial port (its vendor id with one of its product ids).
bool IsBoardPort(const FoundPort &port);

// The serial ports of this machine.
QList<FoundPort> SystemPorts();

// Builds the entries from the found ports plus "SIM1  [Simulator]" .. "SIM3  [Simulator]",
// sorted ascending without regard to letter case. Preselects the last board port found, else the
// remembered port by its name when it is in the list, else by its index; an index outside the
// list selects nothing.
PortDiscoveryResult DiscoverPorts(const QList<FoundPort> &found, const RememberedPort &remembered);

// The port name of an entry, its first blank-separated field: "ttyACM0  [Board]" -> "ttyACM0".
QString PortNameOf(const QString &entry);
// The index of the entry whose port name is portName, or -1.
int PortEntryIndex(const QStringList &entries, const QString &portName);
