#include "DataFolder.h"
#include "ModalAnswerer.h"
#include "StandsimRun.h"
#include "WindowDriving.h"
#include "config/Setup.h"
#include "shell/ConfMain.h"
#include "shell/ElevraApplication.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {

// Esc on the main window presses Setup.
TSetupScreen* openSetup(TConferenceForm& form)
{
    QTest::keyClick(&form, Qt::Key_Escape);
    return form.findChild<TSetupScreen*>();
}

// Typed over the focused field, as the operator does, then on to the next control.
void typeInto(TSetupScreen* setup, const QString& text)
{
    QTest::keyClick(setup->focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(setup->focusWidget(), Qt::Key_Delete);
    QTest::keyClicks(setup->focusWidget(), text);
    QTest::keyClick(setup->focusWidget(), Qt::Key_Tab);
}

auto fiveSettings(const Configuration& c)
{
    return std::tuple(c.SerialHandControl, c.ComPortNumber, c.StandsDisplayed, c.DatabaseFromTarget,
                      c.PrompterLinkEnabled);
}

} // namespace

// The setup dialog opened from the real main window, whose serial component runs on
// pseudo-terminals and the stand simulator (alone, on USB trees: tests/config/tst_setupscreen).
class TestSetupDialog : public QObject {
    Q_OBJECT
    QTemporaryDir scratch;

private slots:
    void okStoresTheFieldsAndReopensThePort_data();
    void okStoresTheFieldsAndReopensThePort();
    void cancelAndEscStoreNothing();
    void pollingGoesOnAndTheNewPortIsServed();
};

void TestSetupDialog::okStoresTheFieldsAndReopensThePort_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("stands");
    QTest::addColumn<int>("portAfter");
    QTest::addColumn<int>("standsAfter");
    QTest::addColumn<int>("opens");
    QTest::addColumn<QString>("box");
    const QString refused = "Com Port Number Out Of Range";
    QTest::newRow("255 accepted") << "255" << "3" << 255 << 3 << 0 << "Unable to open Com Port 255";
    QTest::newRow("256 refused, 9 stands") << "256" << "9" << 1 << 8 << 0 << refused;
    QTest::newRow("0 refused, no stands") << "0" << "0" << 1 << 0 << 0 << refused;
    QTest::newRow("empty fields") << "" << "" << 1 << 8 << 1 << "";
    QTest::newRow("unchanged port reopens") << "1" << "2" << 1 << 2 << 1 << "";
}

void TestSetupDialog::okStoresTheFieldsAndReopensThePort()
{
    QFETCH(int, portAfter);
    QFETCH(int, standsAfter);
    QFETCH(QString, box);
    DataFolder folder;
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=5\n");
    TConferenceForm form(folder.paths());
    form.show();
    int opens = 0;
    form.port().Comms1.setDeviceFactory([&opens] {
        ++opens;
        return std::make_shared<serial::SerialDevice>();
    });

    TSetupScreen* setup = openSetup(form);
    QVERIFY(setup && setup->isVisible() && !setup->isModal());
    QCOMPARE(setup->size(), QSize(252, 189));
    auto* portField = control<QLineEdit>(setup, "ComPortNumberData");
    QCOMPARE(portField->text(), QString("1"));
    QCOMPARE(control<QLineEdit>(setup, "StandCountData")->text(), QString("5"));
    // No adapter on this machine: USB cannot be chosen.
    QVERIFY(!control(setup, "UsbHandControlBtn")->isEnabled() && portField->isEnabled());

    // From OK past Cancel to the port field, then the stand count.
    QCOMPARE(setup->focusWidget(), control(setup, "OkBtn"));
    QTest::keyClick(setup->focusWidget(), Qt::Key_Tab);
    QTest::keyClick(setup->focusWidget(), Qt::Key_Tab);
    QFETCH(QString, port);
    QFETCH(QString, stands);
    typeInto(setup, port);
    typeInto(setup, stands);
    control<QRadioButton>(setup, "DatabaseFromTargetBox")->click();
    control<QCheckBox>(setup, "TelvioLinkEnabledCheckBox")->click();
    ModalAnswerer operatorAnswers;
    QTest::mouseClick(control(setup, "OkBtn"), Qt::LeftButton);

    QCOMPARE(operatorAnswers.seen, box.isEmpty() ? QStringList() : QStringList{box});
    QCOMPARE(form.programData().config.ComPortNumber, portAfter);
    QCOMPARE(form.controller().ComPortNumber(), portAfter);
    QTEST(opens, "opens");
    QCOMPARE(form.controller().CommsOpen(), portAfter == 1);
    QCOMPARE(form.programData().config.StandsDisplayed, standsAfter);
    QCOMPARE(control(&form, "Stand0Glass")->isVisible(), standsAfter > 0);
    // Stored alike whether the port was taken or refused.
    QCOMPARE(fiveSettings(form.programData().config), std::tuple(true, portAfter, standsAfter, true, true));

    if (box.startsWith("Com")) {
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
    const auto before = fiveSettings(form.programData().config);
    for (const bool byEsc : {false, true}) {
        TSetupScreen* setup = openSetup(form);
        QVERIFY(!form.controller().QueryTime().isActive());
        // Setup again brings the open dialog to the top rather than making a second one.
        control<QPushButton>(&form, "SetupBtn")->click();
        QCOMPARE(form.findChildren<TSetupScreen*>().size(), 1);
        control<QLineEdit>(setup, "ComPortNumberData")->setText("5");
        control<QLineEdit>(setup, "StandCountData")->setText("2");
        control<QCheckBox>(setup, "TelvioLinkEnabledCheckBox")->click();
        if (byEsc)
            QTest::keyClick(control(setup, "StandCountData"), Qt::Key_Escape);
        else
            QTest::mouseClick(control(setup, "CancelBtn"), Qt::LeftButton);
        QTRY_VERIFY(!form.findChild<TSetupScreen*>());
        QVERIFY(form.controller().QueryTime().isActive());
    }
    QVERIFY(fiveSettings(form.programData().config) == before);
    QCOMPARE(form.board().StandsDisplayed(), 8);
    QCOMPARE(form.port().Comms1.CommPort, QString("COM1"));
    // Left open as the main window goes.
    QVERIFY(openSetup(form));
}

void TestSetupDialog::pollingGoesOnAndTheNewPortIsServed()
{
    DataFolder folder;
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=2\n");
    const auto relinkCom2 = [&folder](const QString& device) {
        QFile::remove(folder.path("ports/COM2"));
        QVERIFY(QFile::link(device, folder.path("ports/COM2")));
    };
    StandsimRun first, second, third;
    QVERIFY(first.start({"--stands", "2", "--speed", "0", "--heights", "11,12"}, scratch.filePath("1.log")));
    QVERIFY(second.start({"--stands", "2", "--speed", "0", "--heights", "21,22"}, scratch.filePath("2.log")));
    folder.linkCom1(first.line);
    relinkCom2(second.line);
    ModalAnswerer boxes;
    TConferenceForm form(folder.paths());
    form.show();
    const auto heights = [&board = form.board()](int a, int b) {
        return board.stand(0).actual == a && board.stand(1).actual == b;
    };
    QTRY_VERIFY_WITH_TIMEOUT(heights(11, 12), 10000);

    TSetupScreen* setup = openSetup(form);
    QVERIFY(!form.controller().QueryTime().isActive());
    // The poll on its way is answered, and its reply sends the next one.
    const qsizetype polls = first.frames().count("Q1234");
    QTRY_VERIFY_WITH_TIMEOUT(first.frames().count("Q1234") > polls + 4, 5000);

    control<QLineEdit>(setup, "ComPortNumberData")->setText("2");
    QTest::mouseClick(control(setup, "OkBtn"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(heights(21, 22), 5000);

    // Pulled and plugged in again: the retries follow the new port, not the old one. Meanwhile
    // COM2 names nothing, not even a real ttyS1.
    second.process.kill();
    QVERIFY(second.process.waitForFinished(5000));
    relinkCom2(folder.path("gone"));
    QTRY_VERIFY_WITH_TIMEOUT(!form.controller().CommsOpen(), 5000);
    const qsizetype oldPolls = first.frames().count("Q1234");
    QVERIFY(third.start({"--stands", "2", "--speed", "0", "--heights", "31,32"}, scratch.filePath("3.log")));
    relinkCom2(third.line);
    QTRY_VERIFY_WITH_TIMEOUT(heights(31, 32), 5000);
    QCOMPARE(first.frames().count("Q1234"), oldPolls);
    QCOMPARE(boxes.seen, QStringList());
}

int main(int argc, char** argv)
{
    ElevraApplication app(argc, argv);
    TestSetupDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_setupdialog.moc"
