#include "serial/WriteThread.h"

using namespace serial;

void TWriteThread::PostHangupCall()
{
    // Closed before the owner hears of it, so that a write in its hang-up handler is refused.
    queue->close();
    hComm32Window->post({msgHangup, 0, 0, {}});
}
