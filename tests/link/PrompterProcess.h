#pragma once

// The real prompter tool as a child process; PROMPTER_EXECUTABLE names it. Children inherit
// this process's environment, so they find the same runtime folder; on Windows they share the
// session's DDE.

#include <QProcess>
#include <QTest>

// `prompter serve`: what it printed so far, announcements on stdout (in the system's code page,
// a line each) and its log on stderr.
class PrompterServe {
public:
    explicit PrompterServe(const QStringList& options = {})
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] { out += process.readAllStandardOutput(); });
        QObject::connect(&process, &QProcess::readyReadStandardError, [this] { log += process.readAllStandardError(); });
        process.start(QStringLiteral(PROMPTER_EXECUTABLE), QStringList{"serve"} + options);
    }
    ~PrompterServe()
    {
#ifdef Q_OS_WIN
        // A console program has no window that could be asked to close.
        process.kill();
        process.waitForFinished(5000);
#else
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
#endif
    }

    // Once its socket is there.
    bool serving() { return QTest::qWaitFor([this] { return log.contains("serving at"); }, 5000); }
    QStringList announcements() const { return QString::fromLocal8Bit(out).remove(u'\r').split(u'\n', Qt::SkipEmptyParts); }
    bool announced(qsizetype count)
    {
        return QTest::qWaitFor([&] { return announcements().size() >= count; }, 5000);
    }
    qsizetype conversations() const { return log.count("conversation on"); }

    QProcess process;
    QByteArray out;
    QByteArray log;
};

// `prompter take NAME`: its exit code once it has ended, -1 when it did not end in time.
inline int prompterTake(const QString& name, const QStringList& options = {})
{
    QProcess take;
    take.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    take.start(QStringLiteral(PROMPTER_EXECUTABLE), QStringList{"take", name} + options);
    // The server under test may live in this process, so the event loop runs while waiting.
    if (!QTest::qWaitFor([&] { return take.state() == QProcess::NotRunning; }, 10000))
        return -1;
    return take.exitStatus() == QProcess::NormalExit ? take.exitCode() : -1;
}
