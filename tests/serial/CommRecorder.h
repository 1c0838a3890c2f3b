#pragma once

// Records what a TComm32 hands to its owner.

#include "serial/Comm32.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

struct CommRecorder {
    QList<QByteArray> blocks;
    int blocksWithoutTrailingZero = 0;
    QStringList errors;
    int hangups = 0;

    void attach(TComm32& comm)
    {
        comm.OnReceiveData = [this](const char* buffer, int length) {
            blocks.append(QByteArray(buffer, length));
            if (buffer[length] != 0)
                ++blocksWithoutTrailingZero;
        };
        comm.OnReceiveError = [this](const char* buffer, int length) {
            errors.append(QString::fromLatin1(buffer, length));
            if (buffer[length] != 0)
                ++blocksWithoutTrailingZero;
        };
        comm.OnRequestHangup = [this](TComm32*) { ++hangups; };
    }

    QByteArray joined() const
    {
        QByteArray all;
        for (const auto& block : blocks)
            all += block;
        return all;
    }
};
