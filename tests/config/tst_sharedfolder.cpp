#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

// A data folder that the operators of one group share, as the package lays it out: set-group-id
// and group-writable. Each operator is a writer process of its own user.
class TestSharedFolder : public QObject {
    Q_OBJECT

    static constexpr gid_t Operators = 4242;
    static constexpr uid_t First = 4243, Second = 4244, Outsider = 4245;

    QTemporaryDir dir;
    QString folder;

    static int write(const QString& user, const QString& path, const QStringList& entries)
    {
        QProcess writer;
        writer.start(FILE_WRITER, QStringList{"--user", user, "runorder", path} + entries);
        if (!writer.waitForFinished(10000))
            return -1;
        return writer.exitCode();
    }

    static struct stat status(const QString& path)
    {
        struct stat s {};
        ::stat(QFile::encodeName(path).constData(), &s);
        return s;
    }

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("needs to write as several users");
        folder = dir.filePath("RunOrder");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        QVERIFY(::chown(QFile::encodeName(folder).constData(), 0, Operators) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 02775) == 0);
    }

    void secondOperatorSavesWhatTheFirstSaved()
    {
        const QString show = folder + "/show.run";
        const QString first = QStringLiteral("%1:%2").arg(First).arg(Operators);
        QCOMPARE(write(first, show, {"1", "2"}), 0);
        QCOMPARE(status(show).st_uid, First);
        QCOMPARE(status(show).st_gid, Operators);
        QCOMPARE(status(show).st_mode & 07777, mode_t(0664));

        QCOMPARE(write(QStringLiteral("%1:%2").arg(Second).arg(Operators), show, {"3"}), 0);
        QCOMPARE(readBytes(show), QByteArray("3\r\n"));
        QCOMPARE(status(show).st_uid, First);
        QCOMPARE(status(show).st_gid, Operators);
        QCOMPARE(status(show).st_mode & 07777, mode_t(0664));

        QCOMPARE(write(QString::number(Outsider), show, {"4"}), 1);
        QCOMPARE(readBytes(show), QByteArray("3\r\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"show.run"});
    }

    void ownersFileKeepsItsOwnGroupAndModeWhenReplaced()
    {
        // Made before the folder was shared: the folder's group would otherwise pass to the
        // new file that replaces it.
        const QString own = folder + "/own.run";
        writeBytes(own, "0\r\n");
        QVERIFY(::chown(QFile::encodeName(own).constData(), First, First) == 0);
        QVERIFY(::chmod(QFile::encodeName(own).constData(), 0640) == 0);
        const ino_t before = status(own).st_ino;
        QCOMPARE(write(QStringLiteral("%1:%2").arg(First).arg(Operators), own, {"5", "6"}), 0);
        QCOMPARE(readBytes(own), QByteArray("5\r\n6\r\n"));
        QVERIFY(status(own).st_ino != before);  // replaced whole, so a kill leaves old or new
        QCOMPARE(status(own).st_uid, First);
        QCOMPARE(status(own).st_gid, gid_t(First));
        QCOMPARE(status(own).st_mode & 07777, mode_t(0640));
    }
};

QTEST_GUILESS_MAIN(TestSharedFolder)
#include "tst_sharedfolder.moc"
