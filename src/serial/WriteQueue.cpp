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

bool WriteQueue::wake()
{
    return eventfd_write(fd_, 1) == 0;
}

void WriteQueue::acknowledge()
{
    eventfd_t count = 0;
    eventfd_read(fd_, &count);
}

}  // namespace serial
