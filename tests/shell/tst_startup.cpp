#include "DataFolder.h"
#include "ModalAnswerer.h"
#include "common/TrustedPath.h"
#include "shell/CloseSequence.h"
#include "shell/ConfMain.h"
#include "shell/ElevraApplication.h"
#include "shell/Startup.h"

#include <QPushButton>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

// Start-up and close of the real main window, in this process, on the offscreen platform.
class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void missingRequiredFileEndsTheStart_data();
    void missingRequiredFileEndsTheStart();
    void mainWindowTakesCaptionAndPlace();
    void closeWithNothingChangedAsksNothingAndRewritesConfiguration();
    void closeSavesDatabaseToDefaultWhenItsFileIsGone();
    void closeAsksAboutChangedDatabaseThenRunOrder();
    void closeAsksBeforeReplacingADifferentDefaultDatabase();
    void closeAsksBeforeReplacingARunOrderFile();
    void cancelledDatabaseSaveAtCloseKeepsTheEditsBeside();
    void secondSignalEndsAnUnattendedClose();
    void unattendedCloseFollowsNoOtherOperatorsLink();
    void oversizedSharedFilesAreNotRead();
    void failedWriteAtCloseKeepsTheWindowOpen();
    void failedDatabaseSaveAtCloseIsReported();
    void errorBoxText_data();
    void errorBoxText();
};

void TestStartup::missingRequiredFileEndsTheStart_data()
{
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QString>("message");
    QTest::newRow("configuration") << "elevra.ini" << "File Not Found: elevra.ini";
    QTest::newRow("help") << "elevra.chm" << "File Not Found: elevra.chm";
    QTest::newRow("messages") << "elevra.msg" << "File Not Found: elevra.msg";
    QTest::newRow("configuration before messages") << "elevra.ini elevra.msg" << "File Not Found: elevra.ini";
}

void TestStartup::missingRequiredFileEndsTheStart()
{
    QFETCH(QString, missing);
    DataFolder folder;
    QTemporaryDir emptyExeFolder;
    const bool noHelp = missing.contains("elevra.chm");
    for (const QString& name : missing.split(' '))
        QFile::remove(folder.path(name));

    ModalAnswerer operatorAnswers;
    QWidget* mainWindowSeen = nullptr;
    QTimer spy;
    connect(&spy, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<TConferenceForm*>(w))
                mainWindowSeen = w;
    });
    spy.start(5);
    const int code = runProgram(*qobject_cast<ElevraApplication*>(qApp), noHelp ? emptyExeFolder.path() : folder.exeFolder());
    QCOMPARE(code, 0);
    QTEST(operatorAnswers.seen.value(0), "message");
    QCOMPARE(operatorAnswers.seen.size(), 1);
    QVERIFY(!mainWindowSeen);
}

void TestStartup::mainWindowTakesCaptionAndPlace()
{
    DataFolder folder;
    writeBytes(folder.path("elevra.ini"), "[Main]\nTop=40\nLeft=60\n");
    TConferenceForm form(folder.paths());
    form.show();
    QCOMPARE(form.windowTitle(), QString("Conference Stand Control"));
    QCOMPARE(form.pos(), QPoint(60, 40));
    auto* exit = form.findChild<QPushButton*>("ExitBtn");
    QVERIFY(exit);
    QCOMPARE(exit->text(), QString("Close"));
    QCOMPARE(form.programData().Presets[0].preset_id, QString("Chair"));
    QCOMPARE(form.programData().Messages[14], QString("Current Speaker"));
    form.move(70, 45);
    ModalAnswerer operatorAnswers;
    exit->click();
    QVERIFY(!form.isVisible());
    QVERIFY(readBytes(folder.path("elevra.ini")).startsWith("[Main]\nTop=45\nLeft=70\n"));
}

void TestStartup::closeWithNothingChangedAsksNothingAndRewritesConfiguration()
{
    DataFolder folder;
    writeBytes(folder.path("elevra.ini"), "; kept\n[Main]\nStands Displayed=3\n");
    const QByteArray database = readBytes(folder.path("DBase0.db"));
    ModalAnswerer operatorAnswers;
    {
        TConferenceForm form(folder.paths());
        form.show();
        QVERIFY(form.close());
    }
    QCOMPARE(operatorAnswers.seen, QStringList());
    const QByteArray ini = readBytes(folder.path("elevra.ini"));
    QVERIFY(ini.startsWith("; kept\n[Main]\nStands Displayed=3\nTop=100\n"));
    QVERIFY(ini.contains("Database Filename=" + folder.path("DBase0.db").toUtf8() + "\n"));
    QCOMPARE(readBytes(folder.path("DBase0.db")), database);
}

void TestStartup::closeSavesDatabaseToDefaultWhenItsFileIsGone()
{
    DataFolder folder;
    const QString gone = folder.path("Database/gone.db");
    writeBytes(folder.path("elevra.ini"), "[Database]\nDatabase Filename=" + gone.toUtf8() + "\n");
    QFile::rename(folder.path("DBase0.db"), gone);
    ModalAnswerer operatorAnswers;
    {
        TConferenceForm form(folder.paths());
        form.show();
        QCOMPARE(form.programData().Presets[0].preset_id, QString("Chair"));
        QFile::remove(gone);
        form.programData().Presets[2].preset_id = "Added Late";
        QVERIFY(form.close());
        QCOMPARE(form.programData().config.DatabaseFileName, folder.path("DBase0.db"));
    }
    QCOMPARE(operatorAnswers.seen, QStringList());
    QVERIFY(readBytes(folder.path("DBase0.db")).contains("[Preset2]\nP0=30\nP1=32\nP2=34\nP3=36\nP4=38\nP5=40\nP6=42\nP7=44\nID=Added Late\n"));
    QVERIFY(readBytes(folder.path("elevra.ini")).contains("Database Filename=" + folder.path("DBase0.db").toUtf8() + "\n"));
}

void TestStartup::closeAsksAboutChangedDatabaseThenRunOrder()
{
    DataFolder folder;
    writeBytes(folder.path("Database/evening.db"), "[Preset0]\nID=Replaced without a question\n");
    ModalAnswerer operatorAnswers;
    operatorAnswers.fileNames << folder.path("Database/evening.db") << folder.path("RunOrder/evening.run");
    {
        TConferenceForm form(folder.paths());
        form.show();
        ProgramData& data = form.programData();
        data.Presets[5].preset_id = "New Speaker";
        data.runOrder.RunOrderList = QStringList{"5", "0"};
        data.runOrder.RunOrderChanged = true;
        QVERIFY2(form.close(), qPrintable(operatorAnswers.seen.join('|')));
        QCOMPARE(data.config.DatabaseFileName, folder.path("Database/evening.db"));
    }
    QCOMPARE(operatorAnswers.seen.size(), 4);
    QCOMPARE(operatorAnswers.seen[0], QString("The speaker database has changed. Save it?"));
    // The proposed file's own folder wins over the database folder.
    QCOMPARE(operatorAnswers.seen[1], "dialog:" + folder.path("").chopped(1) + " proposing " + folder.path("DBase0.db"));
    QCOMPARE(operatorAnswers.seen[2], QString("The run order has changed. Save it?"));
    QVERIFY(operatorAnswers.seen[3].startsWith("dialog:" + folder.path("RunOrder")));
    QVERIFY(readBytes(folder.path("Database/evening.db")).contains("ID=New Speaker"));
    QCOMPARE(readBytes(folder.path("RunOrder/evening.run")), QByteArray("5\r\n0\r\n"));
    const QByteArray ini = readBytes(folder.path("elevra.ini"));
    QVERIFY(ini.contains("Run Order Filename=" + folder.path("RunOrder/evening.run").toUtf8() + "\r\n"));
    QVERIFY(ini.endsWith("[Run Order]\r\nR0=5\r\nR1=0\r\n"));
}

void TestStartup::closeAsksBeforeReplacingADifferentDefaultDatabase()
{
    // The named file went away (an unmounted share, say) while the default file holds another
    // database: the default is not overwritten without a word.
    DataFolder folder;
    const QString away = folder.path("Database/away.db");
    writeBytes(away, readBytes(folder.path("DBase0.db")).replace("ID=Chair", "ID=Host"));
    writeBytes(folder.path("elevra.ini"), "[Database]\nDatabase Filename=" + away.toUtf8() + "\n");
    const QByteArray defaultDatabase = readBytes(folder.path("DBase0.db"));
    ModalAnswerer operatorAnswers;
    operatorAnswers.buttons << QMessageBox::No;
    {
        TConferenceForm form(folder.paths());
        form.show();
        QFile::remove(away);
        QVERIFY(form.close());
    }
    QCOMPARE(operatorAnswers.seen, QStringList{"The speaker database has changed. Save it?"});
    QCOMPARE(readBytes(folder.path("DBase0.db")), defaultDatabase);
    QVERIFY(readBytes(folder.path("elevra.ini")).contains("Database Filename=" + away.toUtf8() + "\n"));
}

void TestStartup::closeAsksBeforeReplacingARunOrderFile()
{
    // The operator picks the template retrieved earlier by mistake, and says No to replacing it.
    DataFolder folder;
    const QString runOrderFile = folder.path("RunOrder/template.run");
    writeBytes(runOrderFile, "7\r\n");
    ModalAnswerer operatorAnswers;
    operatorAnswers.buttons << QMessageBox::Yes << QMessageBox::No;
    operatorAnswers.fileNames << runOrderFile;
    {
        TConferenceForm form(folder.paths());
        form.show();
        form.programData().runOrder.RunOrderList = QStringList{"5", "0"};
        form.programData().runOrder.RunOrderChanged = true;
        QVERIFY2(form.close(), qPrintable(operatorAnswers.seen.join('|')));
    }
    QCOMPARE(operatorAnswers.seen.size(), 4);
    QCOMPARE(operatorAnswers.seen[0], QString("The run order has changed. Save it?"));
    QCOMPARE(operatorAnswers.seen[2], QString("template.run already exists.\nDo you want to replace it?"));
    QVERIFY(operatorAnswers.seen[3].startsWith("dialog:"));  // back in the dialog, which is then cancelled
    QCOMPARE(readBytes(runOrderFile), QByteArray("7\r\n"));
    QVERIFY(readBytes(folder.path("elevra.ini")).endsWith("[Run Order]\r\nR0=5\r\nR1=0\r\n"));
}

void TestStartup::cancelledDatabaseSaveAtCloseKeepsTheEditsBeside()
{
    DataFolder folder;
    const QByteArray database = readBytes(folder.path("DBase0.db"));
    const QString unsaved = folder.path("DBase0.db.unsaved");
    ModalAnswerer operatorAnswers;  // Yes to the question, then the save dialog is cancelled
    QTest::ignoreMessage(QtWarningMsg, qPrintable("The changed speaker database was not saved; it is kept in " + unsaved));
    {
        TConferenceForm form(folder.paths());
        form.show();
        form.programData().Presets[5].preset_id = "New Speaker";
        QVERIFY2(form.close(), qPrintable(operatorAnswers.seen.join('|')));
    }
    QCOMPARE(operatorAnswers.seen.size(), 2);
    QCOMPARE(readBytes(folder.path("DBase0.db")), database);
    QVERIFY(readBytes(unsaved).contains("[Preset5]\nP0=0\nP1=0\nP2=0\nP3=0\nP4=0\nP5=0\nP6=0\nP7=0\nID=New Speaker"));
    QVERIFY(readBytes(folder.path("elevra.ini")).contains("Database Filename=" + folder.path("DBase0.db").toUtf8() + "\r\n"));
}

void TestStartup::secondSignalEndsAnUnattendedClose()
{
    DataFolder folder;
    // Hand-edited: 298 reads as 42, so the table differs from its file and the close asks.
    const QByteArray database = readBytes(folder.path("DBase0.db")).replace("P0=42", "P0=298");
    writeBytes(folder.path("DBase0.db"), database);
    const QString runOrderFile = folder.path("RunOrder/show.run");
    writeBytes(runOrderFile, "0\r\n");
    writeBytes(folder.path("elevra.ini"), "[Run Screen]\nRun Order Filename=" + runOrderFile.toUtf8() + "\n");

    // The operator's desk is empty: a log-out signals once, and again when nothing happens.
    QStringList questions;
    QTimer desk;
    connect(&desk, &QTimer::timeout, [&] {
        if (questions.isEmpty()) {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* form = qobject_cast<TConferenceForm*>(w); form && form->isVisible() && !QApplication::activeModalWidget()) {
                    form->programData().runOrder.RunOrderList = QStringList{"3", "1"};
                    form->programData().runOrder.RunOrderChanged = true;
                    questions << QString();
                    std::raise(SIGTERM);
                }
        } else if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && questions.size() == 1) {
            questions << box->text();
            std::raise(SIGTERM);
        }
    });
    desk.start(10);
    QCOMPARE(runProgram(*qobject_cast<ElevraApplication*>(qApp), folder.exeFolder()), 0);
    QCOMPARE(questions, (QStringList{QString(), "The speaker database has changed. Save it?"}));
    QCOMPARE(readBytes(folder.path("DBase0.db")), database);
    QVERIFY(readBytes(folder.path("DBase0.db.unsaved")).contains("[Preset0]\nP0=42\n"));
    QCOMPARE(readBytes(runOrderFile), QByteArray("0\r\n"));
    QCOMPARE(readBytes(runOrderFile + ".unsaved"), QByteArray("3\r\n1\r\n"));
    const QByteArray ini = readBytes(folder.path("elevra.ini"));
    QVERIFY(ini.contains("Database Filename=" + folder.path("DBase0.db").toUtf8() + "\n"));
    QVERIFY(ini.contains("Run Order Filename=" + runOrderFile.toUtf8() + "\n"));
    QVERIFY(ini.contains("[Run Order]\nR0=3\nR1=1\n"));
}

// Another operator of a shared data folder puts links at the names of the copies, pointing at
// files of ours.
void TestStartup::unattendedCloseFollowsNoOtherOperatorsLink()
{
    if (::geteuid() != 0)
        QSKIP("needs to give a link to another user");
    DataFolder folder;
    QTemporaryDir home;
    const QString profile = home.filePath(".profile");
    const QString runOrderFile = folder.path("RunOrder/show.run");
    writeBytes(profile, "original\n");
    for (const QString& shared : {folder.dataFolder(), folder.path("RunOrder")})
        QVERIFY(::chmod(QFile::encodeName(shared).constData(), 03777) == 0);
    for (const QString& link : {folder.path("DBase0.db.unsaved"), runOrderFile + ".unsaved"}) {
        QVERIFY(QFile::link(profile, link));
        QVERIFY(::lchown(QFile::encodeName(link).constData(), 4245, 4245) == 0);
    }

    TConferenceForm form(folder.paths());
    ProgramData& data = form.programData();
    data.Presets[0].preset[0] = 43;
    data.config.RunOrderFileName = runOrderFile;
    data.runOrder.RunOrderList = QStringList{"3", "1"};
    data.runOrder.RunOrderChanged = true;
    saveUnsavedWork(data);
    QCOMPARE(readBytes(profile), QByteArray("original\n"));
    // The run order's copy goes to the data folder instead, under a name nobody took there.
    QCOMPARE(readBytes(folder.path("show.run.unsaved")), QByteArray("3\r\n1\r\n"));
}

// A file in the shared folder that is far larger than any the program writes is not read: the
// messages stay empty and the database starts cleared, as for files that cannot be read.
void TestStartup::oversizedSharedFilesAreNotRead()
{
    DataFolder folder;
    const QByteArray padding = '\n' + QByteArray(SharedFileLimit, ';') + '\n';
    for (const char* name : {"elevra.msg", "DBase0.db"})
        writeBytes(folder.path(name), readBytes(folder.path(name)) + padding);
    TConferenceForm form(folder.paths());
    QCOMPARE(form.programData().Messages[14], QString());
    QCOMPARE(form.programData().Presets[0].preset_id, QString("No Name"));
}

void TestStartup::failedWriteAtCloseKeepsTheWindowOpen()
{
    DataFolder folder;
    const QString ini = folder.path("elevra.ini");
    TConferenceForm form(folder.paths());
    form.show();
    QVERIFY(::chmod(QFile::encodeName(ini).constData(), 0444) == 0);
    {
        ModalAnswerer operatorAnswers;
        QVERIFY(!form.close());
        QCOMPARE(operatorAnswers.seen, QStringList{"Unable to write to " + ini + "."});
        QVERIFY(form.isVisible());
    }
    QVERIFY(::chmod(QFile::encodeName(ini).constData(), 0644) == 0);
    ModalAnswerer operatorAnswers;
    QVERIFY(form.close());
    QCOMPARE(operatorAnswers.seen, QStringList());
    QVERIFY(readBytes(ini).contains("[Run Screen]"));
}

void TestStartup::failedDatabaseSaveAtCloseIsReported()
{
    DataFolder folder;
    const QByteArray iniBefore = readBytes(folder.path("elevra.ini"));
    TConferenceForm form(folder.paths());
    form.show();
    form.programData().Presets[0].preset_id = "Changed";
    ModalAnswerer operatorAnswers;
    operatorAnswers.fileNames << folder.path("no/such/folder/x.db");
    QVERIFY2(!form.close(), qPrintable(operatorAnswers.seen.join('|')));
    QCOMPARE(operatorAnswers.seen.size(), 3);
    QCOMPARE(operatorAnswers.seen[2], "Unable to write to " + folder.path("no/such/folder/x.db") + ".");
    QVERIFY(form.isVisible());
    QCOMPARE(readBytes(folder.path("elevra.ini")), iniBefore);  // the close stopped before the configuration
    form.programData().Presets[0].preset_id = "Chair";
    QVERIFY(form.close());
}

void TestStartup::errorBoxText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << "Unable to write to /x.ini" << "Unable to write to /x.ini.";
    QTest::newRow("full stop") << "Done." << "Done.";
    QTest::newRow("blank") << "Trailing " << "Trailing ";
    QTest::newRow("exclamation") << "Stop!" << "Stop!";
    QTest::newRow("comma is lower than full stop") << "a," << "a,";
    QTest::newRow("slash is higher") << "a/" << "a/.";
    QTest::newRow("empty") << "" << ".";
}

void TestStartup::errorBoxText()
{
    QFETCH(QString, message);
    QTEST(ElevraApplication::errorBoxText(message), "shown");
}

int main(int argc, char** argv)
{
    ElevraApplication app(argc, argv);
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
