#pragma once

#include <QString>

// Marks the one running instance with an exclusive lock on a file in the user's runtime
// folder. The kernel drops the lock when the process ends, however it ends.
class SingleInstance {
public:
    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // False when another instance holds the lock.
    bool acquire();

    static QString lockFilePath();

private:
    int fd_ = -1;
};
