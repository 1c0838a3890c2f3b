#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <filesystem>

// A Wine prefix of the tests' own, with COM1 mapped through the registry to a symbolic link that
// the test points at a pseudo-terminal; re-pointing the link is a replug, no restart of Wine
// needed. WINDOWS_BINARY_DIR holds the Windows programs, WINDOWS_DLL_PATH the folders of the
// libraries they load, | between them. An installed program finds its own libraries and runs on
// the display: `buildPrograms` false leaves out the library folders and the offscreen platform.
class WinePrefix {
public:
    explicit WinePrefix(QString folder, bool buildPrograms = true) : folder_(std::move(folder)), buildPrograms_(buildPrograms) {}

    static QString wine() { return QStandardPaths::findExecutable(QStringLiteral("wine")); }
    static QString windowsProgram(const QString& name) { return QStringLiteral(WINDOWS_BINARY_DIR "/") + name; }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("WINEPREFIX", folder_);
        env.insert("WINEDEBUG", "-all");
        env.insert("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d");
        env.remove("QT_QPA_PLATFORM");
        if (!buildPrograms_)
            return env;
        QStringList path;
        for (const QString& folder : QString(WINDOWS_DLL_PATH).split('|', Qt::SkipEmptyParts))
            path << "Z:" + QDir::toNativeSeparators(folder);
        env.insert("WINEPATH", path.join(';'));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        return env;
    }

    // Runs a Wine tool (wineboot, wineserver, or `wine reg ...`) to its end.
    bool run(const QString& program, const QStringList& arguments, int ms = 120000) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(program, arguments);
        return process.waitForFinished(ms) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    // Made once, then kept: a new prefix takes Wine half a minute.
    bool prepare() const
    {
        if (!QFile::exists(folder_ + "/system.reg") && !run("wineboot", {"--init"}))
            return false;
        return run("wineserver", {"-w"});
    }

    // COM1 is `link`; Wine reads the mapping when its server starts.
    bool mapCom1(const QString& link) const
    {
        return run(wine(), {"reg", "add", R"(HKLM\Software\Wine\Ports)", "/v", "COM1", "/d", link, "/f"})
               && run("wineserver", {"-k"}) && run("wineserver", {"-w"});
    }

    void stop() const { run("wineserver", {"-k"}); }

    // The common application-data folder's Quillon\Vantora, where the program looks for its files.
    QString dataFolder() const { return folder_ + "/drive_c/ProgramData/Quillon/Vantora/"; }

    const QString& folder() const { return folder_; }

private:
    QString folder_;
    bool buildPrograms_;
};

// Points `link` at `target` in one step, so that an open in between finds the old line or the
// new one and never no line at all.
inline bool pointLink(const QString& link, const QString& target)
{
    std::error_code ec;
    const std::filesystem::path fresh = link.toStdString() + ".new";
    std::filesystem::remove(fresh, ec);
    std::filesystem::create_symlink(target.toStdString(), fresh, ec);
    if (!ec)
        std::filesystem::rename(fresh, link.toStdString(), ec);
    return !ec;
}
