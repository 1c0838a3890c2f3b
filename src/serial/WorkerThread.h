#pragma once

#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace serial {

// A worker that runs Execute() on a thread of its own. The running thread holds a
// reference to its worker, so an abandoned worker stays valid until it ends by itself.
class WorkerThread : public std::enable_shared_from_this<WorkerThread> {
public:
    WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    virtual ~WorkerThread();

    // False when no thread could be made.
    bool Start();
    // True when the thread ended within the time, and it has then been joined.
    bool WaitFor(std::chrono::milliseconds limit);
    // Leaves a thread that did not end to finish on its own.
    void Abandon();

protected:
    virtual void Execute() = 0;
    // Reports that the worker met an error it does not recover from.
    virtual void PostHangupCall() = 0;

private:
    std::thread thread_;
    std::promise<void> finished_;
    std::future<void> finishedFuture_;
};

}  // namespace serial
