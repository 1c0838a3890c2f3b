#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Turns the system's requests to end the program into calls on the window thread, so that a
// log-out or Ctrl+C ends the program in order instead of by the system's default action.
// On Linux the requests are SIGTERM and SIGINT. The signal handlers and the descriptor pair they
// write to are installed once, by the first bridge, and kept for the life of the process: a
// signal that arrives while a bridge is being torn down or after it is gone is still caught and
// never meets a closed descriptor.
// On Windows they are the end of the session: the first WM_QUERYENDSESSION of a round (every
// top-level window gets one) is a request, and WM_ENDSESSION, after which the system may end the
// process at once, goes to the end handler before it is answered.
class SignalBridge : public QObject {
    Q_OBJECT
public:
    explicit SignalBridge(QObject* parent = nullptr);
    ~SignalBridge() override;

    // Catches the signals from now on; the first thing the program does, before even the
    // application object exists. A bridge made later sees the signals caught since then.
    static void installHandlers();

    // What each signal does from now on; called once per signal, in order, from the event loop.
    void setHandler(std::function<void()> onSignal) { onSignal_ = std::move(onSignal); }
    // What the session's end does where the system ends the process right after telling it
    // (Windows): called once, on the window thread, at once; without it the end is one more
    // request to the handler above.
    void setEndHandler(std::function<void()> onEnd) { onEnd_ = std::move(onEnd); }

    // A signal arrived since the handlers were installed (or since the previous bridge ended),
    // whether or not the event loop has seen it.
    bool received() const;

private:
    class SessionEndFilter;

    std::function<void()> onSignal_;
    std::function<void()> onEnd_;
    QSocketNotifier* notifier_ = nullptr;
    SessionEndFilter* sessionEnd_ = nullptr;
    int countAtStart_ = 0;
};
