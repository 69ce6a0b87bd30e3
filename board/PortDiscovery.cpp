#include "PortDiscovery.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <numeric>
#include <vector>

#include "Ev710Utils.h"

namespace {

constexpr quint16 BoardVendorId = 0x2F4B;
constexpr quint16 BoardProductIds[] = {0x0A3D, 0x0B17};
const char *const SimulatedBoardEntries[] = {"SIM1  [Simulator]", "SIM2  [Simulator]",
                                             "SIM3  [Simulator]"};

// A board port's entry: its name, two blanks and the second word of its description.
QString BoardEntry(const FoundPort &port) {
  return port.Name + QStringLiteral("  [") + ExtractField(port.Description, QLatin1Char(' '), 2) +
         QLatin1Char(']');
}

}  // namespace

bool IsBoardPort(const FoundPort &port) {
  return port.HasUsbIds && port.VendorId == BoardVendorId &&
         std::find(std::begin(BoardProductIds), std::end(BoardProductIds), port.ProductId) !=
             std::end(BoardProductIds);
}

QList<FoundPort> SystemPorts() {
  QList<FoundPort> ports;
  for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
    FoundPort port;
    port.Name = info.portName();
    port.HasUsbIds = info.hasVendorIdentifier() && info.hasProductIdentifier();
    port.VendorId = info.vendorIdentifier();
    port.ProductId = info.productIdentifier();
    port.Description = info.description();
    ports.append(port);
  }
  return ports;
}

QString PortNameOf(const QString &entry) { return ExtractField(entry, QLatin1Char(' '), 1); }

int PortEntryIndex(const QStringList &entries, const QString &portName) {
  if (portName.isEmpty()) return -1;
  for (int i = 0; i < entries.size(); ++i)
    if (PortNameOf(entries[i]) == portName) return i;
  return -1;
}

PortDiscoveryResult DiscoverPorts(const QList<FoundPort> &found, const RememberedPort &remembered) {
  QStringList unsorted;
  int lastBoard = -1;  // position in unsorted of the last board port found
  for (const FoundPort &port : found) {
    if (IsBoardPort(port)) {
      lastBoard = unsorted.size();
      unsorted.append(BoardEntry(port));
    } else {
      unsorted.append(port.Name);
    }
  }
  for (const char *sim : SimulatedBoardEntries) unsorted.append(QString::fromLatin1(sim));

  // Sort positions rather than texts so that the board entry is found again by identity.
  std::vector<int> order(unsorted.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return unsorted[a].compare(unsorted[b], Qt::CaseInsensitive) < 0;
  });

  PortDiscoveryResult result;
  for (int i : order) result.Entries.append(unsorted[i]);
  if (lastBoard >= 0) {
    result.SelectedIndex = int(std::find(order.begin(), order.end(), lastBoard) - order.begin());
  } else if (const int named = PortEntryIndex(result.Entries, remembered.Name); named >= 0) {
    result.SelectedIndex = named;
  } else if (remembered.Index >= 0 && remembered.Index < result.Entries.size()) {
    result.SelectedIndex = remembered.Index;
  }
  return result;
}
