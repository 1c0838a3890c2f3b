#pragma once

#include "stand/StandPort.h"

#include <QStringList>

#include <stdexcept>

// Stands in for the serial component: records what the controller opens and writes.
class RecordingPort : public StandPort {
public:
    bool opens = true;
    bool throwOnStart = false;
    int starts = 0;
    int stops = 0;
    QString portName;
    int baudRate = 0;
    int dataBits = 0;
    int readTimeoutMs = 0;
    QList<QByteArray> written;

    Opened StartComm(const QString& name, int baud, int bits, int timeoutMs) override
    {
        ++starts;
        if (throwOnStart)
            throw std::runtime_error("port layer failed");
        portName = name;
        baudRate = baud;
        dataBits = bits;
        readTimeoutMs = timeoutMs;
        return {opens, {}};
    }
    void StopComm() override { ++stops; }
    bool WriteCommData(const QByteArray& block) override
    {
        written << block;
        return true;
    }

    // Everything written since the last call.
    QList<QByteArray> Take()
    {
        QList<QByteArray> out;
        out.swap(written);
        return out;
    }
};
