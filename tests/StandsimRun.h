#pragma once

#include "TestFiles.h"

#include <QProcess>
#include <QStringList>

// The real stand simulator as a child process, with its frame log when one is named: the one
// launcher of tests and benchmarks. STANDSIM_EXECUTABLE names the program.
struct StandsimRun {
    QProcess process;
    QString line;  // the device its far end is reached on
    QString log;

    bool start(const QStringList& options, const QString& logFile = {})
    {
        log = logFile;
        process.start(QStringLiteral(STANDSIM_EXECUTABLE),
                      logFile.isEmpty() ? options : options + QStringList{"--log", logFile});
        if (!process.waitForStarted(5000) || !process.waitForReadyRead(5000))
            return false;
        line = QString::fromLocal8Bit(process.readLine()).trimmed();
        return !line.isEmpty();
    }
    QByteArray frames() const { return readBytes(log); }
    ~StandsimRun()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
    }
};
