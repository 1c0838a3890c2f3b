#pragma once

#include "serial/Notification.h"
#include "serial/SerialDevice.h"
#include "serial/StopSignal.h"
#include "serial/WorkerThread.h"
#include "serial/WriteQueue.h"

#include <memory>

#ifdef _WIN32
struct _OVERLAPPED;
#endif

// Takes blocks from its queue in posting order and writes each one whole before the next;
// on Windows each with an overlapped write that the stop event can interrupt.
class TWriteThread : public serial::WorkerThread {
public:
    TWriteThread(std::shared_ptr<serial::SerialDevice> device, std::shared_ptr<serial::StopSignal> stop,
                 std::shared_ptr<serial::NotificationChannel> window, std::shared_ptr<serial::WriteQueue> queue);

protected:
    void Execute() override;
    void PostHangupCall() override;

private:
#ifdef _WIN32
    bool HandleWriteData(_OVERLAPPED* overlapped, const char* block, std::size_t count);
#else
    enum class Wait { ready, stopped, failed };
    Wait WaitReady(int fd, short events);
    bool HandleWriteData(const char* block, std::size_t count);
#endif

    const std::shared_ptr<serial::SerialDevice> hCommFile;
    const std::shared_ptr<serial::StopSignal> hCloseEvent;
    const std::shared_ptr<serial::NotificationChannel> hComm32Window;
    const std::shared_ptr<serial::WriteQueue> queue;
};
