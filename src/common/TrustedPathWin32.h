#pragma once

// The handle-level side of TrustedPath.h on Windows, for the code that writes files by the same
// rule (WholeFileWriteWin32.cpp).

#include "common/TrustedPath.h"

#include <windows.h>

#include <string>
#include <utility>

class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { reset(); }
    FileHandle(FileHandle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    FileHandle& operator=(FileHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
    void reset()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Opens what the name itself is (a link is opened as the link, never followed), for reading
// its attributes and owner, or with the given access for its content.
FileHandle openEntry(const std::filesystem::path& path, DWORD access);

// True when the entry's owner is the user this program runs as.
bool ownedByCurrentUser(HANDLE entry);
