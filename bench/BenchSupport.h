#pragma once

// What the benchmarks share: timing and the figures they print, a data folder laid out as an
// install does with the stand simulator as COM1, the real program started over it, and takes
// timed to their first frame on the wire. ELEVRA_SOURCE_DIR, ELEVRA_EXECUTABLE and
// STANDSIM_EXECUTABLE name the source tree, the program and the simulator.
#include "StandsimRun.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <random>
#include <vector>

// Eight simulated stands on a line paced as the real one at 9600 baud, moving 15 units a second;
// StartHeights gives them distinct heights to start from.
inline const QStringList EightStandsAt9600{"--stands", "8", "--pace-baud", "9600", "--speed", "15"};
inline const QStringList StartHeights{"--heights", "10,20,30,40,50,60,70,80"};

// Runs the event loop for `ms`, asleep between events, so that the benchmark itself does not
// take a core from the program and the simulator it measures.
inline void processEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done()` holds or `ms` have passed, looking every millisecond.
template <typename Done>
bool processEventsUntil(Done done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= ms)
            loop.quit();
    });
    tick.start(1);
    if (!done())
        loop.exec();
    return done();
}

// The value below which the fraction `q` of `values` lies; 1 gives the largest.
inline double percentile(std::vector<double> values, double q)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(q * double(values.size())))];
}

// Prints the median, the 99th percentile and the largest of `ms`, then `note`.
inline void report(const char* what, const std::vector<double>& ms, const char* note = "")
{
    if (ms.empty()) {
        std::printf("%s: no samples\n", what);
        return;
    }
    std::printf("%s (%zu samples): median %.3f ms, 99th percentile %.3f ms, max %.3f ms%s\n", what, ms.size(),
                percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 1.0), note);
}

// Times `run(i)` `runs` times, each after an untimed `prepare()`.
template <typename Prepare, typename Run>
std::vector<double> timed(int runs, Prepare prepare, Run run)
{
    std::vector<double> ms;
    QElapsedTimer clock;
    for (int i = 0; i < runs; ++i) {
        prepare();
        clock.start();
        run(i);
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    return ms;
}

// Lays out the data folder under `root` with `files` from data/ and `line` as COM1; returns
// the data folder.
inline QString makeDataFolder(const QString& root, const QString& line,
                              std::initializer_list<const char*> files = {"elevra.ini", "elevra.msg", "DBase0.db"})
{
    const QString data = root + "/Quillon/Vantora/";
    QDir().mkpath(data + "ports");
    for (const char* name : files)
        QFile::copy(QStringLiteral(ELEVRA_SOURCE_DIR "/data/") + name, data + name);
    QFile::link(line, data + "ports/COM1");
    return data;
}

// For a main window built in this process: the eight stands at their start heights as COM1 of a
// data folder under `root`, and this process's data and runtime folders in `root`. Returns the
// data folder, or nothing when the simulator did not start.
inline QString startStandsForWindow(StandsimRun& sim, const QString& root, const QString& logFile)
{
    if (!sim.start(EightStandsAt9600 + StartHeights, logFile))
        return {};
    const QString data = makeDataFolder(root, sim.line);
    qputenv("XDG_DATA_DIRS", root.toUtf8());
    qputenv("XDG_RUNTIME_DIR", root.toUtf8());
    return data;
}

// Starts the real program on the offscreen platform with its data and runtime folders in `root`.
inline bool startProgram(QProcess& program, const QString& root)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_DATA_DIRS", root);
    env.insert("XDG_RUNTIME_DIR", root);
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(ELEVRA_EXECUTABLE), {});
    return program.waitForStarted(5000);
}

inline void stopProgram(QProcess& program)
{
    program.terminate();
    program.waitForFinished(10000);
}

inline long long residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

inline qsizetype pollsLogged(const StandsimRun& sim)
{
    return sim.frames().count("Q1234");
}

// Wall-clock times (ms since the epoch) of the frames that the simulator received with `text`.
inline std::vector<qint64> framesReceived(const StandsimRun& sim, const QByteArray& text)
{
    std::vector<qint64> times;
    for (const QByteArray& line : sim.frames().split('\n'))
        if (line.contains(" IN " + text))
            times.push_back(QDateTime::fromString(QString::fromLatin1(line.left(23)), "yyyy-MM-dd HH:mm:ss.zzz")
                                .toMSecsSinceEpoch());
    return times;
}

// A command cycle sends no poll, so polling resumes at the next tick, 500 ms later; each take
// comes at a random moment after that, while polls run back to back.
inline int nextTakeAfterMs(std::mt19937& random)
{
    return std::uniform_int_distribution<int>(520, 900)(random);
}

// In this process: 100 takes while the stands are polled, each timed from `press()` until the
// cycle writes stand 1's height frame; `prepare(i)` readies the i-th take, untimed. A template
// over the stand controller, so that benchmarks without one can include this header.
template <typename Controller, typename Prepare, typename Press>
std::vector<double> timeTakesToFirstFrame(Controller& controller, unsigned seed, Prepare prepare, Press press)
{
    std::mt19937 random(seed);
    std::vector<double> latencies;
    QElapsedTimer sincePress;
    bool waiting = false;
    const QObject listening;  // ends the connection on return
    QObject::connect(&controller, &Controller::diagnosticPanelsChanged, &listening, [&] {
        if (waiting && controller.Panel1().startsWith(QLatin1String("*1A"))) {
            latencies.push_back(double(sincePress.nsecsElapsed()) / 1e6);
            waiting = false;
        }
    });
    for (int i = 0; i < 100; ++i) {
        processEventsFor(nextTakeAfterMs(random));
        prepare(i);
        waiting = true;
        sincePress.start();
        press();
        processEventsUntil([&] { return !waiting; }, 2000);
    }
    return latencies;
}

struct FrameDelays {
    std::vector<double> ms;
    int unanswered = 0;  // sends followed by no frame within 300 ms
};

// Against the real program: 100 sends while the stands are polled, each timed from `send(i)`
// to the first height frame for stand 1 that the simulator logs after it. Stops after ten when
// none was followed by one.
template <typename Send>
FrameDelays timeSendsToFirstFrame(const StandsimRun& sim, Send send)
{
    std::mt19937 random(7);
    FrameDelays delays;
    for (int i = 0; i < 100 && (i < 10 || !delays.ms.empty()); ++i) {
        processEventsFor(nextTakeAfterMs(random));
        const qint64 sent = QDateTime::currentMSecsSinceEpoch();
        send(i);
        processEventsFor(300);
        const std::vector<qint64> frames = framesReceived(sim, "*1A");
        const auto first = std::find_if(frames.begin(), frames.end(), [&](qint64 t) { return t >= sent; });
        if (first == frames.end())
            ++delays.unanswered;
        else
            delays.ms.push_back(double(*first - sent));
    }
    return delays;
}
