#include "TestFiles.h"
#include "WindowDriving.h"
#include "config/Setup.h"
#include "config/UsbPortFinder.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(SetupSettings)

namespace {

// A USB device as sysfs shows it: "folder vendor product serial [its tty below the folder]".
void addUsbDevice(const QString& root, const QString& line)
{
    const QStringList f = line.split(' ');
    const QString device = root + "/" + f[0];
    QDir().mkpath(f.size() > 4 ? device + "/" + f[4] : device);
    writeBytes(device + "/idVendor", f[1].toLatin1() + "\n");
    writeBytes(device + "/idProduct", f[2].toLatin1() + "\n");
    writeBytes(device + "/serial", f[3].toLatin1() + "\n");
}

TSetupScreen* newSetup(bool serial, std::function<std::optional<std::string>()> usb, int windowsVersion = 0)
{
    return new TSetupScreen({{serial, 3, 8, false, false}, [](int n) { return QString("m%1").arg(n); }, usb,
                             windowsVersion});
}

} // namespace

// The setup dialog alone, and the USB adapter's port, on USB trees laid out as sysfs does.
class TestSetupScreen : public QObject {
    Q_OBJECT
    QTemporaryDir scratch;

private slots:
    void usbAdapterPortName_data();
    void usbAdapterPortName();
    void usbChoiceFollowsTheAdapter();
};

void TestSetupScreen::usbAdapterPortName_data()
{
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QStringList>("links");  // "COMn=target" in the data folder's ports/
    QTest::addColumn<QString>("portName");   // "none": no adapter

    const QString hub = "usb1 1d6b 0002 0000:00:14.0", other = "1-1 0403 e7a9 FT4711 1-1:1.0/ttyUSB0";
    const QString adapter = "1-2 0403 e7a9 00000001A 1-2:1.0/ttyUSB1";
    QTest::newRow("absent") << QStringList{hub, other} << QStringList() << "none";
    QTest::newRow("by range") << QStringList{hub, other, adapter} << QStringList() << "COM34";
    QTest::newRow("tty class folder") << QStringList{"3-1 0403 e7a9 00000001A 3-1:1.0/tty/ttyACM2"} << QStringList()
                                      << "COM67";
    QTest::newRow("link first") << QStringList{adapter}
                                << QStringList{"COM9=/dev/ttyS3", "COM12=/dev/ttyUSB1", "COM7=/dev/ttyUSB1"} << "COM7";
    // COM34 would name ttyUSB1, but its link names another device: no number reaches the tty.
    QTest::newRow("range taken by a link") << QStringList{adapter} << QStringList{"COM34=/dev/ttyS3"} << "";
    QTest::newRow("no tty yet") << QStringList{"1-2 0403 e7a9 00000001A"} << QStringList() << "";
}

void TestSetupScreen::usbAdapterPortName()
{
    QFETCH(QStringList, devices);
    QFETCH(QStringList, links);
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("ports"));
    for (const QString& device : devices)
        addUsbDevice(dir.filePath("usb"), device);
    for (const QString& link : links)
        QVERIFY(QFile::link(link.section('=', 1), dir.filePath("ports/" + link.section('=', 0, 0))));
    const auto found = FindUsbAdapterPortName(dir.filePath("usb").toStdString(), dir.path().toStdString());
    QTEST(found ? QString::fromStdString(*found) : QString("none"), "portName");
}

void TestSetupScreen::usbChoiceFollowsTheAdapter()
{
    const QString usb = scratch.filePath("usb");
    addUsbDevice(usb, "2-1 0403 e7a9 00000001A 2-1:1.0/ttyUSB6");  // COM39
    const auto finder = [usb] { return FindUsbAdapterPortName(usb.toStdString(), {}); };
    const auto click = [](QWidget* button) { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 8)); };

    // Serial stored: choosing USB fills the field from the adapter and disables it; choosing
    // serial again enables it and keeps that text.
    TSetupScreen* setup = newSetup(true, finder);
    auto* field = control<QLineEdit>(setup, "ComPortNumberData");
    click(control(setup, "UsbHandControlBtn"));
    QCOMPARE(field->text(), QString("39"));
    QVERIFY(!field->isEnabled() && !control(setup, "ComPortNumberLabel")->isEnabled());
    click(control(setup, "SerialHandControlBtn"));
    QVERIFY(field->text() == "39" && field->isEnabled() && control(setup, "ComPortNumberLabel")->isEnabled());
    QSignalSpy ok(setup, &TSetupScreen::settingsAccepted);
    control<QPushButton>(setup, "OkBtn")->click();
    QCOMPARE(ok.size(), 1);
    QCOMPARE(ok[0][0].value<SetupSettings>().ComPortNumber, 39);

    // USB stored: USB chosen, showing the stored port rather than the adapter's. The outer size
    // of Windows version class 7 is kept as a rule.
    setup = newSetup(false, finder, 7);
    QVERIFY(control<QRadioButton>(setup, "UsbHandControlBtn")->isChecked());
    QVERIFY(!control(setup, "ComPortNumberData")->isEnabled());
    QCOMPARE(control<QLineEdit>(setup, "ComPortNumberData")->text(), QString("3"));
    QCOMPARE(setup->frameGeometry().size(), QSize(270, 202));
    setup->reject();

    // A name in small letters counts; one that is not a COM name leaves the field alone.
    for (const auto& [name, shown] : {std::pair("com7", "7"), std::pair("USB7", "3")}) {
        setup = newSetup(true, [name] { return std::optional<std::string>(name); });
        click(control(setup, "UsbHandControlBtn"));
        QCOMPARE(control<QLineEdit>(setup, "ComPortNumberData")->text(), QString(shown));
        setup->reject();
    }

    // Unplugged, USB stored: neither choice, the field disabled; OK keeps USB and the port.
    QDir(usb).removeRecursively();
    setup = newSetup(false, finder);
    QVERIFY(!control(setup, "UsbHandControlBtn")->isEnabled() && !control(setup, "ComPortNumberData")->isEnabled());
    QVERIFY(!control<QRadioButton>(setup, "UsbHandControlBtn")->isChecked());
    QVERIFY(!control<QRadioButton>(setup, "SerialHandControlBtn")->isChecked());
    QSignalSpy unplugged(setup, &TSetupScreen::settingsAccepted);
    control<QPushButton>(setup, "OkBtn")->click();
    QCOMPARE(unplugged.size(), 1);
    QVERIFY(!unplugged[0][0].value<SetupSettings>().SerialHandControl && unplugged[0][1].toBool());
}

QTEST_MAIN(TestSetupScreen)
#include "tst_setupscreen.moc"
