#include "serial/WriteThread.h"

#include <cerrno>
#include <poll.h>

using namespace serial;

TWriteThread::TWriteThread(std::shared_ptr<SerialDevice> device, std::shared_ptr<StopSignal> stop,
                           std::shared_ptr<NotificationChannel> window, std::shared_ptr<WriteQueue> queue)
    : hCommFile(std::move(device)), hCloseEvent(std::move(stop)), hComm32Window(std::move(window)),
      queue(std::move(queue))
{
}

void TWriteThread::Execute()
{
    // However the writer ends, WriteCommData then answers false rather than queue for nobody.
    struct CloseQueue {
        WriteQueue& queue;
        ~CloseQueue() { queue.close(); }
    } closeQueue{*queue};
    for (;;) {
        auto message = queue->take();
        if (!message) {
            const Wait woken = WaitReady(queue->fd(), POLLIN);
            if (woken == Wait::stopped)
                break;
            if (woken == Wait::failed) {
                PostHangupCall();
                break;
            }
            queue->acknowledge();
            continue;
        }
        if (hCloseEvent->isSignalled())
            break;
        if (message->code == msgWriteData && !HandleWriteData(message->block.data(), message->count))
            break;
    }
    hCommFile->purgeOutput();
}

TWriteThread::Wait TWriteThread::WaitReady(int fd, short events)
{
    for (;;) {
        pollfd fds[2] = {{hCloseEvent->fd(), POLLIN, 0}, {fd, events, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return Wait::failed;
        }
        if (fds[0].revents != 0)
            return Wait::stopped;
        if (fds[1].revents & POLLNVAL)
            return Wait::failed;
        return Wait::ready;
    }
}

bool TWriteThread::HandleWriteData(const char* block, std::size_t count)
{
    std::size_t offset = 0;
    while (offset < count) {
        const IoResult result =
            hCommFile->write(reinterpret_cast<const std::uint8_t*>(block) + offset, count - offset);
        if (result.count > 0) {
            offset += static_cast<std::size_t>(result.count);
            continue;
        }
        if (result.count < 0 && result.error == EINTR)
            continue;
        if (result.count < 0 && result.error == EBADF)
            return false;
        if (result.count < 0 && result.error != EAGAIN) {
            PostHangupCall();
            return false;
        }
        // The line is busy: wait until it takes more, or until we are told to stop.
        switch (WaitReady(hCommFile->fd(), POLLOUT)) {
        case Wait::stopped:
            return false;
        case Wait::failed:
            PostHangupCall();
            return false;
        case Wait::ready:
            break;
        }
    }
    return true;
}
