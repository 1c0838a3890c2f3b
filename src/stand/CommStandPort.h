#pragma once

#include "serial/Comm32.h"
#include "stand/StandPort.h"

// The serial component as the stand controller's port.
class CommStandPort : public StandPort {
public:
    explicit CommStandPort(const QString& dataFolder);

    Opened StartComm(const QString& portName, int baudRate, int dataBits, int readTimeoutMs) override;
    void StopComm() override;
    bool WriteCommData(const QByteArray& block) override;

    TComm32 Comms1;
};
