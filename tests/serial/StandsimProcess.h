#pragma once

#include "StandsimRun.h"

#include <QTemporaryDir>

#include <filesystem>

// The real standsim program on a pseudo-terminal, linked as ports/COM1 of a temporary
// data folder.
class StandsimProcess {
public:
    explicit StandsimProcess(const QStringList& arguments)
    {
        if (!run_.start(arguments))
            return;
        std::filesystem::create_directories(folder() / "ports");
        std::filesystem::create_symlink(run_.line.toStdString(), folder() / "ports" / "COM1");
    }

    bool started() const { return !run_.line.isEmpty(); }
    std::filesystem::path folder() const { return dir_.path().toStdString(); }
    QProcess& process() { return run_.process; }

private:
    QTemporaryDir dir_;
    StandsimRun run_;
};
