// The hand control's USB adapter found in a sysfs tree laid out as the kernel does.

#include "UsbPortFinder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestUsbPortFinder : public QObject {
    Q_OBJECT

    static void writeAttribute(const QString& path, const QString& value)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write((value + "\n").toUtf8()) < 0)
            qFatal("cannot write %s", qPrintable(path));
    }

private slots:
    void find_data();
    void find();
};

void TestUsbPortFinder::find_data()
{
    // A device: "name vendor product serial [tty folder below the device]".
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QStringList>("links");  // "COMn=target" in the data folder's ports/
    QTest::addColumn<QString>("portName");   // "none": no adapter

    const QString hub = "usb1 1d6b 0002 0000:00:14.0";
    const QString otherAdapter = "1-1 0403 e7a9 FT4711 1-1:1.0/ttyUSB0";
    QTest::newRow("no sysfs") << QStringList() << QStringList() << "none";
    QTest::newRow("absent") << QStringList{hub, otherAdapter} << QStringList() << "none";
    QTest::newRow("tty beside the interface")
        << QStringList{hub, otherAdapter, "1-2 0403 e7a9 00000001A 1-2:1.0/ttyUSB1"} << QStringList() << "COM34";
    QTest::newRow("tty in a class folder")
        << QStringList{"3-1 0403 e7a9 00000001A 3-1:1.0/tty/ttyACM2"} << QStringList() << "COM67";
    QTest::newRow("a link comes first")
        << QStringList{"1-2 0403 e7a9 00000001A 1-2:1.0/ttyUSB1"}
        << QStringList{"COM9=/dev/ttyS3", "COM12=/dev/ttyUSB1", "COM7=/dev/ttyUSB1"} << "COM7";
    // COM34 would name ttyUSB1 but its link names another device, so no number reaches it.
    QTest::newRow("range number taken by a link")
        << QStringList{"1-2 0403 e7a9 00000001A 1-2:1.0/ttyUSB1"} << QStringList{"COM34=/dev/ttyS3"} << "";
    QTest::newRow("beyond the ranges")
        << QStringList{"1-2 0403 e7a9 00000001A 1-2:1.0/ttyUSB40"} << QStringList() << "";
    QTest::newRow("no tty yet") << QStringList{"1-2 0403 e7a9 00000001A"} << QStringList() << "";
}

void TestUsbPortFinder::find()
{
    QFETCH(QStringList, devices);
    QFETCH(QStringList, links);
    QFETCH(QString, portName);

    QTemporaryDir dir;
    const QString usb = dir.filePath("sys/bus/usb/devices");
    const QString data = dir.filePath("data/");
    QDir().mkpath(data + "ports");
    if (!devices.isEmpty())
        QDir().mkpath(usb);
    for (const QString& line : devices) {
        const QStringList f = line.split(' ');
        const QString device = usb + "/" + f[0];
        QDir().mkpath(device);
        writeAttribute(device + "/idVendor", f[1]);
        writeAttribute(device + "/idProduct", f[2]);
        writeAttribute(device + "/serial", f[3]);
        if (f.size() > 4) {
            QDir().mkpath(device + "/" + f[4]);
            writeAttribute(device + "/" + f[4].section('/', 0, 0) + "/bInterfaceNumber", "00");
        }
    }
    for (const QString& link : links)
        QVERIFY(QFile::link(link.section('=', 1), data + "ports/" + link.section('=', 0, 0)));

    const auto found = FindUsbAdapterPortName(usb.toStdString(), data.toStdString());
    QCOMPARE(found ? QString::fromStdString(*found) : QString("none"), portName);
}

QTEST_GUILESS_MAIN(TestUsbPortFinder)
#include "tst_usbportfinder.moc"
