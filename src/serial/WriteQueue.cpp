#include "serial/WriteQueue.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace serial {

WriteQueue::WriteQueue() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WriteQueue::~WriteQueue()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool WriteQueue::post(Notification message)
{
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return false;
        messages_.push_back(std::move(message));
    }
    return eventfd_write(fd_, 1) == 0;
}

std::optional<Notification> WriteQueue::take()
{
    std::lock_guard lock(mutex_);
    if (messages_.empty())
        return std::nullopt;
    Notification message = std::move(messages_.front());
    messages_.pop_front();
    return message;
}

void WriteQueue::close()
{
    std::lock_guard lock(mutex_);
    closed_ = true;
    messages_.clear();
}

void WriteQueue::acknowledge()
{
    eventfd_t count = 0;
    eventfd_read(fd_, &count);
}

}  // namespace serial
