#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into calls on the window thread, so that a log-out or Ctrl+C ends the
// program in order instead of by the signal's default action. The signal handlers and the
// descriptor pair they write to are installed once, by the first bridge, and kept for the life
// of the process: a signal that arrives while a bridge is being torn down or after it is gone
// is still caught and never meets a closed descriptor.
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

    // A signal arrived since the handlers were installed (or since the previous bridge ended),
    // whether or not the event loop has seen it.
    bool received() const;

private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
    int countAtStart_ = 0;
};
