#pragma once

#include <QString>
#include <filesystem>

// Where a service is reached: the socket named after the service in lower case (blanks kept)
// in the private folder dde/ of the runtime folder, so that names match ignoring case.
struct ServiceSocket {
    std::filesystem::path path;
    QString error;  // why the service cannot be reached there; empty when it can

    static ServiceSocket For(const QString& serviceName);

    // Why `serviceName` names no service, empty when it does: a service name is 1 to 255 bytes
    // of printable characters (no control or format characters) that can name a file.
    static QString NameError(const QString& serviceName);

    static constexpr qsizetype MaxNameBytes = 255;
};
