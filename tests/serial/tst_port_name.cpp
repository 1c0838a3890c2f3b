// The COMn rule: a ports/ link first, then the standard device ranges.

#include "serial/PortName.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

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
        QCOMPARE(serial::ResolvePortName("COM3", folder), std::optional(fs::path("/dev/null")));
        // A link serves even a number outside the ranges; a dangling one is still taken,
        // so it fails to open instead of quietly naming another device.
        QCOMPARE(serial::ResolvePortName("COM100", folder), std::optional(fs::path("/dev/none-such")));
        QCOMPARE(serial::ResolvePortName("COM4", folder), std::optional(fs::path("/dev/ttyS3")));
    }

    // In a data folder that the operators share, another operator's link would make us open
    // and set up a device of ours (a terminal, another line) as the stand controller's port.
    void onlyOwnAndAdministratorsLinksNameAPort()
    {
        if (::geteuid() != 0)
            QSKIP("needs to give a link to another user");
        QTemporaryDir dir;
        const fs::path folder = dir.path().toStdString();
        const fs::path ports = folder / "ports";
        fs::create_directories(ports);
        QVERIFY(::chmod(ports.c_str(), 03777) == 0);
        fs::create_symlink("/dev/ttyUSB5", ports / "COM2");
        fs::create_symlink("/dev/hand-control", ports / "COM37");
        QVERIFY(::lchown((ports / "COM37").c_str(), 4245, 4245) == 0);
        // Through a link of our own to the administrator's: followed to the end.
        fs::create_symlink("COM2", ports / "COM3");

        QCOMPARE(serial::ResolvePortName("COM2", folder), std::optional(fs::path("/dev/ttyUSB5")));
        QCOMPARE(serial::ResolvePortName("COM3", folder), std::optional(fs::path("/dev/ttyUSB5")));
        QCOMPARE(serial::ResolvePortName("COM37", folder), std::nullopt);
        QCOMPARE(serial::PortNumberOfDevice("/dev/hand-control", folder), std::nullopt);
        QCOMPARE(serial::PortNumberOfDevice("/dev/ttyUSB5", folder), std::optional(2));
    }
};

QTEST_GUILESS_MAIN(TestPortName)
#include "tst_port_name.moc"
