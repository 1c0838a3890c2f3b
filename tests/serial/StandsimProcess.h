#pragma once

// The real standsim program on a pseudo-terminal, linked as ports/COM1 of a temporary
// data folder.

#include <QProcess>
#include <QTemporaryDir>

#include <filesystem>

class StandsimProcess {
public:
    explicit StandsimProcess(const QStringList& arguments)
    {
        process_.start(QStringLiteral(STANDSIM_PATH), arguments);
        if (!process_.waitForStarted(5000) || !process_.waitForReadyRead(5000))
            return;
        path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
        std::filesystem::create_directories(folder() / "ports");
        std::filesystem::create_symlink(path_.toStdString(), folder() / "ports" / "COM1");
    }
    ~StandsimProcess()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }

    bool started() const { return !path_.isEmpty(); }
    std::filesystem::path folder() const { return dir_.path().toStdString(); }
    QProcess& process() { return process_; }

private:
    QTemporaryDir dir_;
    QProcess process_;
    QString path_;
};
