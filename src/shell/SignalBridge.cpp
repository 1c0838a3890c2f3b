#include "shell/SignalBridge.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalSockets[2] = {-1, -1};
volatile std::sig_atomic_t signalCount = 0;
// The count up to which signals belonged to a bridge that has ended.
std::sig_atomic_t answeredCount = 0;

// Async-signal-safe: a counter, one non-blocking write, errno kept for the code it interrupted.
void handleSignal(int)
{
    const int savedErrno = errno;
    signalCount = signalCount + 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalSockets[1], &byte, 1);
    errno = savedErrno;
}

void drain()
{
    char bytes[64];
    while (::read(signalSockets[0], bytes, sizeof bytes) > 0) {
    }
}

} // namespace

void SignalBridge::installHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Without the pair nothing would carry a signal to the window thread; the default
        // action then at least ends the program.
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalSockets) != 0) {
            signalSockets[0] = signalSockets[1] = -1;
            return;
        }
        struct sigaction action {};
        action.sa_handler = handleSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGINT, &action, nullptr);
    });
}

SignalBridge::SignalBridge(QObject* parent) : QObject(parent)
{
    installHandlers();
    countAtStart_ = answeredCount;
    if (signalSockets[0] < 0)
        return;
    notifier_ = new QSocketNotifier(signalSockets[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        ssize_t n = 0;
        while ((n = ::read(signalSockets[0], bytes, sizeof bytes)) > 0)
            // Queued one by one, so that a second signal reaches its handler while the first
            // one's handler still waits in a question box.
            for (ssize_t i = 0; i < n; ++i)
                QMetaObject::invokeMethod(
                    this, [this] {
                        if (onSignal_)
                            onSignal_();
                    },
                    Qt::QueuedConnection);
    });
}

SignalBridge::~SignalBridge()
{
    if (signalSockets[0] >= 0)
        drain();
    answeredCount = signalCount;
}

bool SignalBridge::received() const
{
    return signalCount != countAtStart_;
}
