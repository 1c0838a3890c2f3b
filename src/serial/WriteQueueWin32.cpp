#include "serial/WriteQueue.h"

#include <windows.h>

namespace serial {

// Manual reset, like the eventfd's count: it stays set until the writer has found the queue empty.
WriteQueue::WriteQueue() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

WriteQueue::~WriteQueue()
{
    if (event_)
        CloseHandle(event_);
}

bool WriteQueue::wake()
{
    return SetEvent(event_) != 0;
}

void WriteQueue::acknowledge()
{
    ResetEvent(event_);
}

}  // namespace serial
