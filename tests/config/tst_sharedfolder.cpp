#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// A data folder that the operators of one group share, as the package lays it out: set-group-id
// and group-writable, and sticky in newer installs. Each operator is a writer process of its own
// user; a hostile one plants links and holds locks.
class TestSharedFolder : public QObject {
    Q_OBJECT

    static constexpr gid_t Operators = 4242;
    static constexpr uid_t First = 4243, Second = 4244, Outsider = 4245;

    QTemporaryDir dir;
    QString folder;
    QString sticky;
    QString home;  // the first operator's own folder, outside the shared one

    struct Run {
        int code = -1;
        QByteArray out;
        QByteArray err;
    };

    static Run run(const QString& user, const QStringList& args)
    {
        QProcess writer;
        writer.start(FILE_WRITER, QStringList{"--user", user} + args);
        Run result;
        if (writer.waitForFinished(10000))
            result.code = writer.exitCode();
        result.out = writer.readAllStandardOutput();
        result.err = writer.readAllStandardError();
        return result;
    }

    static int write(const QString& user, const QString& path, const QStringList& entries)
    {
        return run(user, QStringList{"runorder", path} + entries).code;
    }

    static QString member(uid_t user) { return QStringLiteral("%1:%2").arg(user).arg(Operators); }

    static void makeShared(const QString& path, mode_t mode)
    {
        QVERIFY(QDir().mkpath(path));
        QVERIFY(::chown(QFile::encodeName(path).constData(), 0, Operators) == 0);
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode) == 0);
    }

    static void plantLink(const QString& target, const QString& link, uid_t owner)
    {
        QFile::remove(link);
        QVERIFY(QFile::link(target, link));
        QVERIFY(::lchown(QFile::encodeName(link).constData(), owner, Operators) == 0);
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
        sticky = dir.filePath("Shared");
        home = dir.filePath("home");
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        makeShared(folder, 02775);
        makeShared(sticky, 03775);
        QVERIFY(QDir().mkpath(home));
        QVERIFY(::chown(QFile::encodeName(home).constData(), First, First) == 0);
    }

    void secondOperatorSavesWhatTheFirstSaved_data()
    {
        QTest::addColumn<QString>("shared");
        QTest::newRow("set-group-id") << "RunOrder";
        // Nobody may rename over another's file there: the second operator writes in place.
        QTest::newRow("sticky") << "Shared";
    }

    void secondOperatorSavesWhatTheFirstSaved()
    {
        QFETCH(QString, shared);
        const QString folder = dir.filePath(shared);
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

    // A member points a shared name at a file of the first operator's: the first operator's
    // save must not reach it, nor create a file of the member's choosing, nor read through it.
    // Links of the folder's owner (the administrator's elevra.msg) and one's own still serve.
    void onlyOwnAndTheFolderOwnersLinksAreFollowed()
    {
        const QString profile = home + "/.bashrc";
        writeBytes(profile, "original\n");
        QVERIFY(::chown(QFile::encodeName(profile).constData(), First, First) == 0);
        const QString ini = sticky + "/elevra.ini";
        const QString dangling = sticky + "/dangling.run";
        plantLink(profile, ini, Second);
        plantLink(home + "/chosen", dangling, Second);

        const Run refused = run(member(First), {"profile", ini, "R0", "planted"});
        QCOMPARE(refused.code, 1);
        QCOMPARE(refused.err, "Unable to write to " + QFile::encodeName(ini) + "\n");
        QCOMPARE(write(member(First), dangling, {"1"}), 1);
        const Run readThroughMembers = run(member(First), {"read", ini});
        QCOMPARE(readThroughMembers.code, 1);
        QCOMPARE(readThroughMembers.out, QByteArray());
        QCOMPARE(readBytes(profile), QByteArray("original\n"));
        QVERIFY(!QFileInfo::exists(home + "/chosen"));

        plantLink(profile, ini, 0);
        const Run readThroughAdministrators = run(member(First), {"read", ini});
        QCOMPARE(readThroughAdministrators.code, 0);
        QCOMPARE(readThroughAdministrators.out, QByteArray("original\n"));
        plantLink(profile, ini, First);
        QCOMPARE(run(member(First), {"profile", ini, "Top", "1"}).code, 0);
        QCOMPARE(readBytes(profile), QByteArray("original\n[Main]\nTop=1\n"));
        QVERIFY(QFileInfo(ini).isSymLink());
    }

    // Any local account can open the folder and a file readable by all, and can create things
    // in a folder open to all; none of that may stop or hold up an operator's save.
    void nobodyCanHoldASaveUp()
    {
        const QString held = sticky + "/held.run";
        writeBytes(held, "0\r\n");
        QVERIFY(::chown(QFile::encodeName(held).constData(), First, Operators) == 0);
        QVERIFY(::chmod(QFile::encodeName(held).constData(), 0664) == 0);
        const int folderLock = ::open(QFile::encodeName(sticky).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int fileLock = ::open(QFile::encodeName(held).constData(), O_RDONLY | O_CLOEXEC);
        const auto unlock = qScopeGuard([&] {
            ::close(folderLock);
            ::close(fileLock);
        });
        QVERIFY(::flock(folderLock, LOCK_EX | LOCK_NB) == 0);
        QVERIFY(::flock(fileLock, LOCK_EX | LOCK_NB) == 0);
        // Whatever sits at the name an earlier version used for its temporary file.
        QVERIFY(QDir().mkpath(sticky + "/.held.run.saving"));
        QVERIFY(QDir().mkpath(sticky + "/.fresh.run.saving"));

        QCOMPARE(write(member(First), held, {"1"}), 0);      // replaced whole
        QCOMPARE(write(member(Second), held, {"2"}), 0);     // rewritten in place
        QCOMPARE(readBytes(held), QByteArray("2\r\n"));
        QCOMPARE(write(member(Second), sticky + "/fresh.run", {"3"}), 0);
        QCOMPARE(readBytes(sticky + "/fresh.run"), QByteArray("3\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestSharedFolder)
#include "tst_sharedfolder.moc"
