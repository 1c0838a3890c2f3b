// The serial component alone on a COM port, for the tests that run it under Wine: each stdin
// line is a block in hexadecimal to write, or "purge"; stdout gets "open", "data <hex>", "error <text>" and
// "hangup" as they happen. After a failed open or a hang-up the port is tried again every
// 100 ms, as the stand controller does, so a replugged line comes back by itself.
#include "serial/Comm32.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

namespace {

void say(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TComm32 comms;
    comms.CommPort = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("COM1");
    comms.SetReadTimeout(20);
    QTimer retry;
    retry.setInterval(100);
    QObject::connect(&retry, &QTimer::timeout, [&] {
        if (comms.StartComm()) {
            retry.stop();
            say("open");
        }
    });
    comms.OnReceiveData = [](const char* buffer, int length) { say("data " + QByteArray(buffer, length).toHex()); };
    comms.OnReceiveError = [](const char* buffer, int length) { say("error " + QByteArray(buffer, length)); };
    comms.OnRequestHangup = [&](TComm32*) {
        say("hangup");
        comms.StopComm();
        retry.start();
    };

    std::thread input([&] {
        for (std::string line; std::getline(std::cin, line);) {
            const QByteArray text = QByteArray::fromStdString(line).trimmed();
            QMetaObject::invokeMethod(&comms, [&comms, text] {
                const QByteArray block = QByteArray::fromHex(text);
                if (text == "purge")
                    comms.PurgeTheComms();
                else if (!comms.WriteCommData(block.constData(), static_cast<quint16>(block.size())))
                    say("refused");
            });
        }
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit);
    });
    input.detach();
    QTimer::singleShot(0, &retry, [&] { retry.start(); });
    return app.exec();
}
