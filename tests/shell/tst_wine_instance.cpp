#include "TestFiles.h"
#include "Version.h"
#include "WinePrefix.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

// elevra.exe of the Windows build under Wine, on the system's own windows in an X server of the
// test's own: one instance at a time, and the session's end told to its windows as a log-off
// tells them (through session_probe.exe). COM1 is a pseudo-terminal with nobody at the far end.
class TestWineInstance : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    WinePrefix prefix{QStringLiteral(WINE_TEST_PREFIX)};
    QProcess xserver;
    QString display;
    int com1Master = -1;

    QString path(const QString& name) const { return prefix.dataFolder() + name; }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = prefix.environment();
        env.insert("QT_QPA_PLATFORM", "windows");
        env.insert("DISPLAY", display);
        return env;
    }

    void layOut() const
    {
        QDir(prefix.dataFolder()).removeRecursively();
        QVERIFY(QDir().mkpath(prefix.dataFolder() + "Database"));
        QVERIFY(QDir().mkpath(prefix.dataFolder() + "RunOrder"));
        for (const char* name : {"elevra.msg", "DBase0.db"})
            QVERIFY(QFile::copy(QStringLiteral(ELEVRA_SOURCE_DIR "/data/") + name, path(name)));
        QFile::setPermissions(path("DBase0.db"), QFile::ReadOwner | QFile::WriteOwner);
        writeBytes(path("elevra.ini"), "[Main]\nTop=33\nCom Port Number=1\n");
    }

    void start(QProcess& program) const
    {
        program.setProcessEnvironment(environment());
        program.start(WinePrefix::wine(), {WinePrefix::windowsProgram("elevra.exe")});
        QVERIFY(program.waitForStarted(10000));
    }

    // session_probe.exe's answer, or "exit N" when it did not answer.
    QString probe(const QStringList& arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(WinePrefix::wine(), QStringList{WinePrefix::windowsProgram("session_probe.exe")} + arguments);
        if (!process.waitForFinished(30000) || process.exitCode() != 0)
            return QStringLiteral("exit %1").arg(process.exitCode());
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed().remove('\r');
    }

    bool mainWindowShown() const { return probe({"windows", "Conference Stand Control"}) == "1"; }

    static void waitForEnd(QProcess& program)
    {
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }

private slots:
    void initTestCase();
    void secondInstanceEndsAndTheSessionEndClosesTheFirst();
    void sessionEndWhileTheCloseAsksKeepsTheWorkBeforeItAnswers();
    void executableCarriesVersionAndIcon();
    void cleanupTestCase();
};

void TestWineInstance::initTestCase()
{
    if (WinePrefix::wine().isEmpty() || QStandardPaths::findExecutable("Xvfb").isEmpty())
        QSKIP("Wine or Xvfb is not installed");
    for (const char* program : {"elevra.exe", "session_probe.exe"})
        if (!QFile::exists(WinePrefix::windowsProgram(program)))
            QSKIP(qPrintable(QStringLiteral("no %1 in " WINDOWS_BINARY_DIR " (scripts/windows/build.sh)").arg(program)));

    com1Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(com1Master >= 0 && ::grantpt(com1Master) == 0 && ::unlockpt(com1Master) == 0);
    const QString com1 = scratch.filePath("COM1");
    QVERIFY(pointLink(com1, QString::fromLocal8Bit(::ptsname(com1Master))));
    QVERIFY(prefix.prepare());
    QVERIFY(prefix.mapCom1(com1));

    // The X server says its display number once it listens.
    xserver.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
    QVERIFY(xserver.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(xserver.canReadLine(), 10000);
    display = ":" + QString::fromLatin1(xserver.readLine()).trimmed();
}

void TestWineInstance::secondInstanceEndsAndTheSessionEndClosesTheFirst()
{
    layOut();
    QProcess first;
    start(first);
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowShown(), 90000);

    QProcess second;
    QElapsedTimer clock;
    clock.start();
    start(second);
    waitForEnd(second);
    qInfo("second instance ended after %lld ms", clock.elapsed());
    QCOMPARE(first.state(), QProcess::Running);

    // Nothing is unsaved: the first request closes the window, as its Close button does.
    QCOMPARE(probe({"query"}), QStringLiteral("allowed"));
    waitForEnd(first);
    const QByteArray ini = readBytes(path("elevra.ini"));
    QVERIFY2(ini.startsWith("[Main]") && ini.contains("Top=33") && ini.contains("[Run Screen]"), ini.constData());
    QVERIFY(!QFile::exists(path("DBase0.db.unsaved")));
}

void TestWineInstance::sessionEndWhileTheCloseAsksKeepsTheWorkBeforeItAnswers()
{
    layOut();
    QProcess program;
    start(program);
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowShown(), 90000);
    // The file changes under the running program, so its speakers differ from the file's and
    // the close asks whether to save them, in a box under the application's title.
    const QByteArray elsewhere = "[Preset0]\nP0=7\nID=Changed Elsewhere\n";
    writeBytes(path("DBase0.db"), elsewhere);
    const int boxes = probe({"windows", "Vantora"}).toInt();

    QCOMPARE(probe({"query"}), QStringLiteral("allowed"));
    QTRY_VERIFY_WITH_TIMEOUT(probe({"windows", "Vantora"}).toInt() > boxes, 30000);
    // Nobody answers; the session ends, and the system may end the process as soon as the
    // program has answered: by then the work is kept.
    QCOMPARE(probe({"end"}), QStringLiteral("ended"));
    const QByteArray unsaved = readBytes(path("DBase0.db.unsaved"));
    QVERIFY2(unsaved.contains("[Preset0]") && !unsaved.contains("Changed Elsewhere"), unsaved.constData());
    QCOMPARE(readBytes(path("DBase0.db")), elsewhere);
    const QByteArray ini = readBytes(path("elevra.ini"));
    QVERIFY2(ini.contains("Top=33") && ini.contains("[Run Screen]"), ini.constData());
    waitForEnd(program);
}

void TestWineInstance::executableCarriesVersionAndIcon()
{
    const QStringList lines = probe({"version", "Z:" + WinePrefix::windowsProgram("elevra.exe")}).split('\n');
    QCOMPARE(lines, (QStringList{"FileVersion=" ELEVRA_FILE_VERSION, "InternalName=" ELEVRA_RELEASE_DATE,
                                 QStringLiteral("LegalCopyright=") + QString::fromUtf8(ELEVRA_COPYRIGHT),
                                 "ProductName=Vantora", "icon=yes"}));
}

void TestWineInstance::cleanupTestCase()
{
    prefix.stop();
    xserver.terminate();
    xserver.waitForFinished(5000);
    if (com1Master >= 0)
        ::close(com1Master);
}

QTEST_GUILESS_MAIN(TestWineInstance)
#include "tst_wine_instance.moc"
