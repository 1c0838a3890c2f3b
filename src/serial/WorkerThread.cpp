#include "serial/WorkerThread.h"

#include <system_error>

namespace serial {

WorkerThread::WorkerThread() : finishedFuture_(finished_.get_future()) {}

WorkerThread::~WorkerThread()
{
    if (thread_.joinable())
        thread_.detach();
}

bool WorkerThread::Start()
{
    auto self = shared_from_this();
    try {
        thread_ = std::thread([self] {
            try {
                self->Execute();
            } catch (...) {
                try {
                    self->PostHangupCall();
                } catch (...) {
                }
            }
            self->finished_.set_value();
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool WorkerThread::WaitFor(std::chrono::milliseconds limit)
{
    if (!thread_.joinable())
        return true;
    if (finishedFuture_.wait_for(limit) != std::future_status::ready)
        return false;
    thread_.join();
    return true;
}

void WorkerThread::Abandon()
{
    if (thread_.joinable())
        thread_.detach();
}

}  // namespace serial
