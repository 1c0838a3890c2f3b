#pragma once

#include <QString>

// The folders and files the program works with, fixed at start for the life of the process.
struct Paths {
    QString ExeFolder;       // with a trailing "/"
    QString DataFolder;      // with a trailing "/"
    QString DatabaseFolder;  // no trailing separator
    QString RunOrderFolder;  // no trailing separator
    QString IniFileName;
    QString MessageFileName;
    QString DefaultDatabaseFileName;

    static Paths forFolders(const QString& exeFolder, const QString& commonDataFolder);
};

// The system's common application-data folder: the first folder of $XDG_DATA_DIRS, or
// /usr/local/share when that is unset or empty.
QString commonAppDataFolder();
