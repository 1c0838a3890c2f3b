#include "Version.h"
#include "shell/About.h"
#include "shell/Paths.h"
#include "shell/VersionInfo.h"

#include <QDir>
#include <QLabel>
#include <QtTest>

// The system's means behind the data folder and the about box. This program carries the same
// version resource as elevra.exe, so what it reads back is what the executable shows.
class TestVersionWin32 : public QObject {
    Q_OBJECT
private slots:
    void dataFolderIsUnderTheCommonApplicationDataFolder();
    void aboutBoxShowsTheVersionResource();
};

void TestVersionWin32::dataFolderIsUnderTheCommonApplicationDataFolder()
{
    // The system's own name for the folder, apart from the shell's folder query.
    const QString programData = QDir::fromNativeSeparators(qEnvironmentVariable("ProgramData"));
    QVERIFY(!programData.isEmpty());
    const Paths paths = Paths::forFolders(QCoreApplication::applicationDirPath(), commonAppDataFolder());
    QCOMPARE(paths.DataFolder, programData + "/Quillon/Vantora/");
    QCOMPARE(paths.IniFileName, programData + "/Quillon/Vantora/elevra.ini");
    QCOMPARE(paths.HelpFileName, QCoreApplication::applicationDirPath() + "/Elevra.chm");
}

void TestVersionWin32::aboutBoxShowsTheVersionResource()
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

QTEST_MAIN(TestVersionWin32)
#include "tst_version_win32.moc"
