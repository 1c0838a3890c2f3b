// The USB adapter's port as its driver records it in the registry, written here with Wine's
// (or Windows') own reg tool.
#include "config/UsbPortFinder.h"

#include <QProcess>
#include <QTest>

namespace {

const QString AdapterKey =
    QStringLiteral(R"(HKLM\SYSTEM\CurrentControlSet\Enum\FTDIBUS\VID_0403+PID_E7A9+00000001A\0000\Device Parameters)");

bool reg(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("reg"), arguments);
    return tool.waitForFinished(30000) && tool.exitCode() == 0;
}

std::optional<std::string> found()
{
    return FindUsbAdapterPortName({}, {});
}

}  // namespace

class TestUsbPortFinder : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { reg({"delete", AdapterKey, "/f"}); }

    void theDriversPortNameIsTaken()
    {
        QVERIFY(reg({"add", AdapterKey, "/v", "PortName", "/t", "REG_SZ", "/d", "COM7", "/f"}));
        QCOMPARE(found(), std::optional<std::string>("COM7"));
        QVERIFY(reg({"add", AdapterKey, "/v", "PortName", "/t", "REG_SZ", "/d", "com12", "/f"}));
        QCOMPARE(found(), std::optional<std::string>("com12"));
    }

    void aKeyWithoutATextPortNameGivesTheEmptyText()
    {
        QVERIFY(reg({"add", AdapterKey, "/v", "Other", "/t", "REG_SZ", "/d", "COM3", "/f"}));
        QCOMPARE(found(), std::optional<std::string>(""));
        QVERIFY(reg({"add", AdapterKey, "/v", "PortName", "/t", "REG_DWORD", "/d", "3", "/f"}));
        QCOMPARE(found(), std::optional<std::string>(""));
        QVERIFY(reg({"add", AdapterKey, "/v", "PortName", "/t", "REG_SZ", "/d", QString(300, 'C'), "/f"}));
        QCOMPARE(found(), std::optional<std::string>(""));
    }

    void noKeyIsNoAdapter()
    {
        reg({"delete", AdapterKey, "/f"});
        QCOMPARE(found(), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestUsbPortFinder)
#include "tst_usb_port_finder.moc"
