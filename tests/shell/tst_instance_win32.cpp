#include "TestFiles.h"
#include "Version.h"
#include "shell/About.h"
#include "shell/Paths.h"
#include "shell/VersionInfo.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QtTest>

#include <windows.h>

#include <vector>

// The real elevra.exe as separate processes under the system's own means: its data folder, one
// instance at a time, the close at the end of the session, and the version resource it carries.
// The data folder is the machine's own, so the test works only in one made for it (a marker
// file), and never touches the data of a real installation.
class TestInstanceWin32 : public QObject {
    Q_OBJECT

    QString dataFolder;

    QString path(const QString& name) const { return dataFolder + name; }

    // The files an install lays out; COM1 is whatever the machine maps it to.
    void layOut() const
    {
        QDir(dataFolder).removeRecursively();
        QVERIFY(QDir().mkpath(dataFolder + "Database"));
        QVERIFY(QDir().mkpath(dataFolder + "RunOrder"));
        writeBytes(path(".elevra-test"), "made by tst_instance_win32\n");
        for (const char* name : {"elevra.ini", "elevra.msg", "DBase0.db"})
            QVERIFY(QFile::copy(QStringLiteral(ELEVRA_SOURCE_DIR "/data/") + name, path(name)));
        for (const char* name : {"elevra.ini", "elevra.msg", "DBase0.db"})
            QFile::setPermissions(path(name), QFile::ReadOwner | QFile::WriteOwner);
        writeBytes(path("elevra.ini"), "[Main]\nTop=33\n");
    }

    static void start(QProcess& process)
    {
        // The system's own windows, which the session's end is told to.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "windows");
        process.setProcessEnvironment(env);
        process.start(ELEVRA_EXECUTABLE, {});
        QVERIFY(process.waitForStarted(5000));
    }

    // The process's visible top-level windows with the given title, as the system lists them.
    static std::vector<HWND> windows(const QProcess& process, const QString& title = QString())
    {
        struct Search {
            DWORD pid;
            QString title;
            std::vector<HWND> found;
        } search{DWORD(process.processId()), title, {}};
        ::EnumWindows(
            [](HWND window, LPARAM context) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(context);
                DWORD pid = 0;
                ::GetWindowThreadProcessId(window, &pid);
                wchar_t text[256] = {};
                ::GetWindowTextW(window, text, 255);
                if (pid == s.pid && (s.title.isEmpty() || (::IsWindowVisible(window) && QString::fromWCharArray(text) == s.title)))
                    s.found.push_back(window);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    static bool mainWindowShown(const QProcess& process)
    {
        return !windows(process, "Conference Stand Control").empty();
    }

    // What the system does at a log-off: every top-level window is asked, then told.
    static bool queryEndSession(const QProcess& process)
    {
        bool allowed = true;
        for (HWND window : windows(process))
            allowed = ::SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF) && allowed;
        return allowed;
    }

    static void endSession(const QProcess& process)
    {
        for (HWND window : windows(process))
            ::SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    }

    static void endAndWait(QProcess& process)
    {
        QVERIFY(queryEndSession(process));
        QVERIFY(process.waitForFinished(15000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }

    static QString versionValue(const std::vector<char>& data, const char* key)
    {
        const QString query = QStringLiteral("\\StringFileInfo\\040904B0\\") + QLatin1String(key);
        wchar_t* text = nullptr;
        UINT length = 0;
        if (!::VerQueryValueW(data.data(), reinterpret_cast<const wchar_t*>(query.utf16()), reinterpret_cast<void**>(&text), &length))
            return {};
        return QString::fromWCharArray(text);
    }

private slots:
    void initTestCase();
    void dataFolderIsTheCommonApplicationDataFolder();
    void secondInstanceEndsAtOnce();
    void sessionEndRunsTheClose();
    void sessionEndWhileTheCloseAsksKeepsTheWorkBeforeItAnswers();
    void executableCarriesVersionAndIcon();
    void aboutBoxShowsTheVersionResource();
    void cleanupTestCase();
};

void TestInstanceWin32::initTestCase()
{
    // Under Wine the window system is an X server; without one no program has a window.
    const HWND probe = ::CreateWindowExW(0, L"STATIC", L"probe", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (!probe)
        QSKIP("no window system to create the program's windows (under Wine: run with xvfb-run)");
    ::DestroyWindow(probe);
    dataFolder = Paths::forFolders(QString(), commonAppDataFolder()).DataFolder;
    if (QDir(dataFolder).exists() && !QFile::exists(path(".elevra-test")))
        QSKIP(qPrintable(dataFolder + " holds an installation's data; this test runs only where it does not"));
}

void TestInstanceWin32::dataFolderIsTheCommonApplicationDataFolder()
{
    // The system's own name for the folder, independent of the shell's folder query.
    const QString programData = QDir::fromNativeSeparators(qEnvironmentVariable("ProgramData"));
    QVERIFY(!programData.isEmpty());
    QCOMPARE(dataFolder, programData + "/Quillon/Vantora/");
    QVERIFY2(!dataFolder.contains('\\'), qPrintable(dataFolder));
}

void TestInstanceWin32::secondInstanceEndsAtOnce()
{
    layOut();
    QProcess first;
    start(first);
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowShown(first), 20000);

    QProcess second;
    QElapsedTimer clock;
    clock.start();
    start(second);
    QVERIFY(second.waitForFinished(10000));
    qInfo("second instance ended after %lld ms", clock.elapsed());
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);
    endAndWait(first);
}

void TestInstanceWin32::sessionEndRunsTheClose()
{
    layOut();
    QProcess program;
    start(program);
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowShown(program), 20000);
    endAndWait(program);
    const QByteArray ini = readBytes(path("elevra.ini"));
    QVERIFY2(ini.startsWith("[Main]") && ini.contains("Top=33") && ini.contains("Left=100") && ini.contains("[Run Screen]"),
             ini.constData());
    QVERIFY(!QFile::exists(path("DBase0.db.unsaved")));
}

void TestInstanceWin32::sessionEndWhileTheCloseAsksKeepsTheWorkBeforeItAnswers()
{
    layOut();
    QProcess program;
    start(program);
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowShown(program), 20000);
    // The file changes under the running program, so its speakers differ from the file's and
    // the close asks whether to save them.
    const QByteArray elsewhere = "[Preset0]\nP0=7\nID=Changed Elsewhere\n";
    writeBytes(path("DBase0.db"), elsewhere);

    // The question is a box under the application's title, beside any notice of the start.
    const std::size_t boxes = windows(program, "Vantora").size();
    QVERIFY(queryEndSession(program));
    QTRY_VERIFY_WITH_TIMEOUT(windows(program, "Vantora").size() > boxes, 15000);
    // Nobody answers the question; the session ends, and the system may end the process as
    // soon as the program has answered.
    endSession(program);
    QVERIFY(readBytes(path("DBase0.db.unsaved")).contains("[Preset0]"));
    QVERIFY(!readBytes(path("DBase0.db.unsaved")).contains("Changed Elsewhere"));
    QCOMPARE(readBytes(path("DBase0.db")), elsewhere);
    const QByteArray ini = readBytes(path("elevra.ini"));
    QVERIFY2(ini.contains("Top=33") && ini.contains("[Run Screen]"), ini.constData());

    QVERIFY(program.waitForFinished(15000));
    QCOMPARE(program.exitCode(), 0);
}

void TestInstanceWin32::executableCarriesVersionAndIcon()
{
    const auto* exe = reinterpret_cast<const wchar_t*>(QStringLiteral(ELEVRA_EXECUTABLE).utf16());
    DWORD ignored = 0;
    std::vector<char> data(::GetFileVersionInfoSizeW(exe, &ignored));
    QVERIFY(!data.empty());
    QVERIFY(::GetFileVersionInfoW(exe, 0, DWORD(data.size()), data.data()));
    QCOMPARE(versionValue(data, "FileVersion"), QStringLiteral(ELEVRA_FILE_VERSION));
    QCOMPARE(versionValue(data, "InternalName"), QStringLiteral(ELEVRA_RELEASE_DATE));
    QCOMPARE(versionValue(data, "LegalCopyright"), QString::fromUtf8(ELEVRA_COPYRIGHT));
    QCOMPARE(versionValue(data, "ProductName"), QStringLiteral("Vantora"));

    // The icon that the window system gives the program's windows.
    const HMODULE module = ::LoadLibraryExW(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    QVERIFY(module);
    QVERIFY(::FindResourceW(module, L"IDI_ICON1", MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */));
    ::FreeLibrary(module);
}

// This test program carries the same resource as the executable.
void TestInstanceWin32::aboutBoxShowsTheVersionResource()
{
    const VersionInfo version = VersionInfo::ofProgram();
    QCOMPARE(version.FileVersion, QStringLiteral(ELEVRA_FILE_VERSION));
    QCOMPARE(version.InternalName, QStringLiteral(ELEVRA_RELEASE_DATE));
    QCOMPARE(version.LegalCopyright, QString::fromUtf8(ELEVRA_COPYRIGHT));
    TAboutBox box(version, nullptr);
    QCOMPARE(box.findChild<QLabel*>("SoftwareVersionLabel")->text(), "Software Version: " + version.FileVersion);
    QCOMPARE(box.findChild<QLabel*>("DateLabel")->text(), "Date: " + version.InternalName);
    QCOMPARE(box.findChild<QLabel*>("CopyrightLabel")->text(), version.LegalCopyright);
}

void TestInstanceWin32::cleanupTestCase()
{
    if (QFile::exists(path(".elevra-test")))
        QDir(dataFolder).removeRecursively();
}

QTEST_MAIN(TestInstanceWin32)
#include "tst_instance_win32.moc"
