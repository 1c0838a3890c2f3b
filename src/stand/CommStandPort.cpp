#include "stand/CommStandPort.h"

#include "serial/PortPermission.h"

#include <QFile>

namespace {

TComm32::TBaudRate baudRateFor(int bitsPerSecond)
{
    for (int rate = TComm32::tbr110; rate <= TComm32::tbr256000; ++rate)
        if (TComm32::BitsPerSecond(static_cast<TComm32::TBaudRate>(rate)) == static_cast<std::uint32_t>(bitsPerSecond))
            return static_cast<TComm32::TBaudRate>(rate);
    return TComm32::tbr9600;
}

TComm32::TDataBits dataBitsFor(int bits)
{
    return static_cast<TComm32::TDataBits>(std::clamp(bits, 4, 8) - 4);
}

} // namespace

CommStandPort::CommStandPort(const QString& dataFolder)
{
    Comms1.setPortLinkFolder(std::filesystem::path(QFile::encodeName(dataFolder).toStdString()));
    Comms1.OnRequestHangup = [this](TComm32*) {
        if (OnHangup)
            OnHangup();
    };
}

StandPort::Opened CommStandPort::StartComm(const QString& portName, int baudRate, int dataBits, int readTimeoutMs)
{
    Comms1.SetBaudRate(baudRateFor(baudRate));
    Comms1.SetDataBits(dataBitsFor(dataBits));
    Comms1.SetReadTimeout(static_cast<quint32>(readTimeoutMs));
    Comms1.CommPort = portName;
    if (Comms1.StartComm())
        return {true, {}};
    return {false, QString::fromStdString(serial::PortPermissionLine(Comms1.LastOpen()))};
}

void CommStandPort::StopComm()
{
    Comms1.StopComm();
}

bool CommStandPort::WriteCommData(const QByteArray& block)
{
    return Comms1.WriteCommData(block.constData(), static_cast<quint16>(block.size()));
}
