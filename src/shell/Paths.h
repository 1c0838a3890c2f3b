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
    QString HelpFileName;    // beside the executable: "elevra.chm" on Linux, "Elevra.chm" on Windows

    static Paths forFolders(const QString& exeFolder, const QString& commonDataFolder);
};

// The system's common application-data folder, with "/" between folders on every platform.
// On Windows it is the shell's, CSIDL_COMMON_APPDATA. On Linux desktop sessions put their own folders in front
// of $XDG_DATA_DIRS, so it is read as the search path it is: the first of its folders that holds
// "Quillon/Vantora/", or its first folder when none does (where the missing files are then
// looked for). Relative and empty entries are not folders of the path; a path without any
// stands for "/usr/local/share:/usr/share".
QString commonAppDataFolder(const QString& searchPath);
QString commonAppDataFolder();  // from $XDG_DATA_DIRS on Linux
