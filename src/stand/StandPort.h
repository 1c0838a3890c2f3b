#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The serial port as the stand controller uses it; the main window adapts the serial
// component to this.
class StandPort {
public:
    virtual ~StandPort() = default;
    // What StartComm did: opened, or not with a line for the operator on why (empty when there
    // is nothing to add to the failure message).
    struct Opened {
        bool opened = false;
        QString failure;
    };

    virtual Opened StartComm(const QString& portName, int baudRate, int dataBits, int readTimeoutMs) = 0;
    virtual void StopComm() = 0;
    virtual bool WriteCommData(const QByteArray& block) = 0;

    // Set by the stand controller; the port calls it on the owner's thread when the open
    // line has gone (adapter pulled, far end closed). The port stays open until StopComm.
    std::function<void()> OnHangup;
};
