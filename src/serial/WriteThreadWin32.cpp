#include "serial/WriteThread.h"

#include <windows.h>

using namespace serial;

TWriteThread::TWriteThread(std::shared_ptr<SerialDevice> device, std::shared_ptr<StopSignal> stop,
                           std::shared_ptr<NotificationChannel> window, std::shared_ptr<WriteQueue> queue)
    : hCommFile(std::move(device)), hCloseEvent(std::move(stop)), hComm32Window(std::move(window)),
      queue(std::move(queue))
{
}

void TWriteThread::Execute()
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
    // However the writer ends, WriteCommData then answers false rather than queue for nobody.
    struct CloseQueue {
        WriteQueue& queue;
        ~CloseQueue() { queue.close(); }
    } closeQueue{*queue};
    OVERLAPPED overlappedWrite{};
    overlappedWrite.hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    if (!overlappedWrite.hEvent) {
        PostHangupCall();
        return;
    }
    const HANDLE waits[2] = {hCloseEvent->handle(), queue->event()};
    for (;;) {
        auto message = queue->take();
        if (!message) {
            const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
            if (woken == WAIT_OBJECT_0)
                break;
            if (woken != WAIT_OBJECT_0 + 1) {
                PostHangupCall();
                break;
            }
            queue->acknowledge();
            continue;
        }
        if (WaitForSingleObject(hCloseEvent->handle(), 0) == WAIT_OBJECT_0)
            break;
        if (message->code == msgWriteData
            && !HandleWriteData(&overlappedWrite, message->block.data(), message->count))
            break;
    }
    hCommFile->purgeOutput();
    CloseHandle(overlappedWrite.hEvent);
}

bool TWriteThread::HandleWriteData(OVERLAPPED* overlapped, const char* block, std::size_t count)
{
    const HANDLE comm = hCommFile->handle();
    std::size_t offset = 0;
    while (offset < count) {
        DWORD written = 0;
        if (!WriteFile(comm, block + offset, static_cast<DWORD>(count - offset), &written, overlapped)) {
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) {
                if (error != ERROR_INVALID_HANDLE)
                    PostHangupCall();
                return false;
            }
            const HANDLE waits[2] = {hCloseEvent->handle(), overlapped->hEvent};
            const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
            if (woken != WAIT_OBJECT_0 + 1) {
                // The write reads from the block until it ends, so it is ended before the
                // block goes.
                CancelIoEx(comm, overlapped);
                GetOverlappedResult(comm, overlapped, &written, TRUE);
                if (woken != WAIT_OBJECT_0)
                    PostHangupCall();
                return false;
            }
            if (!GetOverlappedResult(comm, overlapped, &written, TRUE)) {
                if (GetLastError() != ERROR_INVALID_HANDLE)
                    PostHangupCall();
                return false;
            }
        }
        offset += written;
    }
    return true;
}
