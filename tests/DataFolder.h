#pragma once

#include <cstdio>

#include "TestFiles.h"
#include "shell/Paths.h"

#include <QDir>
#include <QTemporaryDir>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

// A data folder laid out as an install does, in a temporary folder that is also the runtime
// folder, with the environment pointing at both.
class DataFolder {
public:
    DataFolder()
    {
        QDir().mkpath(dataFolder() + "Database");
        QDir().mkpath(dataFolder() + "RunOrder");
        for (const char* name : {"elevra.ini", "elevra.msg", "DBase0.db"})
            QFile::copy(QStringLiteral(ELEVRA_SOURCE_DIR "/data/") + name, dataFolder() + name);
        for (const char* name : {"elevra.ini", "elevra.msg", "DBase0.db"})
            QFile::setPermissions(dataFolder() + name, QFile::ReadOwner | QFile::WriteOwner);
        // COM1 is a pseudo-terminal with nobody at the far end, so no real port is touched.
        QDir().mkpath(dataFolder() + "ports");
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            qFatal("no pseudo-terminal");
        QFile::link(QString::fromLocal8Bit(::ptsname(master_)), dataFolder() + "ports/COM1");
        qputenv("XDG_DATA_DIRS", root.path().toUtf8() + ":/usr/share");
        qputenv("XDG_RUNTIME_DIR", root.path().toUtf8());
    }

    QString dataFolder() const { return root.path() + "/Quillon/Vantora/"; }
    QString exeFolder() const { return QStringLiteral(ELEVRA_BINARY_DIR); }
    Paths paths() const { return Paths::forFolders(exeFolder(), root.path()); }
    QString path(const QString& name) const { return dataFolder() + name; }

    ~DataFolder() { ::close(master_); }

    // The far end of COM1, where the program's polls arrive.
    int com1FarEnd() const { return master_; }

    // Points COM1 at another device, such as the stand simulator's line.
    void linkCom1(const QString& device) const
    {
        // Replaced in one step: between a remove and a new link, a retry of the program would
        // fall back to the numbering rule and open this machine's own first serial port.
        const QString fresh = dataFolder() + "ports/COM1.new";
        QFile::remove(fresh);
        QFile::link(device, fresh);
        std::rename(fresh.toLocal8Bit().constData(), (dataFolder() + "ports/COM1").toLocal8Bit().constData());
    }

private:
    QTemporaryDir root;
    int master_ = -1;
};
