#pragma once

#include <QString>
#include <stdexcept>

// An error meant for the operator: it travels up to the application's error handler, which
// shows its text.
class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }

    // The error of every file write that fails.
    static AppError unableToWrite(const QString& path) { return AppError(QStringLiteral("Unable to write to %1").arg(path)); }
};
