#include "serial/Comm32.h"

#include "serial/PortName.h"

#include <QCoreApplication>

#include <cerrno>
#include <chrono>
#include <exception>

using namespace serial;

namespace {

constexpr std::chrono::milliseconds threadStopLimit{10000};

}  // namespace

TComm32::TComm32(QObject* owner) : QObject(owner) {}

TComm32::~TComm32()
{
    StopComm();
    DestroyWindow();
}

std::uint32_t TComm32::BitsPerSecond(TBaudRate rate)
{
    static constexpr std::uint32_t rates[] = {110,   300,   600,   1200,   2400,   4800,   9600,  14400,
                                              19200, 38400, 56000, 57600, 115200, 128000, 256000};
    const auto index = static_cast<std::size_t>(rate);
    return index < std::size(rates) ? rates[index] : 9600;
}

bool TComm32::StartComm()
{
    if (!FHWndAllocated) {
        FHWnd = new CommWindow([this](Notification& n) { CommWndProc(n); });
        FHWndAllocated = true;
    }
    if (isOpen())
        return false;
    try {
        lastOpen = {ENOENT, {}};
        const auto path = ResolvePortName(CommPort.toStdString(), portLinkFolder);
        if (!path)
            return false;
        auto device = deviceFactory ? deviceFactory() : std::make_shared<SerialDevice>();
        if (!device)
            return false;
        lastOpen = device->open(*path);
        if (!lastOpen)
            return false;
        auto stop = std::make_shared<StopSignal>();
        auto queue = std::make_shared<WriteQueue>();
        if (!stop->valid() || !queue->valid())
            return false;

        hCommFile = std::move(device);
        hCloseEvent = std::move(stop);
        writeQueue = std::move(queue);
        readerControl = std::make_shared<ReaderControl>();
        if (StartThreads())
            return true;
    } catch (...) {
    }
    // Whatever was taken before the failure is given back, so the next StartComm can succeed.
    ReleasePort();
    return false;
}

bool TComm32::StartThreads()
{
    SetReadTimeout(FReadTimeout);
    SetBaudRate(FBaudRate);
    SetParity(FParity);
    SetDataBits(FDataBits);
    SetStopBits(FStopBits);
    SetXonXoff(FXOnXOff);
    SetNullStrip(FNullStrip);
    SetRtsControl(FRts);
    SetDtrControl(FDtr);

    channel = std::make_shared<NotificationChannel>(FHWnd);
    auto reader = std::make_shared<TReadThread>(hCommFile, hCloseEvent, channel, readerControl);
    if (!reader->Start())
        return false;
    ReadThread = std::move(reader);
    auto writer = std::make_shared<TWriteThread>(hCommFile, hCloseEvent, channel, writeQueue);
    if (!writer->Start())
        return false;
    WriteThread = std::move(writer);
    return true;
}

void TComm32::StopComm()
{
    if (!isOpen())
        return;
    ReleasePort();
    DestroyWindow();
}

void TComm32::ReleasePort()
{
    CloseReadThread();
    CloseWriteThread();
    // A thread left running keeps its own reference and the device closes when it ends;
    // closing the descriptor under it could let it read a file that reuses the number.
    if (hCommFile && hCommFile.use_count() == 1)
        hCommFile->close();
    hCommFile.reset();
    hCloseEvent.reset();
    writeQueue.reset();
    readerControl.reset();
    if (channel)
        channel->close();
    channel.reset();
}

void TComm32::CloseReadThread()
{
    if (!ReadThread)
        return;
    if (hCloseEvent)
        hCloseEvent->signal();
    PurgeTheComms();
    if (!ReadThread->WaitFor(threadStopLimit))
        ReadThread->Abandon();
    ReadThread.reset();
}

void TComm32::CloseWriteThread()
{
    if (!WriteThread)
        return;
    if (hCloseEvent)
        hCloseEvent->signal();
    if (hCommFile)
        hCommFile->purgeOutput();
    if (!WriteThread->WaitFor(threadStopLimit))
        WriteThread->Abandon();
    WriteThread.reset();
}

void TComm32::DestroyWindow()
{
    if (!FHWndAllocated)
        return;
    FHWndAllocated = false;
    // Deleting the window drops the notifications still queued for it. Inside one of its
    // own handlers it must outlive the handler, so it is disarmed and deleted later.
    if (dispatching > 0) {
        QCoreApplication::removePostedEvents(FHWnd);
        FHWnd->deleteLater();
    } else {
        delete FHWnd;
    }
    FHWnd = nullptr;
}

bool TComm32::WriteCommData(const char* pDataToWrite, quint16 dwSizeofDataToWrite)
{
    if (!WriteThread || !writeQueue)
        return false;
    try {
        if (dwSizeofDataToWrite > 0 && !pDataToWrite)
            return false;
        return writeQueue->post(
            {msgWriteData, dwSizeofDataToWrite, 0, MakeBlock(pDataToWrite, dwSizeofDataToWrite)});
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void TComm32::PurgeTheComms()
{
    if (!isOpen())
        return;
    hCommFile->purgeInput();
    ++readerControl->purgeCount;
}

bool TComm32::TurnRtsOn()
{
    return isOpen() && hCommFile->setRts(true);
}

bool TComm32::TurnRtsOff()
{
    return isOpen() && hCommFile->setRts(false);
}

bool TComm32::TurnDtrOn()
{
    return isOpen() && hCommFile->setDtr(true);
}

bool TComm32::TurnDtrOff()
{
    return isOpen() && hCommFile->setDtr(false);
}

void TComm32::SetBaudRate(TBaudRate value)
{
    FBaudRate = value;
    if (isOpen())
        hCommFile->setBaudRate(BitsPerSecond(value));
}

void TComm32::SetParity(TParity value)
{
    FParity = value;
    if (!isOpen())
        return;
    readerControl->parityChecked = value != tpNone;
    hCommFile->setParity(static_cast<int>(value));
}

void TComm32::SetDataBits(TDataBits value)
{
    FDataBits = value;
    if (isOpen())
        hCommFile->setDataBits(static_cast<int>(value) + 4);
}

void TComm32::SetStopBits(TStopBits value)
{
    FStopBits = value;
    if (isOpen())
        hCommFile->setStopBits(static_cast<int>(value));
}

void TComm32::SetRtsControl(TRts value)
{
    FRts = value;
    if (isOpen())
        hCommFile->setRtsControl(static_cast<int>(value));
}

void TComm32::SetDtrControl(TDtr value)
{
    FDtr = value;
    if (isOpen())
        hCommFile->setDtrControl(static_cast<int>(value));
}

void TComm32::SetXonXoff(bool value)
{
    FXOnXOff = value;
    if (isOpen())
        hCommFile->setReceiveXonXoff(value);
}

void TComm32::SetNullStrip(bool value)
{
    FNullStrip = value;
    if (!isOpen())
        return;
    readerControl->nullStrip = value;
    hCommFile->setNullStrip(value);
}

void TComm32::SetReadTimeout(quint32 milliseconds)
{
    FReadTimeout = milliseconds;
    if (!isOpen())
        return;
    readerControl->readTimeoutMs = milliseconds;
    hCommFile->setReadInterval(milliseconds);
}

void TComm32::CommWndProc(Notification& notification)
{
    // A handler may destroy the component. Each handler runs from a copy, so its own
    // captures outlive it, and nothing of the component is touched once `alive` is gone.
    const std::weak_ptr<void> alive = aliveToken;
    ++dispatching;
    try {
        switch (notification.code) {
        case msgCommData:
            if (auto handler = OnReceiveData)
                handler(notification.block.data(), static_cast<int>(notification.count & 0xFFFF));
            break;
        case msgHangup:
            if (auto handler = OnRequestHangup)
                handler(this);
            break;
        case msgCommError:
            if (auto handler = OnReceiveError)
                handler(notification.block.data(), static_cast<int>(notification.count));
            break;
        case msgRing:
            if (auto handler = OnReceiveRing)
                handler();
            break;
        case msgRlsd:
            if (auto handler = OnReceiveRLSD)
                handler(notification.flag != 0);
            break;
        case msgCts:
            if (auto handler = OnReceiveCTS)
                handler(notification.flag != 0);
            break;
        case msgDsr:
            if (auto handler = OnReceiveDSR)
                handler(notification.flag != 0);
            break;
        case msgTxEmpty:
            if (auto handler = OnReceiveTxEmpty)
                handler();
            break;
        default:
            break;
        }
    } catch (...) {
        // A handler's failure must not stop the notifications that follow.
    }
    if (!alive.expired())
        --dispatching;
}
