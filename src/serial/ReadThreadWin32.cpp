#include "serial/ReadThread.h"

#include <windows.h>

using namespace serial;

namespace {

// Line errors, ring, transmit empty and the changes of CTS, DSR and carrier detect.
constexpr DWORD StatusMask = EV_ERR | EV_RING | EV_TXEMPTY | EV_RLSD | EV_CTS | EV_DSR;
static_assert(StatusMask == 444);
// A line without modem lines (Wine's pseudo-terminals) refuses a wait on them; the line
// errors, all the program listens to, and the transmit-empty condition remain.
constexpr DWORD LineStatusMask = EV_ERR | EV_TXEMPTY;

}  // namespace

TReadThread::TReadThread(std::shared_ptr<SerialDevice> device, std::shared_ptr<StopSignal> stop,
                         std::shared_ptr<NotificationChannel> window, std::shared_ptr<ReaderControl> control)
    : hCommFile(std::move(device)), hCloseEvent(std::move(stop)), hComm32Window(std::move(window)),
      control(std::move(control))
{
}

void TReadThread::Execute()
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    char inputBuffer[bufferSize];
    DWORD bytesRead = 0;
    DWORD evtMask = 0;
    OVERLAPPED overlappedRead{};
    OVERLAPPED overlappedCommEvent{};
    overlappedRead.hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    overlappedCommEvent.hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    const HANDLE waits[3] = {hCloseEvent->handle(), overlappedCommEvent.hEvent, overlappedRead.hEvent};

    const auto armed = [&] {
        if (!overlappedRead.hEvent || !overlappedCommEvent.hEvent || !SetCommMask(hCommFile->handle(), statusMask))
            return false;
        return SetupCommEvent(&overlappedCommEvent, &evtMask)
               && SetupReadEvent(&overlappedRead, inputBuffer, bufferSize, &bytesRead);
    };
    if (!armed())
        PostHangupCall();
    else
        for (bool all_done = false; !all_done;) {
            // Without status waits the read is the second handle, and its result is told as the third.
            const HANDLE readOnly[2] = {waits[0], waits[2]};
            DWORD woken = watchingStatus ? WaitForMultipleObjects(3, waits, FALSE, INFINITE)
                                         : WaitForMultipleObjects(2, readOnly, FALSE, INFINITE);
            if (!watchingStatus && woken == WAIT_OBJECT_0 + 1)
                woken = WAIT_OBJECT_0 + 2;
            switch (woken) {
            case WAIT_OBJECT_0:
                OutputDebugStringW(L"Time to Exit");
                all_done = true;
                break;
            case WAIT_OBJECT_0 + 1:
                HandleCommEvent(&overlappedCommEvent, &evtMask, true);
                if (watchingStatus && !SetupCommEvent(&overlappedCommEvent, &evtMask)) {
                    PostHangupCall();
                    all_done = true;
                }
                break;
            case WAIT_OBJECT_0 + 2:
                if (!HandleReadEvent(&overlappedRead, inputBuffer, bufferSize, &bytesRead)
                    || !SetupReadEvent(&overlappedRead, inputBuffer, bufferSize, &bytesRead)) {
                    PostHangupCall();
                    all_done = true;
                }
                break;
            default:
                PostHangupCall();
                all_done = true;
                break;
            }
        }

    hCommFile->purgeInput();
    AbandonPending(&overlappedRead, readPending);
    AbandonPending(&overlappedCommEvent, commEventPending);
    for (const HANDLE event : {overlappedRead.hEvent, overlappedCommEvent.hEvent})
        if (event)
            CloseHandle(event);
}

bool TReadThread::StopSignalled() const
{
    return WaitForSingleObject(hCloseEvent->handle(), 0) == WAIT_OBJECT_0;
}

void TReadThread::AbandonPending(OVERLAPPED* overlapped, bool& pending)
{
    if (!pending)
        return;
    // The operation writes into this thread's stack until it ends; it must end before we do.
    CancelIoEx(hCommFile->handle(), overlapped);
    DWORD ignored = 0;
    GetOverlappedResult(hCommFile->handle(), overlapped, &ignored, TRUE);
    pending = false;
}

bool TReadThread::SetupReadEvent(OVERLAPPED* lpOverlappedRead, char* lpszInputBuffer, DWORD dwSizeofBuffer,
                                 DWORD* lpnNumberOfBytesRead)
{
    while (!StopSignalled()) {
        if (ReadFile(hCommFile->handle(), lpszInputBuffer, dwSizeofBuffer, lpnNumberOfBytesRead, lpOverlappedRead)) {
            if (!HandleReadData(lpszInputBuffer, *lpnNumberOfBytesRead))
                return false;
            continue;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING) {
            readPending = true;
            return true;
        }
        if (error != ERROR_INVALID_HANDLE)
            PostHangupCall();
        return false;
    }
    return false;
}

bool TReadThread::HandleReadEvent(OVERLAPPED* lpOverlappedRead, char* lpszInputBuffer, DWORD,
                                  DWORD* lpnNumberOfBytesRead)
{
    const BOOL done = GetOverlappedResult(hCommFile->handle(), lpOverlappedRead, lpnNumberOfBytesRead, FALSE);
    const DWORD error = done ? 0 : GetLastError();
    if (error != ERROR_IO_INCOMPLETE)
        readPending = false;
    if (done)
        return HandleReadData(lpszInputBuffer, *lpnNumberOfBytesRead);
    // PurgeTheComms aborts the read; the line is still there, so the next read is armed.
    if (error == ERROR_OPERATION_ABORTED)
        return true;
    if (error != ERROR_INVALID_HANDLE)
        PostHangupCall();
    return false;
}

bool TReadThread::HandleReadData(const char* lpszInputBuffer, DWORD dwSizeofBuffer)
{
    if (dwSizeofBuffer == 0)
        return false;
    try {
        return ReceiveData(MakeBlock(lpszInputBuffer, dwSizeofBuffer), dwSizeofBuffer);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool TReadThread::SetupCommEvent(OVERLAPPED* lpOverlappedCommEvent, DWORD* lpfdwEvtMask)
{
    while (!StopSignalled()) {
        if (WaitCommEvent(hCommFile->handle(), lpfdwEvtMask, lpOverlappedCommEvent)) {
            if (!HandleCommEvent(nullptr, lpfdwEvtMask, false))
                return false;
            continue;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_NOT_SUPPORTED && statusMask != LineStatusMask
            && SetCommMask(hCommFile->handle(), LineStatusMask)) {
            statusMask = LineStatusMask;
            continue;
        }
        if (error != ERROR_IO_PENDING)
            return false;
        commEventPending = true;
        return true;
    }
    return false;
}

bool TReadThread::HandleCommEvent(OVERLAPPED* lpOverlappedCommEvent, DWORD* lpfdwEvtMask, bool fRetrieveEvent)
{
    if (fRetrieveEvent) {
        DWORD ignored = 0;
        const BOOL done = GetOverlappedResult(hCommFile->handle(), lpOverlappedCommEvent, &ignored, FALSE);
        const DWORD error = done ? 0 : GetLastError();
        if (error != ERROR_IO_INCOMPLETE)
            commEventPending = false;
        // Nobody else changes the mask, so an aborted wait means the driver cannot watch the line
        // (Wine's pseudo-terminals end every wait so, within milliseconds); armed again it would
        // only spin. The reads go on.
        if (error == ERROR_OPERATION_ABORTED && !StopSignalled())
            watchingStatus = false;
        if (!done)
            return false;
    }
    const DWORD mask = *lpfdwEvtMask;
    if (mask & EV_ERR) {
        const auto flags = hCommFile->takeErrorFlags();
        if (!flags)
            return false;
        ReceiveError(BuildErrorText(*flags));
        return true;
    }
    if (mask & EV_RING) {
        ReceiveRing();
        return true;
    }
    if (mask & EV_TXEMPTY) {
        ReceiveTxEmpty();
        return true;
    }
    if (mask & EV_RLSD)
        if (const auto status = hCommFile->modemStatus()) {
            ReceiveRLSD(*status & MS_RLSD_ON);
            return true;
        }
    if (mask & EV_CTS)
        if (const auto status = hCommFile->modemStatus()) {
            ReceiveCTS(*status & MS_CTS_ON);
            return true;
        }
    if (mask & EV_DSR)
        if (const auto status = hCommFile->modemStatus()) {
            ReceiveDSR(*status & MS_DSR_ON);
            return true;
        }
    return false;
}
