#pragma once

#include <QByteArray>
#include <QString>

// The serial port as the stand controller uses it; the main window adapts the serial
// component to this.
class StandPort {
public:
    virtual ~StandPort() = default;
    // False when the port does not open.
    virtual bool StartComm(const QString& portName, int baudRate, int dataBits, int readTimeoutMs) = 0;
    virtual void StopComm() = 0;
    virtual bool WriteCommData(const QByteArray& block) = 0;
};
