#include "serial/StopSignal.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace serial {

StopSignal::StopSignal() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopSignal::~StopSignal()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void StopSignal::signal()
{
    signalled_.store(true);
    eventfd_write(fd_, 1);
}

}  // namespace serial
