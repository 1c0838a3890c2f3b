#pragma once

#include <QString>

#include <cstdint>

// Marks the one running instance: on Linux with an exclusive lock on a file in the user's runtime
// folder, on Windows with the named mutex "Elevra Control". The system drops either when the
// process ends, however it ends.
class SingleInstance {
public:
    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // False when another instance holds the mark.
    bool acquire();

    // The lock file's path on Linux, the mutex's name on Windows.
    static QString lockName();

private:
    std::intptr_t held_ = -1;  // the lock file's descriptor, or the mutex's handle
};
