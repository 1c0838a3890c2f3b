#pragma once

#include "serial/Notification.h"

#include <deque>
#include <mutex>
#include <optional>

namespace serial {

// The writer thread's own queue. Posting only takes a short lock and bumps an eventfd (an
// event on Windows), so the owner never waits for a write; the writer waits for it beside
// the stop signal.
class WriteQueue {
public:
    WriteQueue();
    WriteQueue(const WriteQueue&) = delete;
    WriteQueue& operator=(const WriteQueue&) = delete;
    ~WriteQueue();

#ifdef _WIN32
    bool valid() const { return event_ != nullptr; }
    void* event() const { return event_; }
#else
    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
#endif
    // False, and nothing is queued, once the queue is closed.
    bool post(Notification message);
    std::optional<Notification> take();
    // Called by the writer as it ends: what is queued is dropped and nothing more is taken.
    void close();
    // Clears the wake-up count once the writer has found the queue empty.
    void acknowledge();

private:
    // The platform's means of waking the writer: bumps the eventfd, or sets the event.
    bool wake();

#ifdef _WIN32
    void* event_;
#else
    int fd_;
#endif
    std::mutex mutex_;
    std::deque<Notification> messages_;
    bool closed_ = false;
};

}  // namespace serial
