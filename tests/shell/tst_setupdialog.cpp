#include "ConfMain.h"
#include "DataFolder.h"
#include "ElevraApplication.h"
#include "ModalAnswerer.h"
#include "Setup.h"
#include "StandsimRun.h"
#include "UsbPortFinder.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>


Q_DECLARE_METATYPE(SetupSettings)

// The setup dialog opened from the real main window, whose serial component runs on
// pseudo-terminals and the stand simulator, and alone on a USB tree laid out as sysfs does.
class TestSetupDialog : public QObject {
    Q_OBJECT

    template <typename T>
    static T* control(QWidget* parent, const QString& name)
    {
        T* found = parent->findChild<T*>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }

    // Esc on the main window presses Setup.
    static TSetupScreen* openSetup(TConferenceForm& form)
    {
        QTest::keyClick(&form, Qt::Key_Escape);
        return form.findChild<TSetupScreen*>();
    }

    // What the operator types goes to the dialog's focused control.
    static void typeInto(TSetupScreen* setup, const QString& text)
    {
        QTest::keyClick(setup->focusWidget(), Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(setup->focusWidget(), Qt::Key_Delete);
        QTest::keyClicks(setup->focusWidget(), text);
        QTest::keyClick(setup->focusWidget(), Qt::Key_Tab);
    }

    static Configuration settings(TConferenceForm& form) { return form.programData().config; }

    QTemporaryDir scratch;

private slots:
    void okStoresTheFieldsAndReopensThePort_data();
    void okStoresTheFieldsAndReopensThePort();
    void cancelAndEscStoreNothing();
    void pollingGoesOnAndTheNewPortIsServed();
    void usbChoiceFollowsTheAdapter();
    void portNameOfTheAdapter_data();
    void portNameOfTheAdapter();
};

void TestSetupDialog::okStoresTheFieldsAndReopensThePort_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("stands");
    QTest::addColumn<int>("portAfter");
    QTest::addColumn<int>("standsAfter");
    QTest::addColumn<int>("opens");
    QTest::addColumn<QStringList>("boxes");

    const QStringList refused{"Com Port Number Out Of Range"};
    QTest::newRow("255 accepted") << "255" << "3" << 255 << 3 << 0 << QStringList{"Unable to open Com Port 255"};
    QTest::newRow("256 refused, 9 stands") << "256" << "9" << 1 << 8 << 0 << refused;
    QTest::newRow("0 refused, no stands") << "0" << "0" << 1 << 0 << 0 << refused;
    QTest::newRow("empty fields") << "" << "" << 1 << 8 << 1 << QStringList();
    QTest::newRow("unchanged port reopens") << "1" << "2" << 1 << 2 << 1 << QStringList();
}

void TestSetupDialog::okStoresTheFieldsAndReopensThePort()
{
    QFETCH(QString, port);
    QFETCH(QString, stands);
    QFETCH(int, portAfter);
    QFETCH(int, standsAfter);
    QFETCH(int, opens);
    QFETCH(QStringList, boxes);

    DataFolder folder;
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=5\n");
    TConferenceForm form(folder.paths());
    form.show();
    QVERIFY(form.controller().CommsOpen());
    int opened = 0;
    form.port().Comms1.setDeviceFactory([&opened] {
        ++opened;
        return std::make_shared<serial::SerialDevice>();
    });

    TSetupScreen* setup = openSetup(form);
    QVERIFY(setup);
    QCOMPARE(setup->size(), QSize(252, 189));
    QVERIFY(setup->isVisible() && !setup->isModal());
    QCOMPARE(setup->windowTitle(), QString("Setup"));
    QCOMPARE(control<QLabel>(setup, "StandCountLabel")->text(), QString("Stands Displayed"));
    auto* portField = control<QLineEdit>(setup, "ComPortNumberData");
    QCOMPARE(portField->text(), QString("1"));
    QCOMPARE(control<QLineEdit>(setup, "StandCountData")->text(), QString("5"));
    QVERIFY(portField->isEnabled());
    // No adapter on this machine: USB cannot be chosen.
    QVERIFY(!control<QRadioButton>(setup, "UsbHandControlBtn")->isEnabled());

    // From OK past Cancel to the port field, then the stand count.
    QCOMPARE(setup->focusWidget(), control<QWidget>(setup, "OkBtn"));
    QTest::keyClick(setup->focusWidget(), Qt::Key_Tab);
    QTest::keyClick(setup->focusWidget(), Qt::Key_Tab);
    typeInto(setup, port);
    typeInto(setup, stands);
    control<QRadioButton>(setup, "DatabaseFromTargetBox")->click();
    control<QCheckBox>(setup, "TelvioLinkEnabledCheckBox")->click();
    ModalAnswerer operatorAnswers;
    QTest::mouseClick(control<QPushButton>(setup, "OkBtn"), Qt::LeftButton);

    QCOMPARE(operatorAnswers.seen, boxes);
    QCOMPARE(settings(form).ComPortNumber, portAfter);
    QCOMPARE(form.controller().ComPortNumber(), portAfter);
    QCOMPARE(opened, opens);
    QCOMPARE(form.controller().CommsOpen(), portAfter == 1);
    QCOMPARE(settings(form).StandsDisplayed, standsAfter);
    QCOMPARE(form.board().StandsDisplayed(), standsAfter);
    QCOMPARE(control<QWidget>(&form, "Stand0Glass")->isVisible(), standsAfter > 0);
    // Stored alike whether the port was taken or refused.
    QVERIFY(settings(form).DatabaseFromTarget);
    QVERIFY(settings(form).PrompterLinkEnabled);
    QVERIFY(settings(form).SerialHandControl);

    if (boxes == QStringList{"Com Port Number Out Of Range"}) {
        QVERIFY(setup->isVisible());
        QCOMPARE(portField->text(), QString("1"));
        QVERIFY(!form.controller().QueryTime().isActive());
        control<QPushButton>(setup, "CancelBtn")->click();
    }
    QTRY_VERIFY(!form.findChild<TSetupScreen*>());
    QVERIFY(form.controller().QueryTime().isActive());
}

void TestSetupDialog::cancelAndEscStoreNothing()
{
    DataFolder folder;
    TConferenceForm form(folder.paths());
    form.show();
    const Configuration before = settings(form);
    int opened = 0;
    form.port().Comms1.setDeviceFactory([&opened] {
        ++opened;
        return std::make_shared<serial::SerialDevice>();
    });

    for (const bool byEsc : {false, true}) {
        TSetupScreen* setup = openSetup(form);
        QVERIFY(setup);
        QVERIFY(!form.controller().QueryTime().isActive());
        // Setup again brings the open dialog to the top rather than making a second one.
        control<QPushButton>(&form, "SetupBtn")->click();
        QCOMPARE(form.findChildren<TSetupScreen*>().size(), 1);

        control<QLineEdit>(setup, "ComPortNumberData")->setText("5");
        control<QLineEdit>(setup, "StandCountData")->setText("2");
        control<QRadioButton>(setup, "DatabaseFromTargetBox")->click();
        control<QCheckBox>(setup, "TelvioLinkEnabledCheckBox")->click();
        if (byEsc)
            QTest::keyClick(control<QLineEdit>(setup, "StandCountData"), Qt::Key_Escape);
        else
            QTest::mouseClick(control<QPushButton>(setup, "CancelBtn"), Qt::LeftButton);
        QTRY_VERIFY(!form.findChild<TSetupScreen*>());
        QVERIFY(form.controller().QueryTime().isActive());
    }
    const Configuration after = settings(form);
    QCOMPARE(after.ComPortNumber, before.ComPortNumber);
    QCOMPARE(after.StandsDisplayed, before.StandsDisplayed);
    QCOMPARE(after.DatabaseFromTarget, before.DatabaseFromTarget);
    QCOMPARE(after.PrompterLinkEnabled, before.PrompterLinkEnabled);
    QCOMPARE(after.SerialHandControl, before.SerialHandControl);
    QCOMPARE(form.board().StandsDisplayed(), 8);
    QCOMPARE(opened, 0);
    QVERIFY(form.controller().CommsOpen());
    // Left open as the main window goes.
    QVERIFY(openSetup(form));
}

void TestSetupDialog::pollingGoesOnAndTheNewPortIsServed()
{
    DataFolder folder;
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=2\n");
    StandsimRun first;
    QVERIFY(first.start({"--stands", "2", "--speed", "0", "--heights", "11,12"}, scratch.filePath("first.log")));
    folder.linkCom1(first.line);
    StandsimRun second;
    QVERIFY(second.start({"--stands", "2", "--speed", "0", "--heights", "21,22"}, scratch.filePath("second.log")));
    QVERIFY(QFile::link(second.line, folder.path("ports/COM2")));
    ModalAnswerer boxes;
    TConferenceForm form(folder.paths());
    form.show();
    const StandBoard& board = form.board();
    QTRY_VERIFY_WITH_TIMEOUT(board.Stand(0).actual == 11 && board.Stand(1).actual == 12, 10000);

    TSetupScreen* setup = openSetup(form);
    QVERIFY(!form.controller().QueryTime().isActive());
    // The poll on its way is answered, and its reply sends the next one.
    const qsizetype polls = first.frames().count("Q1234");
    QTRY_VERIFY_WITH_TIMEOUT(first.frames().count("Q1234") > polls + 4, 5000);
    QVERIFY(form.findChild<TSetupScreen*>() == setup);

    control<QLineEdit>(setup, "ComPortNumberData")->setText("2");
    QTest::mouseClick(control<QPushButton>(setup, "OkBtn"), Qt::LeftButton);
    QCOMPARE(settings(form).ComPortNumber, 2);
    QTRY_VERIFY_WITH_TIMEOUT(board.Stand(0).actual == 21 && board.Stand(1).actual == 22, 5000);

    // Pulled and plugged in again: the retries follow the new port, not the old one.
    second.process.kill();
    QVERIFY(second.process.waitForFinished(5000));
    // Its device node goes with it; meanwhile COM2 names nothing, not even a real ttyS1.
    QFile::remove(folder.path("ports/COM2"));
    QVERIFY(QFile::link(folder.path("gone"), folder.path("ports/COM2")));
    QTRY_VERIFY_WITH_TIMEOUT(!form.controller().CommsOpen(), 5000);
    const qsizetype oldPolls = first.frames().count("Q1234");
    StandsimRun third;
    QVERIFY(third.start({"--stands", "2", "--speed", "0", "--heights", "31,32"}, scratch.filePath("third.log")));
    QFile::remove(folder.path("ports/COM2"));
    QVERIFY(QFile::link(third.line, folder.path("ports/COM2")));
    QTRY_VERIFY_WITH_TIMEOUT(board.Stand(0).actual == 31 && board.Stand(1).actual == 32, 5000);
    QCOMPARE(first.frames().count("Q1234"), oldPolls);
    QCOMPARE(boxes.seen, QStringList());
}

void TestSetupDialog::usbChoiceFollowsTheAdapter()
{
    // An adapter whose tty is ttyUSB6, so COM39.
    const QString usb = scratch.filePath("usb");
    const QString adapter = usb + "/2-1";
    QDir().mkpath(adapter + "/2-1:1.0/ttyUSB6");
    writeBytes(adapter + "/idVendor", "0403\n");
    writeBytes(adapter + "/idProduct", "e7a9\n");
    writeBytes(adapter + "/serial", "00000001A\n");
    const auto message = [](int n) { return QString("m%1").arg(n); };
    const auto finder = [usb] { return FindUsbAdapterPortName(usb.toStdString(), {}); };

    // Serial stored: choosing USB fills the field from the adapter and disables it; choosing
    // serial again enables it and keeps that text.
    auto* setup = new TSetupScreen({{true, 3, 8, false, false}, message, finder, 0});
    auto* serialBtn = control<QRadioButton>(setup, "SerialHandControlBtn");
    auto* usbBtn = control<QRadioButton>(setup, "UsbHandControlBtn");
    auto* field = control<QLineEdit>(setup, "ComPortNumberData");
    auto* label = control<QLabel>(setup, "ComPortNumberLabel");
    QCOMPARE(control<QGroupBox>(setup, "HcBox")->title(), QString("m33"));
    QVERIFY(usbBtn->isEnabled() && serialBtn->isChecked());
    QTest::mouseClick(usbBtn, Qt::LeftButton, {}, QPoint(5, 8));
    QCOMPARE(field->text(), QString("39"));
    QVERIFY(!field->isEnabled() && !label->isEnabled());
    QTest::mouseClick(serialBtn, Qt::LeftButton, {}, QPoint(5, 8));
    QCOMPARE(field->text(), QString("39"));
    QVERIFY(field->isEnabled() && label->isEnabled());
    QSignalSpy ok(setup, &TSetupScreen::settingsAccepted);
    control<QPushButton>(setup, "OkBtn")->click();
    QCOMPARE(ok.size(), 1);
    QCOMPARE(ok[0][0].value<SetupSettings>().ComPortNumber, 39);
    QVERIFY(ok[0][0].value<SetupSettings>().SerialHandControl);
    QCOMPARE(ok[0][1].toBool(), true);
    QTRY_VERIFY(!setup->isVisible());

    // USB stored: opened with USB chosen, showing the stored port rather than the adapter's.
    // The outer size of Windows version class 7 is kept as a rule.
    setup = new TSetupScreen({{false, 3, 8, false, false}, message, finder, 7});
    QVERIFY(control<QRadioButton>(setup, "UsbHandControlBtn")->isChecked());
    QCOMPARE(control<QLineEdit>(setup, "ComPortNumberData")->text(), QString("3"));
    QVERIFY(!control<QLineEdit>(setup, "ComPortNumberData")->isEnabled());
    QCOMPARE(setup->frameGeometry().size(), QSize(270, 202));
    setup->reject();

    // Unplugged: neither choice, the field disabled, and OK keeps USB with the field's port.
    QDir(adapter).removeRecursively();
    setup = new TSetupScreen({{false, 3, 8, false, false}, message, finder, 0});
    QVERIFY(!control<QRadioButton>(setup, "UsbHandControlBtn")->isEnabled());
    QVERIFY(!control<QRadioButton>(setup, "UsbHandControlBtn")->isChecked());
    QVERIFY(!control<QRadioButton>(setup, "SerialHandControlBtn")->isChecked());
    QVERIFY(!control<QLineEdit>(setup, "ComPortNumberData")->isEnabled());
    QSignalSpy unplugged(setup, &TSetupScreen::settingsAccepted);
    control<QPushButton>(setup, "OkBtn")->click();
    QCOMPARE(unplugged.size(), 1);
    QVERIFY(!unplugged[0][0].value<SetupSettings>().SerialHandControl);
    QCOMPARE(unplugged[0][0].value<SetupSettings>().ComPortNumber, 3);
}

void TestSetupDialog::portNameOfTheAdapter_data()
{
    QTest::addColumn<QString>("portName");
    QTest::addColumn<QString>("field");
    QTest::newRow("small letters") << "com7" << "7";
    QTest::newRow("not a COM name") << "USB7" << "4";
    QTest::newRow("empty") << "" << "4";
}

void TestSetupDialog::portNameOfTheAdapter()
{
    QFETCH(QString, portName);
    QFETCH(QString, field);
    const std::string name = portName.toStdString();
    auto* setup = new TSetupScreen({{true, 4, 8, false, false}, [](int) { return QString(); },
                                    [name] { return std::optional<std::string>(name); }, 0});
    QTest::mouseClick(control<QRadioButton>(setup, "UsbHandControlBtn"), Qt::LeftButton, {}, QPoint(5, 8));
    QTEST(control<QLineEdit>(setup, "ComPortNumberData")->text(), "field");
    setup->reject();
}

int main(int argc, char** argv)
{
    ElevraApplication app(argc, argv);
    TestSetupDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_setupdialog.moc"
