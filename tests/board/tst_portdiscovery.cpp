// The port list (board ports marked, simulated boards added, sorted, preselected) and the
// remembered port index in the settings file.
#include <QtTest>

#include "PortDiscovery.h"
#include "PortSettings.h"

namespace {

FoundPort Plain(const QString &name) { return {name, false, 0, 0, QString()}; }
FoundPort Usb(const QString &name, quint16 vid, quint16 pid, const QString &description) {
  return {name, true, vid, pid, description};
}
FoundPort Board(const QString &name, const QString &description = "Virtual Board Port") {
  return Usb(name, 0x2F4B, 0x0A3D, description);
}

const QStringList Sims = {"SIM1  [Simulator]", "SIM2  [Simulator]", "SIM3  [Simulator]"};

}  // namespace

class TestPortDiscovery : public QObject {
  Q_OBJECT

private slots:
  void boardPortIsMarkedAndSelected() {
    const QList<FoundPort> found = {Plain("ttyS0"), Board("ttyACM0"),
                                    Usb("ttyUSB0", 0x0403, 0x6001, "FT232R USB UART")};
    const PortDiscoveryResult r = DiscoverPorts(found, 0);
    const QStringList expected = Sims + QStringList{"ttyACM0  [Board]", "ttyS0", "ttyUSB0"};
    QCOMPARE(r.Entries, expected);
    QCOMPARE(r.SelectedIndex, 3);
  }

  void onlyTheBoardIdsCount() {
    const QList<FoundPort> found = {
        Usb("ttyACM0", 0x2F4B, 0x0B17, "Other Thing Port"),  // second product id
        Usb("ttyACM1", 0x2F4B, 0x1234, "Virtual Board Port"),  // foreign product
        Usb("ttyACM2", 0x1234, 0x0A3D, "Virtual Board Port"),  // foreign vendor
        {"ttyACM3", false, 0x2F4B, 0x0A3D, "Virtual Board Port"},  // ids not reported
        Board("ttyACM4", "Board"),  // a single word: empty annotation
    };
    const PortDiscoveryResult r = DiscoverPorts(found, 1);
    const QStringList expected =
        Sims + QStringList{"ttyACM0  [Thing]", "ttyACM1", "ttyACM2", "ttyACM3", "ttyACM4  []"};
    QCOMPARE(r.Entries, expected);
    QCOMPARE(r.SelectedIndex, 7);
  }

  // The last board port in the system's order decides, at its place in the sorted list.
  void lastBoardWins() {
    PortDiscoveryResult r = DiscoverPorts({Board("ttyACM1"), Board("ttyACM0")}, 0);
    QCOMPARE(r.Entries.at(r.SelectedIndex), QString("ttyACM0  [Board]"));
    QCOMPARE(r.SelectedIndex, 3);
    r = DiscoverPorts({Board("ttyACM0"), Board("ttyACM1"), Plain("ttyS0")}, 0);
    QCOMPARE(r.SelectedIndex, 4);
    QCOMPARE(r.Entries.at(4), QString("ttyACM1  [Board]"));
  }

  void rememberedIndexWithoutBoard() {
    const QList<FoundPort> found = {Plain("ttyS1"), Plain("ttyS0"), Plain("ttyUSB0")};
    QCOMPARE(DiscoverPorts({}, 0).Entries, Sims);
    QCOMPARE(DiscoverPorts(found, 0).SelectedIndex, 0);
    QCOMPARE(DiscoverPorts(found, 0).Entries.at(0), QString("SIM1  [Simulator]"));
    QCOMPARE(DiscoverPorts(found, 2).Entries.at(2), QString("SIM3  [Simulator]"));
    QCOMPARE(DiscoverPorts(found, 2).SelectedIndex, 2);
    QCOMPARE(DiscoverPorts(found, 5).SelectedIndex, 5);
    QCOMPARE(DiscoverPorts(found, 6).SelectedIndex, -1);
    QCOMPARE(DiscoverPorts(found, -1).SelectedIndex, -1);
    QCOMPARE(DiscoverPorts({}, 3).SelectedIndex, -1);
  }

  void sortIgnoresLetterCase() {
    const QList<FoundPort> found = {Plain("ttyb"), Plain("TTYc"), Plain("rfcomm0"),
                                    Plain("ttyA"), Plain("ttyS10"), Plain("ttyS2")};
    const QStringList expected =
        QStringList{"rfcomm0"} + Sims + QStringList{"ttyA", "ttyb", "TTYc", "ttyS10", "ttyS2"};
    QCOMPARE(DiscoverPorts(found, 0).Entries, expected);
  }

  // Whatever ports this machine has, the simulated boards are offered.
  void systemPortsIncludeSimulators() {
    const PortDiscoveryResult r = DiscoverPorts(SystemPorts(), 0);
    for (const QString &sim : Sims) QVERIFY(r.Entries.contains(sim));
    QVERIFY(r.SelectedIndex >= 0);
  }

  // The name wins over the index when that port is listed; a board's own port wins over both.
  void rememberedNameBeforeIndex() {
    const QList<FoundPort> found = {Plain("ttyS0"), Plain("ttyUSB0")};
    QCOMPARE(DiscoverPorts(found, {0, "ttyUSB0"}).SelectedIndex, 4);
    QCOMPARE(DiscoverPorts(found, {1, "ttyUSB9"}).SelectedIndex, 1);
    QCOMPARE(DiscoverPorts(found + QList{Board("ttyACM0")}, {0, "ttyUSB0"}).SelectedIndex, 3);
  }

  void settingsRoundTrip() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("qvr710-eval.ini");
    QCOMPARE(ReadRememberedPort(ini).Index, 0);  // no file yet
    QVERIFY(StoreRememberedPort(ini, {2, "ttyACM0"}));
    QCOMPARE(ReadRememberedPort(ini).Index, 2);
    QCOMPARE(ReadRememberedPort(ini).Name, QString("ttyACM0"));
    QFile file(ini);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(file.readAll());
    QVERIFY2(text.contains("[Settings]") && text.contains("COMPort=2"), qPrintable(text));
    QVERIFY(StoreRememberedPort(ini, {-1, ""}));
    QCOMPARE(ReadRememberedPort(ini).Index, -1);
  }

  void unwritableSettingsAreReported() {
    QTemporaryDir dir;
    QFile blocker(dir.filePath("not-a-folder"));  // a file where the folder should be
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString ini = dir.filePath("not-a-folder/x.ini");
    QVERIFY(!StoreRememberedPort(ini, {3, "SIM1"}));
    QCOMPARE(ReadRememberedPort(ini).Index, 0);
  }

  // Run where it was built: beside the executable. Installed (the desktop entry beside the
  // executable's folder): in the user's configuration folder, which is made on the first write.
  void settingsLocation() {
    QTemporaryDir dir;
    const QString config = dir.filePath("home/.config");
    QVERIFY(QDir(dir.path()).mkpath("build/app") && QDir(dir.path()).mkpath("usr/bin") &&
            QDir(dir.path()).mkpath("usr/share/applications"));
    QFile entry(dir.filePath("usr/share/applications/qvr710-eval.desktop"));
    QVERIFY(entry.open(QIODevice::WriteOnly));
    entry.close();
    QCOMPARE(SettingsFilePathFor(dir.filePath("build/app/qvr710-eval"), config),
             dir.filePath("build/app/qvr710-eval.ini"));
    const QString installed = SettingsFilePathFor(dir.filePath("usr/bin/qvr710-eval"), config);
    QCOMPARE(installed, config + "/qvr710-eval/qvr710-eval.ini");
    QVERIFY(StoreRememberedPort(installed, {1, "SIM2"}));
    QCOMPARE(ReadRememberedPort(installed).Name, QString("SIM2"));

    QCOMPARE(SettingsFileNameFor("abc.exe"), QString("abc.ini"));
    QCOMPARE(SettingsFileNameFor("a.b.c"), QString("a.ini"));
    QCOMPARE(SettingsFilePath(), QCoreApplication::applicationDirPath() + "/tst_portdiscovery.ini");
  }
};

QTEST_MAIN(TestPortDiscovery)
#include "tst_portdiscovery.moc"
