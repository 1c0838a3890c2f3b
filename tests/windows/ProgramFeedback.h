#pragma once

#include "StandsimRun.h"
#include "osc/OscPacket.h"
#include "osc/UdpSocket.h"

#include <QTest>

#include <map>

// A configuration for eight stands on COM1, with show control on: takes arrive on `listenPort`,
// the stands' state goes out to `feedbackPort`.
inline QByteArray showControlSettings(std::uint16_t listenPort, std::uint16_t feedbackPort)
{
    return QStringLiteral("[Main]\nCom Port Number=1\nStands Displayed=8\nScale Factor=94\n"
                          "[Show Control]\nOSC Enabled=1\nOSC Listen Port=%1\nOSC Feedback Host=127.0.0.1\n"
                          "OSC Feedback Port=%2\n[Run Order]\nR0=0\nR1=1\n")
        .arg(listenPort)
        .arg(feedbackPort)
        .toUtf8();
}

// The program's OSC feedback: the last "online" value of each stand.
struct Feedback {
    UdpSocket socket;
    std::map<int, int> online;

    void collect()
    {
        while (const auto datagram = socket.Receive()) {
            const auto messages = parseOscPacket(
                QByteArray(reinterpret_cast<const char*>(datagram->bytes.data()), qsizetype(datagram->bytes.size())));
            for (const OscMessage& m : messages.value_or(std::vector<OscMessage>{})) {
                const QList<QByteArray> parts = m.address.split('/');
                if (parts.size() == 5 && parts[3].toInt() > 0 && parts[4] == "online" && !m.arguments.empty())
                    if (const auto* value = std::get_if<qint32>(&m.arguments.front()))
                        online[parts[3].toInt()] = *value;
            }
        }
    }
    bool allAre(int value, int ms)
    {
        return QTest::qWaitFor(
            [&] {
                collect();
                for (int stand = 1; stand <= 8; ++stand)
                    if (online.count(stand) == 0 || online[stand] != value)
                        return false;
                return true;
            },
            ms);
    }
};

// How many of the eight stands the simulator saw a Take frame for.
inline int takeFramesIn(const StandsimRun& sim)
{
    int stands = 0;
    for (int stand = 1; stand <= 8; ++stand)
        stands += sim.frames().contains(QStringLiteral(" IN *%1A").arg(stand).toLatin1()) ? 1 : 0;
    return stands;
}
