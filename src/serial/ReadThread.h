#pragma once

#include "serial/LineErrors.h"
#include "serial/Notification.h"
#include "serial/SerialDevice.h"
#include "serial/StopSignal.h"
#include "serial/WorkerThread.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
struct _OVERLAPPED;
#endif

namespace serial {

// Settings the owner may change while the reader runs.
struct ReaderControl {
    std::atomic<std::uint32_t> readTimeoutMs{150};
    std::atomic<bool> nullStrip{false};
    std::atomic<bool> parityChecked{false};
    // Raised by a purge: the reader drops the bytes it has collected so far.
    std::atomic<std::uint32_t> purgeCount{0};
};

}  // namespace serial

// Collects received bytes into blocks and reports line errors and modem-line changes.
// It waits for the first of: the stop descriptor (always first), data, and, on drivers
// that keep line status, the next look at it. On Windows it keeps one overlapped read and
// one status wait outstanding and waits for the stop event, the status wait and the read,
// in that order.
class TReadThread : public serial::WorkerThread {
public:
    static constexpr std::size_t bufferSize = 1024;
    static constexpr std::chrono::milliseconds statusInterval{20};

    TReadThread(std::shared_ptr<serial::SerialDevice> device, std::shared_ptr<serial::StopSignal> stop,
                std::shared_ptr<serial::NotificationChannel> window,
                std::shared_ptr<serial::ReaderControl> control);

protected:
    void Execute() override;
    void PostHangupCall() override;

private:
#ifdef _WIN32
    bool SetupReadEvent(_OVERLAPPED* lpOverlappedRead, char* lpszInputBuffer, unsigned long dwSizeofBuffer,
                        unsigned long* lpnNumberOfBytesRead);
    bool HandleReadEvent(_OVERLAPPED* lpOverlappedRead, char* lpszInputBuffer, unsigned long dwSizeofBuffer,
                         unsigned long* lpnNumberOfBytesRead);
    bool HandleReadData(const char* lpszInputBuffer, unsigned long dwSizeofBuffer);
    bool SetupCommEvent(_OVERLAPPED* lpOverlappedCommEvent, unsigned long* lpfdwEvtMask);
    bool HandleCommEvent(_OVERLAPPED* lpOverlappedCommEvent, unsigned long* lpfdwEvtMask, bool fRetrieveEvent);
    bool StopSignalled() const;
    // Ends an operation still outstanding on a record before its buffer and event go.
    void AbandonPending(_OVERLAPPED* overlapped, bool& pending);

    unsigned long statusMask = 444;
    bool watchingStatus = true;
    bool readPending = false;
    bool commEventPending = false;
#else
    using Clock = std::chrono::steady_clock;

    bool StartStatusWatch();
    void HandleCommEvent();
    void ReportMarkedErrors(const serial::ParmrkDecoder::Output& decoded);
    bool HandleReadData(const char* bytes, std::size_t count);
    bool FlushCollected();
#endif

    bool ReceiveData(std::vector<char> block, std::size_t count);
    bool ReceiveError(const std::string& text);
    bool ReceiveRing();
    bool ReceiveTxEmpty();
    bool ReceiveRLSD(bool rlsd);
    bool ReceiveCTS(bool cts);
    bool ReceiveDSR(bool dsr);
    bool Post(int code, bool flag = false);

    std::string rx_error_str;
    const std::shared_ptr<serial::SerialDevice> hCommFile;
    const std::shared_ptr<serial::StopSignal> hCloseEvent;
    const std::shared_ptr<serial::NotificationChannel> hComm32Window;
    const std::shared_ptr<serial::ReaderControl> control;

#ifndef _WIN32
    std::vector<char> collected;
    bool watchStatus = false;
    bool watchCounters = false;
    bool watchModem = false;
    bool watchOutput = false;
    serial::ErrorCounters lastCounters;
    std::uint32_t lastModem = 0;
    std::size_t lastOutput = 0;
#endif
};
