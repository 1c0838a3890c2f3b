// The installer under Wine as a venue's technician uses it, in a fresh prefix: a planted data
// folder refused, a silent install,
// the installed program started from its Start menu entry against the simulator as COM1, an
// upgrade over it that keeps what the operators saved, a silent uninstall that keeps the data
// folder, and one that removes it when asked. The steps build on each other and run in order.
#include "ProgramFeedback.h"
#include "WinePrefix.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

constexpr std::uint16_t ListenPort = 39140;
constexpr std::uint16_t FeedbackPort = 39141;
const QString UninstallKey = QStringLiteral(R"(HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Elevra)");

}  // namespace

class TestWineInstaller : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    std::unique_ptr<WinePrefix> prefix;
    QString com1;
    std::map<QString, QByteArray> saved;  // what the operators saved, by its place in the data folder

    QString programFolder() const { return prefix->folder() + "/drive_c/Program Files/Elevra/"; }
    QString startMenuEntry() const
    {
        return prefix->folder() + "/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Elevra.lnk";
    }

    // Runs the installer silently; its time in milliseconds, or -1 when it failed.
    qint64 install() const
    {
        QElapsedTimer timer;
        timer.start();
        return prefix->run(WinePrefix::wine(), {QStringLiteral(WINDOWS_SETUP), "/S"}) ? timer.elapsed() : -1;
    }

    // The uninstall entry's values as `reg query` lists them; empty when there is no entry.
    QString uninstallEntry() const
    {
        QProcess reg;
        reg.setProcessEnvironment(prefix->environment());
        reg.start(WinePrefix::wine(), {"reg", "query", UninstallKey});
        if (!reg.waitForFinished(60000) || reg.exitStatus() != QProcess::NormalExit)
            return QStringLiteral("reg did not end");
        const QString out = QString::fromLocal8Bit(reg.readAllStandardOutput());
        return reg.exitCode() == 0 ? out : QString();
    }

    void verifySaved() const
    {
        for (const auto& [name, bytes] : saved)
            QVERIFY2(readBytes(prefix->dataFolder() + name) == bytes, qPrintable(name));
    }

private slots:
    void initTestCase()
    {
        if (WinePrefix::wine().isEmpty())
            QSKIP("Wine is not installed");
        if (!QFile::exists(QStringLiteral(WINDOWS_SETUP)))
            QSKIP("no installer: scripts/windows/package.sh makes " WINDOWS_SETUP);
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("the installed program needs a display (xvfb-run)");
        QVERIFY(scratch.isValid());
        prefix = std::make_unique<WinePrefix>(scratch.filePath("prefix"), false);
        com1 = scratch.filePath("COM1");
        QVERIFY(pointLink(com1, "/dev/null"));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(prefix->prepare());
        qInfo("fresh Wine prefix: %lld ms", timer.elapsed());
        QVERIFY(prefix->mapCom1(com1));
    }

    void cleanupTestCase()
    {
        if (prefix)
            prefix->stop();
    }

    // An operator may make folders in the common application-data folder; the installer would
    // hand the operators' rights to what its maker controls, so it stops before touching anything.
    void aDataFolderThatAnotherUserMadeIsRefused()
    {
        if (geteuid() != 0)
            QSKIP("making a folder of another user takes root");
        const QString planted = prefix->folder() + "/drive_c/ProgramData/Quillon";
        QVERIFY(QDir().mkpath(planted));
        QCOMPARE(chown(QFile::encodeName(planted).constData(), 4321, 4321), 0);
        QCOMPARE(install(), -1);
        QVERIFY(QDir(planted).isEmpty());
        QVERIFY(!QFileInfo::exists(programFolder()));
        QVERIFY(QDir(planted).removeRecursively());
    }

    void aSilentInstallLaysOutTheProgramAndTheDataFolder()
    {
        const qint64 ms = install();
        QVERIFY(ms >= 0);
        qInfo("silent install: %lld ms, installer %lld bytes", ms, QFileInfo(QStringLiteral(WINDOWS_SETUP)).size());

        for (const char* name : {"elevra.exe", "prompter.exe", "Elevra.chm", "uninstall.exe", "Qt6Core.dll",
                                 "Qt6PrintSupport.dll", "libstdc++-6.dll", "liblo.dll", "platforms/qwindows.dll",
                                 "styles/qwindowsvistastyle.dll"})
            QVERIFY2(QFile::exists(programFolder() + name), name);
        QVERIFY(!QFile::exists(programFolder() + "Qt6Test.dll"));
        QVERIFY(QFile::exists(startMenuEntry()));
        for (const char* name : {"elevra.ini", "elevra.msg", "DBase0.db"})
            QCOMPARE(readBytes(prefix->dataFolder() + name), readBytes(QStringLiteral(ELEVRA_SOURCE_DIR "/data/") + name));
        QVERIFY(QFileInfo(prefix->dataFolder() + "Database").isDir());
        QVERIFY(QFileInfo(prefix->dataFolder() + "RunOrder").isDir());

        const QString entry = uninstallEntry();
        for (const char* value : {"DisplayName    REG_SZ    Elevra", "DisplayVersion    REG_SZ    " ELEVRA_VERSION,
                                  "Publisher", "EstimatedSize", R"(QuietUninstallString    REG_SZ    "C:\Program Files\Elevra\uninstall.exe" /S)"})
            QVERIFY2(entry.contains(value), qPrintable(entry));
    }

    // The operators' work: a configuration for the stands on COM1, the default database saved
    // with a speaker renamed, a database and a run order of their own.
    void theInstalledProgramDrivesTheStandsFromItsStartMenuEntryAndHoldsAnInstallOff()
    {
        QByteArray database = readBytes(prefix->dataFolder() + "DBase0.db");
        QVERIFY(database.contains("ID=Keynote Speaker"));
        database.replace("ID=Keynote Speaker", "ID=Opening Speaker");
        saved = {{"elevra.ini", showControlSettings(ListenPort, FeedbackPort)},
                 {"DBase0.db", database},
                 {"Database/Gala.db", database + "[Preset2]\r\nID=Guest\r\n"},
                 {"RunOrder/Gala.run", "R0=0\r\nR1=2\r\n"}};
        for (const auto& [name, bytes] : saved)
            writeBytes(prefix->dataFolder() + name, bytes);

        Feedback feedback;
        QVERIFY(feedback.socket.Bind("127.0.0.1", FeedbackPort).empty());
        StandsimRun sim;
        QVERIFY(sim.start({"--stands", "8", "--pace-baud", "9600", "--speed", "0"}, scratch.filePath("sim.log")));
        QVERIFY(pointLink(com1, sim.line));
        // The program ends with the prefix, before its close could write the configuration.
        const struct StopAtEnd {
            const WinePrefix& prefix;
            ~StopAtEnd() { prefix.stop(); }
        } stopAtEnd{*prefix};
        QVERIFY(prefix->run(WinePrefix::wine(), {"start", "/unix", startMenuEntry()}));
        QVERIFY(feedback.allAre(1, 60000));

        UdpSocket sender;
        QVERIFY(sender.Bind("127.0.0.1", 0).empty());
        QVERIFY(sender.Send({"127.0.0.1", ListenPort}, encodeOscMessage("/elevra/speaker/take", {QString("Opening Speaker")})));
        QVERIFY(QTest::qWaitFor([&] { return takeFramesIn(sim) == 8; }, 10000));
        // Not over the running program, and refused before anything is touched (a missing
        // default stays missing): the install would stop halfway through the program's files.
        QVERIFY(QFile::remove(prefix->dataFolder() + "elevra.msg"));
        QCOMPARE(install(), -1);
        QVERIFY(!QFile::exists(prefix->dataFolder() + "elevra.msg"));
    }

    void anUpgradeKeepsWhatTheOperatorsSavedAndRestoresAMissingDefault()
    {
        QVERIFY(QFile::remove(programFolder() + "prompter.exe"));
        QVERIFY(install() >= 0);
        verifySaved();
        QCOMPARE(readBytes(prefix->dataFolder() + "elevra.msg"), readBytes(QStringLiteral(ELEVRA_SOURCE_DIR "/data/elevra.msg")));
        QVERIFY(QFile::exists(programFolder() + "prompter.exe"));
    }

    void aSilentUninstallRemovesTheProgramAndKeepsTheData()
    {
        QElapsedTimer timer;
        timer.start();
        // The uninstaller runs on from a copy of itself; the prefix's end is the end of it.
        QVERIFY(prefix->run(WinePrefix::wine(), {R"(C:\Program Files\Elevra\uninstall.exe)", "/S"}));
        QVERIFY(prefix->run("wineserver", {"-w"}));
        qInfo("silent uninstall: %lld ms", timer.elapsed());
        QVERIFY(!QFileInfo::exists(programFolder()));
        QVERIFY(!QFileInfo::exists(startMenuEntry()));
        QCOMPARE(uninstallEntry(), QString());
        verifySaved();
        QVERIFY(QFile::exists(prefix->dataFolder() + "elevra.msg"));
    }

    void theUninstallerRemovesTheDataFolderWhenAsked()
    {
        QVERIFY(install() >= 0);
        QVERIFY(prefix->run(WinePrefix::wine(), {R"(C:\Program Files\Elevra\uninstall.exe)", "/S", "/REMOVEDATA"}));
        QVERIFY(prefix->run("wineserver", {"-w"}));
        QVERIFY(!QFileInfo::exists(programFolder()));
        QVERIFY(!QFileInfo::exists(prefix->folder() + "/drive_c/ProgramData/Quillon"));
    }
};

QTEST_GUILESS_MAIN(TestWineInstaller)
#include "tst_wine_installer.moc"
