#include "DataFolder.h"
#include "shell/SingleInstance.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <QRandomGenerator>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

// The real executable as separate processes: one instance at a time, and the close on signals.
class TestInstance : public QObject {
    Q_OBJECT

    static bool lockHeldByAnother()
    {
        const int fd = ::open(QFile::encodeName(SingleInstance::lockName()).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        return held;
    }

    static void start(QProcess& process)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        process.start(ELEVRA_EXECUTABLE, {});
        QVERIFY(process.waitForStarted(5000));
    }

    // The main window polls the stands once it runs, so the first poll on COM1 tells that the
    // start is over.
    static bool firstPollArrives(const DataFolder& folder)
    {
        QByteArray received;
        QElapsedTimer clock;
        clock.start();
        while (!received.contains("*1Q") && clock.elapsed() < 10000) {
            pollfd farEnd{folder.com1FarEnd(), POLLIN, 0};
            if (::poll(&farEnd, 1, 100) == 1 && (farEnd.revents & POLLIN)) {
                char bytes[64];
                const ssize_t n = ::read(folder.com1FarEnd(), bytes, sizeof bytes);
                if (n > 0)
                    received.append(bytes, n);
            }
        }
        return received.contains("*1Q");
    }

private slots:
    void secondInstanceEndsAtOnce();
    void killedInstanceDoesNotBlockTheNext();
    void terminationRunsTheCloseSequence();
    void signalAtAnyMomentOfTheStartEndsInOrder();
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
        QVERIFY(firstPollArrives(folder));
        ::kill(static_cast<pid_t>(program.processId()), signal);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        const QByteArray ini = readBytes(folder.path("elevra.ini"));
        QVERIFY2(ini.startsWith("[Main]\nTop=33\nLeft=100\nCom Port Number=1\n"), ini.constData());
        QVERIFY(ini.contains("[Run Screen]"));
    }
}

void TestInstance::signalAtAnyMomentOfTheStartEndsInOrder()
{
    // Signals at random moments from the taken lock (the handlers are in place before it) to
    // shortly after the main window runs:
    // the program always ends by itself with code 0 and leaves the configuration either as it
    // was or completely rewritten, with no stray files.
    const QByteArray before = "[Main]\nTop=33\n";
    QRandomGenerator random(QRandomGenerator::global()->generate());
    int rewritten = 0;
    for (int round = 0; round < 25; ++round) {
        DataFolder folder;
        writeBytes(folder.path("elevra.ini"), before);
        const QStringList filesBefore = QDir(folder.dataFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QProcess program;
        start(program);
        QElapsedTimer clock;
        clock.start();
        while (!lockHeldByAnother() && clock.elapsed() < 10000)
            QThread::usleep(200);
        // The main window follows the lock within a few milliseconds; half the rounds aim there.
        const int delay = random.bounded(round % 4 < 2 ? 10 : 80);
        QThread::msleep(static_cast<unsigned long>(delay));
        ::kill(static_cast<pid_t>(program.processId()), round % 2 ? SIGINT : SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QVERIFY2(program.exitStatus() == QProcess::NormalExit, qPrintable(QString("signal after %1 ms").arg(delay)));
        QCOMPARE(program.exitCode(), 0);
        const QByteArray after = readBytes(folder.path("elevra.ini"));
        QVERIFY2(after == before || (after.startsWith("[Main]\nTop=33\nLeft=100\n") && after.contains("[Run Screen]")),
                 after.constData());
        rewritten += after != before;
        QCOMPARE(QDir(folder.dataFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), filesBefore);
    }
    qInfo("%d of 25 runs had their main window when the signal came", rewritten);
}

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_instance.moc"
