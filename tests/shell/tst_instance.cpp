#include "DataFolder.h"
#include "SingleInstance.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// The real executable as separate processes: one instance at a time, and the close on signals.
class TestInstance : public QObject {
    Q_OBJECT

    static bool lockHeldByAnother()
    {
        const int fd = ::open(QFile::encodeName(SingleInstance::lockFilePath()).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        return held;
    }

    // The program takes the lock first and installs its signal handlers once its window is
    // up; a signal before that ends it the default way.
    static bool catchesSignals(const QProcess& process)
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(process.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("SigCgt:"))
                return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
        return false;
    }

    static void start(QProcess& process)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        process.start(ELEVRA_EXECUTABLE, {});
        QVERIFY(process.waitForStarted(5000));
    }

private slots:
    void secondInstanceEndsAtOnce();
    void killedInstanceDoesNotBlockTheNext();
    void terminationRunsTheCloseSequence();
};

void TestInstance::secondInstanceEndsAtOnce()
{
    DataFolder folder;
    QProcess first;
    start(first);
    QTRY_VERIFY_WITH_TIMEOUT(lockHeldByAnother(), 10000);

    QProcess second;
    QElapsedTimer clock;
    clock.start();
    start(second);
    QVERIFY(second.waitForFinished(5000));
    qInfo("second instance ended after %lld ms", clock.elapsed());
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);

    QTRY_VERIFY_WITH_TIMEOUT(catchesSignals(first), 10000);
    first.terminate();
    QVERIFY(first.waitForFinished(10000));
    QCOMPARE(first.exitCode(), 0);
}

void TestInstance::killedInstanceDoesNotBlockTheNext()
{
    DataFolder folder;
    QProcess first;
    start(first);
    QTRY_VERIFY_WITH_TIMEOUT(lockHeldByAnother(), 10000);
    first.kill();
    QVERIFY(first.waitForFinished(5000));

    QProcess next;
    start(next);
    QTRY_VERIFY_WITH_TIMEOUT(lockHeldByAnother(), 10000);
    QCOMPARE(next.state(), QProcess::Running);
    QTRY_VERIFY_WITH_TIMEOUT(catchesSignals(next), 10000);
    next.terminate();
    QVERIFY(next.waitForFinished(10000));
    QCOMPARE(next.exitCode(), 0);
}

void TestInstance::terminationRunsTheCloseSequence()
{
    for (const int signal : {SIGTERM, SIGINT}) {
        DataFolder folder;
        writeBytes(folder.path("elevra.ini"), "[Main]\nTop=33\n");
        QProcess program;
        start(program);
        QTRY_VERIFY_WITH_TIMEOUT(lockHeldByAnother(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(catchesSignals(program), 10000);
        ::kill(static_cast<pid_t>(program.processId()), signal);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        const QByteArray ini = readBytes(folder.path("elevra.ini"));
        QVERIFY2(ini.startsWith("[Main]\nTop=33\nLeft=100\nCom Port Number=1\n"), ini.constData());
        QVERIFY(ini.contains("[Run Screen]"));
    }
}

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_instance.moc"
