#pragma once

#include <QString>

// The string values of the program's version resource.
struct VersionInfo {
    QString FileVersion;
    QString InternalName;  // holds the release date
    QString LegalCopyright;

    static VersionInfo ofProgram();
};
