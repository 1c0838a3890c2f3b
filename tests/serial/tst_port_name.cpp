// The COMn rule: a ports/ link first, then the standard device ranges.

#include "serial/PortName.h"

#include <QTemporaryDir>
#include <QTest>

namespace fs = std::filesystem;

class TestPortName : public QObject {
    Q_OBJECT

private slots:
    void ranges_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("device");
        QTest::newRow("COM1") << "COM1" << "/dev/ttyS0";
        QTest::newRow("COM32") << "COM32" << "/dev/ttyS31";
        QTest::newRow("COM33") << "COM33" << "/dev/ttyUSB0";
        QTest::newRow("COM64") << "COM64" << "/dev/ttyUSB31";
        QTest::newRow("COM65") << "COM65" << "/dev/ttyACM0";
        QTest::newRow("COM96") << "COM96" << "/dev/ttyACM31";
        QTest::newRow("lower case") << "com2" << "/dev/ttyS1";
        QTest::newRow("COM97") << "COM97" << "";
        QTest::newRow("COM0") << "COM0" << "";
        QTest::newRow("leading zero") << "COM01" << "";
        QTest::newRow("no number") << "COM" << "";
        QTest::newRow("sign") << "COM-1" << "";
        QTest::newRow("path") << "/dev/ttyS0" << "";
        QTest::newRow("empty") << "" << "";
    }

    void ranges()
    {
        QFETCH(QString, name);
        QFETCH(QString, device);
        const auto path = serial::ResolvePortName(name.toStdString(), {});
        QCOMPARE(path ? QString::fromStdString(path->string()) : QString(), device);
    }

    void aLinkInThePortsFolderComesFirst()
    {
        QTemporaryDir dir;
        const fs::path folder = dir.path().toStdString();
        fs::create_directories(folder / "ports");
        fs::create_symlink("/dev/null", folder / "ports" / "COM3");
        fs::create_symlink("/dev/none-such", folder / "ports" / "COM100");
        QCOMPARE(serial::ResolvePortName("COM3", folder), std::optional(folder / "ports" / "COM3"));
        // A link serves even a number outside the ranges; a dangling one is still taken,
        // so it fails to open instead of quietly naming another device.
        QCOMPARE(serial::ResolvePortName("COM100", folder), std::optional(folder / "ports" / "COM100"));
        QCOMPARE(serial::ResolvePortName("COM4", folder), std::optional(fs::path("/dev/ttyS3")));
    }
};

QTEST_GUILESS_MAIN(TestPortName)
#include "tst_port_name.moc"
