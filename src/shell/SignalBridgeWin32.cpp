#include "shell/SignalBridge.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <windows.h>

namespace {

// Requests since the start, and the count up to which they belonged to a bridge that has ended.
int requestCount = 0;
int answeredCount = 0;

} // namespace

// Answers the session's end on behalf of the program, before Qt's own handling would quit the
// event loop without the close.
class SignalBridge::SessionEndFilter : public QAbstractNativeEventFilter {
public:
    explicit SessionEndFilter(SignalBridge& bridge) : bridge_(bridge) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override
    {
        if (eventType != "windows_generic_MSG")
            return false;
        const MSG& msg = *static_cast<const MSG*>(message);
        if (msg.message == WM_QUERYENDSESSION) {
            if (!inRound_) {
                inRound_ = true;
                ++requestCount;
                // Queued, so that the close and its questions run from the event loop and the
                // system has its answer now.
                QMetaObject::invokeMethod(
                    &bridge_, [this] {
                        if (bridge_.onSignal_)
                            bridge_.onSignal_();
                    },
                    Qt::QueuedConnection);
            }
            *result = TRUE;
            return true;
        }
        if (msg.message == WM_ENDSESSION) {
            inRound_ = false;
            if (msg.wParam && !ended_) {
                ended_ = true;
                ++requestCount;
                if (bridge_.onEnd_)
                    bridge_.onEnd_();
                else if (bridge_.onSignal_)
                    bridge_.onSignal_();
            }
            *result = 0;
            return true;
        }
        return false;
    }

private:
    SignalBridge& bridge_;
    bool inRound_ = false;  // the session's end was asked for and neither ended nor was called off
    bool ended_ = false;
};

void SignalBridge::installHandlers()
{
    // Windows tells the session's end to the windows, which the application's filter watches.
}

SignalBridge::SignalBridge(QObject* parent) : QObject(parent)
{
    countAtStart_ = answeredCount;
    sessionEnd_ = new SessionEndFilter(*this);
    QCoreApplication::instance()->installNativeEventFilter(sessionEnd_);
}

SignalBridge::~SignalBridge()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(sessionEnd_);
    delete sessionEnd_;
    answeredCount = requestCount;
}

bool SignalBridge::received() const
{
    return requestCount != countAtStart_;
}
