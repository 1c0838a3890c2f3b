#include "serial/ReadThread.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <poll.h>

using namespace serial;

namespace {

int millisecondsUntil(std::chrono::steady_clock::time_point when, std::chrono::steady_clock::time_point now)
{
    if (when <= now)
        return 0;
    // Round up, so the wait never ends just before the deadline and spins once more.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(when - now).count());
}

}  // namespace

TReadThread::TReadThread(std::shared_ptr<SerialDevice> device, std::shared_ptr<StopSignal> stop,
                         std::shared_ptr<NotificationChannel> window, std::shared_ptr<ReaderControl> control)
    : hCommFile(std::move(device)), hCloseEvent(std::move(stop)), hComm32Window(std::move(window)),
      control(std::move(control))
{
    collected.reserve(bufferSize + 1);
    // The first look is taken here, before the thread runs, so that a change right after
    // StartComm is measured against the line as it was at the open.
    watchStatus = StartStatusWatch();
}

void TReadThread::Execute()
{
    std::array<std::uint8_t, bufferSize> raw{};
    std::array<char, bufferSize + 1> decoded{};
    ParmrkDecoder decoder;
    auto lastByte = Clock::now();
    auto nextLook = lastByte + statusInterval;
    std::uint32_t purgesSeen = control->purgeCount.load();

    for (;;) {
        const auto now = Clock::now();
        const auto readTimeout = std::chrono::milliseconds(control->readTimeoutMs.load());
        int timeout = collected.empty() ? -1 : millisecondsUntil(lastByte + readTimeout, now);
        if (watchStatus) {
            const int untilLook = millisecondsUntil(nextLook, now);
            timeout = timeout < 0 ? untilLook : std::min(timeout, untilLook);
        }
        pollfd fds[2] = {{hCloseEvent->fd(), POLLIN, 0}, {hCommFile->fd(), POLLIN, 0}};
        if (poll(fds, 2, timeout) < 0) {
            if (errno == EINTR)
                continue;
            PostHangupCall();
            break;
        }
        if (fds[0].revents != 0)
            break;
        if (const auto purges = control->purgeCount.load(); purges != purgesSeen) {
            purgesSeen = purges;
            collected.clear();
        }
        if (fds[1].revents & POLLNVAL) {
            PostHangupCall();
            break;
        }
        if (fds[1].revents != 0) {
            const IoResult result = hCommFile->read(raw.data(), bufferSize - collected.size());
            if (result.count > 0) {
                lastByte = Clock::now();
                const auto out = decoder.decode(raw.data(), static_cast<std::size_t>(result.count), decoded.data());
                if (out.marks > 0)
                    ReportMarkedErrors(out);
                if (!HandleReadData(decoded.data(), out.length))
                    break;
            } else if (result.count == 0 || (fds[1].revents & (POLLHUP | POLLERR))
                       || (result.error != EAGAIN && result.error != EINTR)) {
                // The device is gone: hand on what arrived before it went.
                FlushCollected();
                PostHangupCall();
                break;
            }
        }
        if (!collected.empty() && Clock::now() - lastByte >= readTimeout && !FlushCollected())
            break;
        if (watchStatus && Clock::now() >= nextLook) {
            HandleCommEvent();
            nextLook = Clock::now() + statusInterval;
        }
    }
    hCommFile->purgeInput();
}

bool TReadThread::HandleReadData(const char* bytes, std::size_t count)
{
    const bool strip = control->nullStrip.load();
    for (std::size_t i = 0; i < count; ++i) {
        if (strip && bytes[i] == 0)
            continue;
        collected.push_back(bytes[i]);
        if (collected.size() == bufferSize && !FlushCollected())
            return false;
    }
    return true;
}

bool TReadThread::FlushCollected()
{
    if (collected.empty())
        return true;
    const std::size_t count = collected.size();
    auto block = MakeBlock(collected.data(), count);
    collected.clear();
    return ReceiveData(std::move(block), count);
}

bool TReadThread::StartStatusWatch()
{
    if (const auto counters = hCommFile->errorCounters()) {
        watchCounters = true;
        lastCounters = *counters;
    }
    if (const auto modem = hCommFile->modemStatus()) {
        watchModem = true;
        lastModem = *modem;
    }
    // Without counters or modem lines (pseudo-terminals) there is nothing to look at, and the
    // reader sleeps until data or the stop descriptor wakes it.
    if (!watchCounters && !watchModem)
        return false;
    if (const auto output = hCommFile->outputPending()) {
        watchOutput = true;
        lastOutput = *output;
    }
    return true;
}

void TReadThread::HandleCommEvent()
{
    if (watchCounters) {
        if (const auto counters = hCommFile->errorCounters()) {
            const std::uint32_t flags = ErrorFlagsBetween(lastCounters, *counters);
            lastCounters = *counters;
            if (flags != 0)
                ReceiveError(BuildErrorText(flags));
        }
    }
    std::optional<std::uint32_t> modem;
    std::uint32_t changed = 0;
    if (watchModem && (modem = hCommFile->modemStatus())) {
        changed = *modem ^ lastModem;
        lastModem = *modem;
    }
    if ((changed & modemRing) && (*modem & modemRing))
        ReceiveRing();
    if (watchOutput) {
        if (const auto output = hCommFile->outputPending()) {
            if (lastOutput > 0 && *output == 0)
                ReceiveTxEmpty();
            lastOutput = *output;
        }
    }
    if (changed & modemCarrier)
        ReceiveRLSD(*modem & modemCarrier);
    if (changed & modemCts)
        ReceiveCTS(*modem & modemCts);
    if (changed & modemDsr)
        ReceiveDSR(*modem & modemDsr);
}

void TReadThread::ReportMarkedErrors(const ParmrkDecoder::Output& decoded)
{
    if (watchCounters) {
        // The counters tell which error it was; an overrun leaves no mark of its own.
        HandleCommEvent();
        return;
    }
    const std::uint32_t flags =
        decoded.breakMarked ? errorBreak : (control->parityChecked.load() ? errorParity : errorFraming);
    for (unsigned i = 0; i < decoded.marks; ++i)
        ReceiveError(BuildErrorText(flags));
}
