#include "DataFolder.h"
#include "ModalAnswerer.h"
#include "shell/ConfMain.h"
#include "shell/ElevraApplication.h"

#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

// The main window as the operator sees it, on the offscreen platform.
class TestConferenceForm : public QObject {
    Q_OBJECT

    static void reply(TConferenceForm& form, const QByteArray& frame)
    {
        const QByteArray block = frame + '\0';
        form.controller().Comms1ReceiveData(block.constData(), int(frame.size()));
    }

    template <typename T>
    static T* control(TConferenceForm& form, const QString& name)
    {
        T* found = form.findChild<T*>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }

    static QColor background(QLabel* panel) { return panel->palette().color(QPalette::Window); }
    static QColor text(QLabel* panel) { return panel->palette().color(QPalette::WindowText); }

private slots:
    void widthFollowsStandCount_data();
    void widthFollowsStandCount();
    void silentAndOnlineStandsLookApart();
    void glassDragSetsLevelWithinLimits();
    void onlyLeftButtonAloneDrags();
    void enterTakesAndCaptionsComeFromMessages();
    void portThatDoesNotOpenIsReported();
    void portClosedToThisUserNamesItsDeviceAndWhoMayOpenIt_data();
    void portClosedToThisUserNamesItsDeviceAndWhoMayOpenIt();
};

void TestConferenceForm::widthFollowsStandCount_data()
{
    QTest::addColumn<int>("stands");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("takeLeft");
    QTest::newRow("1") << 1 << 266 << 198;
    QTest::newRow("3") << 3 << 362 << 294;
    QTest::newRow("8") << 8 << 602 << 534;
}

void TestConferenceForm::widthFollowsStandCount()
{
    QFETCH(int, stands);
    DataFolder folder;
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=" + QByteArray::number(stands) + "\n");
    TConferenceForm form(folder.paths());
    form.show();
    QTEST(form.width(), "width");
    QCOMPARE(form.height(), 373);
    QTEST(control<QPushButton>(form, "TakeBtn")->x(), "takeLeft");
    QCOMPARE(control<QPushButton>(form, "ExitBtn")->geometry(), QRect(form.width() - 68, 336, 60, 25));
    QCOMPARE(control<QPushButton>(form, "RunOrderBtn")->x(), form.width() - 178);
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(control<QWidget>(form, QString("Stand%1Glass").arg(i))->isVisible(), i < stands);
        QCOMPARE(control<QWidget>(form, QString("Nudge%1UpBtn").arg(i))->isVisible(), i < stands);
    }
    QCOMPARE(control<QLabel>(form, "Panel1")->isVisible(), false);
    QCOMPARE(control<QWidget>(form, "Stand0Glass")->geometry(), QRect(8, 200, 32, 32));
    QCOMPARE(control<QWidget>(form, "Stand0")->geometry().width(), 6);
    QCOMPARE(control<QWidget>(form, "Stand0")->x(), 21);
}

void TestConferenceForm::silentAndOnlineStandsLookApart()
{
    DataFolder folder;
    TConferenceForm form(folder.paths());
    form.show();
    const QColor buttonFace = form.palette().color(QPalette::Button);
    QLabel* level = control<QLabel>(form, "Stand1Level");
    QLabel* data = control<QLabel>(form, "Stand1Data");
    QLabel* base = control<QLabel>(form, "Stand1Base");
    QCOMPARE(background(level), buttonFace);
    QCOMPARE(text(data), QColor(128, 128, 128));
    QCOMPARE(background(base), buttonFace);
    QVERIFY(!control<QToolButton>(form, "Nudge1UpBtn")->isEnabled());
    QVERIFY(control<QWidget>(form, "Stand1Glass")->isEnabled());

    reply(form, ":2A125C4E\r\n");  // stand 2 reports 50
    QCOMPARE(background(level), QColor(Qt::white));
    QCOMPARE(text(level), QColor(Qt::black));
    QCOMPARE(background(base), QColor(Qt::black));
    QCOMPARE(text(base), QColor(Qt::white));
    QCOMPARE(data->text(), QString("50"));
    QCOMPARE(level->text(), QString("50"));  // a stand coming on line shows its height as target
    QVERIFY(control<QToolButton>(form, "Nudge1UpBtn")->isEnabled());
    QCOMPARE(control<QWidget>(form, "Stand1Position")->y(), 200 - 100);
    QCOMPARE(control<QWidget>(form, "Stand1")->geometry(), QRect(69, 132, 6, 100));
    QCOMPARE(control<QWidget>(form, "Stand1Glass")->y(), 100);
    // Its neighbours stay grey.
    QCOMPARE(background(control<QLabel>(form, "Stand0Level")), buttonFace);
}

void TestConferenceForm::glassDragSetsLevelWithinLimits()
{
    DataFolder folder;
    TConferenceForm form(folder.paths());
    form.show();
    QWidget* glass = control<QWidget>(form, "Stand2Glass");
    QLabel* level = control<QLabel>(form, "Stand2Level");
    const QString loaded = level->text();  // entry 0 of the database, shown at start
    auto send = [&](QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, int y) {
        QMouseEvent event(type, QPointF(10, y), glass->mapToGlobal(QPointF(10, y)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(glass, &event);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, 20);
    send(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, 20);  // a second press, its release lost
    QVERIFY(form.board().drag().Dragging);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::SizeVerCursor);
    send(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, 25);  // down from height 0: refused
    QCOMPARE(glass->y(), 200);
    QCOMPARE(level->text(), loaded);
    send(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, 5);   // up 20 px: glass 40 px, height 20
    QCOMPARE(glass->y(), 160);
    QCOMPARE(level->text(), QString("20"));
    send(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, -300);  // the move after a step is skipped
    QCOMPARE(level->text(), QString("20"));
    send(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, -400);  // above 99: refused as a whole
    QCOMPARE(level->text(), QString("20"));
    send(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, -400);
    QVERIFY(!form.board().drag().Dragging);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(form.board().stand(2).target, 0);  // only the panel changed
}

void TestConferenceForm::onlyLeftButtonAloneDrags()
{
    DataFolder folder;
    TConferenceForm form(folder.paths());
    form.show();
    QWidget* glass = control<QWidget>(form, "Stand0Glass");
    QTest::mousePress(glass, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    QVERIFY(!form.board().drag().Dragging);
    QTest::mouseRelease(glass, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mousePress(glass, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
    QVERIFY(!form.board().drag().Dragging);
    QTest::mouseRelease(glass, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
    QTest::mousePress(glass, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QVERIFY(form.board().drag().Dragging);
    QTest::mouseRelease(glass, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
}

void TestConferenceForm::enterTakesAndCaptionsComeFromMessages()
{
    DataFolder folder;
    TConferenceForm form(folder.paths());
    form.show();
    QCOMPARE(control<QLabel>(form, "ActualHeightLabel")->text(), QString("Actual"));
    QCOMPARE(control<QLabel>(form, "TargetHeightLabel")->text(), QString("Target"));
    QCOMPARE(control<QLabel>(form, "CurrentSpeakerLabel")->text(), QString("Current Speaker"));
    QVERIFY(form.controller().CommsOpen());
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    // Enter goes where a key goes: to the focused control, and on to the window when that
    // control does not use it.
    const auto enterOnFocus = [&form](Qt::Key key) {
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClick(focused ? focused : &form, key);
    };
    form.setFocus();
    enterOnFocus(Qt::Key_Return);
    QCOMPARE(form.controller().PendingCommand(), quint8(pcTake));
    for (const char* name : {"AbortBtn", "HomeBtn"}) {
        control<QPushButton>(form, name)->setFocus();
        enterOnFocus(Qt::Key_Enter);
        QCOMPARE(form.controller().PendingCommand(), quint8(QByteArray(name) == "AbortBtn" ? pcAbort : pcHome));
    }
    // A press on a nudge or toggle button leaves the focus where it was.
    control<QPushButton>(form, "AbortBtn")->setFocus();
    QTest::mouseClick(control<QPushButton>(form, "RunOrderBtn"), Qt::LeftButton);
    enterOnFocus(Qt::Key_Return);
    QCOMPARE(form.controller().PendingCommand(), quint8(pcAbort));
    form.controller().setPendingCommand(pcNone);
    ModalAnswerer operatorAnswers;
    QVERIFY(form.close());
}

void TestConferenceForm::portThatDoesNotOpenIsReported()
{
    DataFolder folder;
    writeBytes(folder.path("elevra.ini"), "[Main]\nCom Port Number=99\n");
    ModalAnswerer operatorAnswers;
    TConferenceForm form(folder.paths());
    QCOMPARE(operatorAnswers.seen, QStringList{"Unable to open Com Port 99"});
    QVERIFY(!form.controller().CommsOpen());
    control<QPushButton>(form, "TakeBtn")->click();
    QCOMPARE(form.controller().PendingCommand(), quint8(pcNone));
}

void TestConferenceForm::portClosedToThisUserNamesItsDeviceAndWhoMayOpenIt_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("mayOpen");
    QTest::newRow("its group") << 0060 << "the members of the group %group";
    QTest::newRow("nobody but its owner") << 0000 << "its owner, %owner";
}

void TestConferenceForm::portClosedToThisUserNamesItsDeviceAndWhoMayOpenIt()
{
    QFETCH(int, mode);
    QFETCH(QString, mayOpen);
    DataFolder folder;
    TConferenceForm form(folder.paths());
    QVERIFY(form.controller().CommsOpen());
    form.port().StopComm();
    const QString device = QFileInfo(folder.path("ports/COM1")).canonicalFilePath();
    QVERIFY(::chmod(QFile::encodeName(device).constData(), mode_t(mode)) == 0);
    // Permissions do not stop root, who tries the reopen as a user of no group.
    QVERIFY(::chmod(QFile::encodeName(folder.dataFolder() + "../..").constData(), 0755) == 0);
    const bool asRoot = ::geteuid() == 0;
    QVERIFY(!asRoot || (::setgroups(0, nullptr) == 0 && ::setegid(65534) == 0 && ::seteuid(65534) == 0));
    {
        ModalAnswerer operatorAnswers;
        form.controller().StartComms(true);
        QVERIFY(!asRoot || (::seteuid(0) == 0 && ::setegid(0) == 0));
        mayOpen.replace("%group", QFileInfo(device).group()).replace("%owner", QFileInfo(device).owner());
        QCOMPARE(operatorAnswers.seen, QStringList{"Unable to open Com Port 1\n" + device + " may only be opened by " + mayOpen + "."});
    }
    QVERIFY(!form.controller().CommsOpen());
    ModalAnswerer operatorAnswers;
    QVERIFY(form.close());
}

int main(int argc, char** argv)
{
    ElevraApplication app(argc, argv);
    TestConferenceForm test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_conferenceform.moc"
