// COMn on Windows: the device namespace's name, and nothing for any other name.

#include "serial/Comm32.h"
#include "serial/PortName.h"

#include <QTest>

class TestPortNameWin32 : public QObject {
    Q_OBJECT

private slots:
    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("device");
        QTest::newRow("COM1") << "COM1" << R"(\\.\COM1)";
        QTest::newRow("COM12") << "COM12" << R"(\\.\COM12)";
        QTest::newRow("COM255") << "COM255" << R"(\\.\COM255)";
        QTest::newRow("lower case") << "com3" << R"(\\.\com3)";
        QTest::newRow("COM0") << "COM0" << "";
        QTest::newRow("leading zero") << "COM01" << "";
        QTest::newRow("another device") << "LPT1" << "";
        QTest::newRow("path") << R"(COM1\..\..\C:\x)" << "";
        QTest::newRow("empty") << "" << "";
    }

    void names()
    {
        QFETCH(QString, name);
        QFETCH(QString, device);
        const auto path = serial::ResolvePortName(name.toStdString(), {});
        QCOMPARE(path ? QString::fromStdString(path->string()) : QString(), device);
        if (path)
            QCOMPARE(serial::PortNumberOfDevice(*path, {}), name.mid(3).toInt());
    }

    void aPortThatDoesNotExistDoesNotOpen()
    {
        TComm32 comms;
        comms.CommPort = QStringLiteral("COM231");
        QVERIFY(!comms.StartComm());
        QVERIFY(!comms.isOpen());
        QCOMPARE(comms.LastOpen().device.string(), std::string(R"(\\.\COM231)"));
        QVERIFY(comms.LastOpen().error != 0);
        QVERIFY(!comms.WriteCommData("x", 1));
    }
};

QTEST_GUILESS_MAIN(TestPortNameWin32)
#include "tst_port_name_win32.moc"
