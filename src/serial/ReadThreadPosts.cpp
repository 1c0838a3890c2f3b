#include "serial/ReadThread.h"

// What the reader hands on, the same on every platform: one notification each.

using namespace serial;

bool TReadThread::ReceiveData(std::vector<char> block, std::size_t count)
{
    return hComm32Window->post({msgCommData, static_cast<std::uint32_t>(count), 0, std::move(block)});
}

bool TReadThread::ReceiveError(const std::string& text)
{
    rx_error_str = text;
    return hComm32Window->post(
        {msgCommError, static_cast<std::uint32_t>(text.size()), 0, MakeBlock(text.data(), text.size())});
}

bool TReadThread::Post(int code, bool flag)
{
    return hComm32Window->post({code, 0, flag ? 1u : 0u, {}});
}

bool TReadThread::ReceiveRing()
{
    return Post(msgRing);
}

bool TReadThread::ReceiveTxEmpty()
{
    return Post(msgTxEmpty);
}

bool TReadThread::ReceiveRLSD(bool rlsd)
{
    return Post(msgRlsd, rlsd);
}

bool TReadThread::ReceiveCTS(bool cts)
{
    return Post(msgCts, cts);
}

bool TReadThread::ReceiveDSR(bool dsr)
{
    return Post(msgDsr, dsr);
}

void TReadThread::PostHangupCall()
{
    Post(msgHangup);
}
