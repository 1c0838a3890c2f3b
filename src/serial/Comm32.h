#pragma once

#include "serial/Notification.h"
#include "serial/ReadThread.h"
#include "serial/SerialDevice.h"
#include "serial/StopSignal.h"
#include "serial/WriteQueue.h"
#include "serial/WriteThread.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

// The serial port component. It opens one port, runs a reader and a writer thread on it
// and hands everything they report to the thread that called StartComm.
//
// Threading: call every member from one thread (the owner's, normally the window thread)
// and keep its event loop running. The events below are std::function members, assigned
// by the owner (`comms.OnReceiveData = [this](const char* b, int n) { ... };`); each runs
// on the owner's thread from its event loop, one at a time, in the order the workers
// posted them, never from inside StartComm, StopComm or WriteCommData. An unassigned event
// is skipped; whatever a handler throws is swallowed. A `Buffer` is valid only while the
// handler runs and is followed by one 0 byte that its length does not count. A handler may
// destroy the component (delete it, or the object that holds it): the destruction happens at
// once, and the notifications not yet handled are dropped.
//
// Port names: `CommPort` holds "COMn"; each StartComm resolves it to a device, preferring
// the link <port link folder>/ports/COMn (see setPortLinkFolder) to the ttyS/ttyUSB/ttyACM
// ranges. The device is opened exclusively. On Windows "COMn" is \\.\COMn, opened unshared
// for overlapped I/O; the reader and writer post to the same channel, so the events above reach
// the owner's thread the same way there.
class TComm32 : public QObject {
    Q_OBJECT
public:
    enum TBaudRate {
        tbr110, tbr300, tbr600, tbr1200, tbr2400, tbr4800, tbr9600, tbr14400,
        tbr19200, tbr38400, tbr56000, tbr57600, tbr115200, tbr128000, tbr256000
    };
    Q_ENUM(TBaudRate)
    enum TParity { tpNone, tpOdd, tpEven, tpMark, tpSpace };
    Q_ENUM(TParity)
    enum TDataBits { tdbFour, tdbFive, tdbSix, tdbSeven, tdbEight };
    Q_ENUM(TDataBits)
    enum TStopBits { tsbOne, tsbOnePointFive, tsbTwo };
    Q_ENUM(TStopBits)
    enum TRts { tRtsDisable, tRtsEnable, tRtsHandshake, tRtsToggle };
    Q_ENUM(TRts)
    enum TDtr { tDtrDisable, tDtrEnable, tDtrHandshake };
    Q_ENUM(TDtr)

    Q_PROPERTY(TBaudRate BaudRate READ BaudRate WRITE SetBaudRate)
    Q_PROPERTY(TParity Parity READ Parity WRITE SetParity)
    Q_PROPERTY(TDataBits DataBits READ DataBits WRITE SetDataBits)
    Q_PROPERTY(TStopBits StopBits READ StopBits WRITE SetStopBits)
    Q_PROPERTY(TRts RtsControl READ RtsControl WRITE SetRtsControl)
    Q_PROPERTY(TDtr DtrControl READ DtrControl WRITE SetDtrControl)
    Q_PROPERTY(bool XonXoff READ XonXoff WRITE SetXonXoff)
    Q_PROPERTY(bool NullStrip READ NullStrip WRITE SetNullStrip)
    Q_PROPERTY(quint32 ReadTimeout READ ReadTimeout WRITE SetReadTimeout)
    Q_PROPERTY(QString CommPort MEMBER CommPort)

    using TReceiveDataEvent = std::function<void(const char* Buffer, int BufferLength)>;
    using TReceiveErrorEvent = std::function<void(const char* Buffer, int BufferLength)>;
    using TReceiveLineEvent = std::function<void(bool on)>;
    using TNotifyEvent = std::function<void()>;

    explicit TComm32(QObject* owner = nullptr);
    ~TComm32() override;

    // Opens CommPort with the current settings and starts both threads. False when the
    // port is already open, cannot be found or opened (another program holds it), or a
    // thread cannot be started; a failure after the open gives the device back.
    bool StartComm();
    // What the last StartComm's open did; a port name that names no device fails with ENOENT.
    const serial::OpenResult& LastOpen() const { return lastOpen; }
    // Stops both threads (at most 10 s each) and closes the port; notifications not yet
    // handled are dropped. Nothing happens while the port is closed.
    void StopComm();
    // Queues a copy of the bytes for the writer and returns at once. False, queuing nothing,
    // while the port is closed or once the writer has ended (it ends when a write fails,
    // as on a vanished device). A zero-length write is true and sends nothing.
    bool WriteCommData(const char* pDataToWrite, quint16 dwSizeofDataToWrite);
    // Discards received bytes not yet handed on, and the device's receive buffer.
    void PurgeTheComms();
    bool TurnRtsOn();
    bool TurnRtsOff();
    bool TurnDtrOn();
    bool TurnDtrOff();
    bool isOpen() const { return hCommFile != nullptr; }

    // The data folder whose ports/COMn links name devices; empty means none.
    void setPortLinkFolder(std::filesystem::path folder) { portLinkFolder = std::move(folder); }
    // Makes the device objects StartComm opens; tests put one with scripted line status here.
    void setDeviceFactory(std::function<std::shared_ptr<serial::SerialDevice>()> factory)
    {
        deviceFactory = std::move(factory);
    }

    // Setters store the value; while the port is open they also apply it at once.
    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate value);
    TParity Parity() const { return FParity; }
    void SetParity(TParity value);
    TDataBits DataBits() const { return FDataBits; }
    void SetDataBits(TDataBits value);
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits value);
    TRts RtsControl() const { return FRts; }
    void SetRtsControl(TRts value);
    TDtr DtrControl() const { return FDtr; }
    void SetDtrControl(TDtr value);
    bool XonXoff() const { return FXOnXOff; }
    void SetXonXoff(bool value);
    bool NullStrip() const { return FNullStrip; }
    void SetNullStrip(bool value);
    quint32 ReadTimeout() const { return FReadTimeout; }
    void SetReadTimeout(quint32 milliseconds);

    static std::uint32_t BitsPerSecond(TBaudRate rate);

    QString CommPort = QStringLiteral("COM1");

    TReceiveDataEvent OnReceiveData;
    TReceiveErrorEvent OnReceiveError;
    TNotifyEvent OnReceiveRing;
    TNotifyEvent OnReceiveTxEmpty;
    TReceiveLineEvent OnReceiveRLSD;
    TReceiveLineEvent OnReceiveCTS;
    TReceiveLineEvent OnReceiveDSR;
    std::function<void(TComm32* sender)> OnRequestHangup;

private:
    void CommWndProc(serial::Notification& notification);
    bool StartThreads();
    // Stops the threads and closes the device; the notification window stays.
    void ReleasePort();
    void CloseReadThread();
    void CloseWriteThread();
    void DestroyWindow();

    TBaudRate FBaudRate = tbr9600;
    TParity FParity = tpNone;
    TDataBits FDataBits = tdbEight;
    TStopBits FStopBits = tsbOne;
    TRts FRts = tRtsDisable;
    TDtr FDtr = tDtrEnable;
    bool FXOnXOff = false;
    quint32 FReadTimeout = 150;
    bool FNullStrip = false;
    std::shared_ptr<TReadThread> ReadThread;
    std::shared_ptr<TWriteThread> WriteThread;
    std::shared_ptr<serial::SerialDevice> hCommFile;
    std::shared_ptr<serial::StopSignal> hCloseEvent;
    serial::CommWindow* FHWnd = nullptr;
    bool FHWndAllocated = false;

    std::shared_ptr<serial::NotificationChannel> channel;
    std::shared_ptr<serial::ReaderControl> readerControl;
    std::shared_ptr<serial::WriteQueue> writeQueue;
    std::filesystem::path portLinkFolder;
    serial::OpenResult lastOpen;
    std::function<std::shared_ptr<serial::SerialDevice>()> deviceFactory;
    int dispatching = 0;
    // Expires with the component; the dispatch of a handler that destroyed it checks this.
    std::shared_ptr<void> aliveToken = std::make_shared<int>(0);
};
