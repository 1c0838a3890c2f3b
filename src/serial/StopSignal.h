#pragma once

#include <atomic>

namespace serial {

// The stop signal shared by the component and both workers: an eventfd (Linux) or a
// manual-reset event (Windows) that every wait of the workers watches first. Once signalled
// it stays signalled.
class StopSignal {
public:
    StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;
    ~StopSignal();

#ifdef _WIN32
    bool valid() const { return handle_ != nullptr; }
    void* handle() const { return handle_; }
#else
    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
#endif
    void signal();
    bool isSignalled() const { return signalled_.load(); }

private:
#ifdef _WIN32
    void* handle_;
#else
    int fd_;
#endif
    std::atomic<bool> signalled_{false};
};

}  // namespace serial
