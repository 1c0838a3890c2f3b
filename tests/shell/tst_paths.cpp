#include "shell/Paths.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// Where the program looks for its data folder, with $XDG_DATA_DIRS as desktop sessions set it.
class TestPaths : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QString folder(const QString& name) const { return root.filePath(name); }

private slots:
    void initTestCase()
    {
        // "installed" holds the data folder through a link, as the package ships it; "session"
        // and "local" are folders of the desktop without one, "plain" holds a file of its name.
        QVERIFY(QDir().mkpath(folder("shared/elevra")));
        QVERIFY(QDir().mkpath(folder("installed/Quillon")));
        QVERIFY(QFile::link(folder("shared/elevra"), folder("installed/Quillon/Vantora")));
        QVERIFY(QDir().mkpath(folder("session")));
        QVERIFY(QDir().mkpath(folder("local")));
        QVERIFY(QDir().mkpath(folder("plain/Quillon")));
        QFile file(folder("plain/Quillon/Vantora"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    void firstFolderHoldingTheDataFolderWins_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("found");
        QTest::newRow("behind session folders") << QStringList{"session", "local", "installed"} << "installed";
        QTest::newRow("first of two") << QStringList{"installed/", "plain"} << "installed";
        QTest::newRow("a file of its name does not count") << QStringList{"plain", "installed"} << "installed";
        QTest::newRow("none holds it: the first") << QStringList{"session", "plain"} << "session";
        QTest::newRow("relative and empty entries skipped") << QStringList{"", "relative", "", "session"} << "session";
    }

    void firstFolderHoldingTheDataFolderWins()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, found);
        for (QString& entry : entries)
            if (!entry.isEmpty() && entry != "relative")
                entry = folder(entry);
        const Paths paths = Paths::forFolders("/opt/elevra", commonAppDataFolder(entries.join(':')));
        QCOMPARE(paths.DataFolder, folder(found) + "/Quillon/Vantora/");
        QCOMPARE(paths.IniFileName, folder(found) + "/Quillon/Vantora/elevra.ini");
    }

    void noFolderAtAllMeansTheSystemDefault()
    {
        const QString system = commonAppDataFolder(QString());
        QVERIFY2(system == "/usr/local/share" || system == "/usr/share", qPrintable(system));
        QCOMPARE(commonAppDataFolder("relative:other/share"), system);
    }
};

QTEST_GUILESS_MAIN(TestPaths)
#include "tst_paths.moc"
