#include "TestFiles.h"
#include "config/IniFile.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// Kills a child that rewrites a profile file in a loop and looks at what each kill left. The
// child writes its run order alternately as 3 entries "short" and as 40 entries 0 to 39.
class TestInterruptedWrite : public QObject {
    Q_OBJECT

    const QByteArray header = "[Main]\nTop=1\n[Run Order]\n";
    QByteArray longFile = header;
    const QByteArray shortFile = header + "R0=short\nR1=short\nR2=short\n";

    void killWriterRepeatedly(const QString& folder, const QStringList& userArgs, bool inPlace);

private slots:
    void initTestCase()
    {
        for (int k = 0; k < 40; ++k)
            longFile += QStringLiteral("R%1=%1\n").arg(k).toUtf8();
    }
    void replacedFileIsOldOrNewAndLeavesOneTemporaryAtMost();
    void inPlaceRewriteIsNeverEmptyOrShortened();
};

void TestInterruptedWrite::killWriterRepeatedly(const QString& folder, const QStringList& userArgs, bool inPlace)
{
    const QString path = QDir(folder).filePath("elevra.ini");
    QElapsedTimer clock;
    clock.start();
    int sawLong = 0;
    int sawOther = 0;
    for (int i = 0; i < 100 && clock.elapsed() < 20000; ++i) {
        writeBytes(path, longFile);
        QProcess writer;
        writer.start(FILE_WRITER, userArgs + QStringList{"profile-loop", path});
        QVERIFY2(writer.waitForReadyRead(5000), writer.readAllStandardError().constData());
        // The kill moment is what the test varies: a random point in the writer's loop.
        std::this_thread::sleep_for(std::chrono::microseconds(QRandomGenerator::global()->bounded(3000)));
        writer.kill();
        QVERIFY(writer.waitForFinished());
        QVERIFY2(writer.exitStatus() == QProcess::CrashExit, writer.readAllStandardError().constData());

        const QByteArray left = readBytes(path);
        const bool newWithOldTail = inPlace && left == shortFile + longFile.mid(shortFile.size());
        QVERIFY2(left == longFile || left == shortFile || newWithOldTail,
                 qPrintable(QStringLiteral("kill %1 left %2 bytes:\n%3").arg(i).arg(left.size()).arg(QString::fromUtf8(left))));
        (left == longFile ? sawLong : sawOther)++;
        QStringList temporaries = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
        temporaries.removeAll("elevra.ini");
        QVERIFY2(temporaries.size() <= 1, qPrintable(temporaries.join(", ")));
    }
    // Both contents were on disk at some kill, so the kills did land inside the loop.
    QVERIFY(sawLong > 0 && sawOther > 0);
}

void TestInterruptedWrite::replacedFileIsOldOrNewAndLeavesOneTemporaryAtMost()
{
    QTemporaryDir dir;
    killWriterRepeatedly(dir.path(), {}, false);

    // The next whole write takes a leftover with it.
    IniFile ini(dir.filePath("elevra.ini"));
    ini.WriteInteger("Main", "Top", 2);
    ini.updateFile();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"elevra.ini"});
}

void TestInterruptedWrite::inPlaceRewriteIsNeverEmptyOrShortened()
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    writeBytes(dir.filePath("elevra.ini"), longFile);
    const auto restore = qScopeGuard([&] { ::chmod(folder.constData(), 0700); });
    // A folder the writer may not write. Permissions do not stop root: then the writer runs as
    // another user, who owns the file but not the folder.
    QStringList userArgs;
    if (::geteuid() == 0) {
        QVERIFY(::chmod(folder.constData(), 0755) == 0);
        QVERIFY(::chown(QFile::encodeName(dir.filePath("elevra.ini")).constData(), 65534, 65534) == 0);
        userArgs = QStringList{"--user", "65534"};
    } else {
        QVERIFY(::chmod(folder.constData(), 0555) == 0);
    }
    killWriterRepeatedly(dir.path(), userArgs, true);
}

QTEST_GUILESS_MAIN(TestInterruptedWrite)
#include "tst_interruptedwrite.moc"
