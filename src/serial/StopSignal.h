#pragma once

#include <atomic>

namespace serial {

// The stop descriptor shared by the component and both workers: an eventfd that every
// wait of the workers watches first. Once signalled it stays signalled.
class StopSignal {
public:
    StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;
    ~StopSignal();

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void signal();
    bool isSignalled() const { return signalled_.load(); }

private:
    int fd_;
    std::atomic<bool> signalled_{false};
};

}  // namespace serial
