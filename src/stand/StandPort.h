#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The serial port as the stand controller uses it; the main window adapts the serial
// component to this.
class StandPort {
public:
    virtual ~StandPort() = default;
    // False when the port does not open.
    virtual bool StartComm(const QString& portName, int baudRate, int dataBits, int readTimeoutMs) = 0;
    virtual void StopComm() = 0;
    virtual bool WriteCommData(const QByteArray& block) = 0;

    // Set by the stand controller; the port calls it on the owner's thread when the open
    // line has gone (adapter pulled, far end closed). The port stays open until StopComm.
    std::function<void()> OnHangup;
};
