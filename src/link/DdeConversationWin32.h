#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The client's side of a DDEML conversation, on a thread of its own: connecting sends to every
// top-level window and waits for each, and ending waits for the partner's acknowledgement, so a
// hung window of any program would otherwise hold the window thread up. Every call returns at
// once; its work is queued to that thread, and what comes back is queued to the thread that made
// the conversation, with the number of the set-up it belongs to, so that a late answer can be
// told apart.
class DdeConversation {
public:
    enum class Answer { Advise, Request };
    struct Events {
        // Connecting ended; when it opened a conversation, whether the advise start is on its way.
        std::function<void(int setup, bool opened, bool adviseStarted)> connected;
        std::function<void(int setup, Answer answer, bool done)> answered;
        // Some program registered `service` (a partner that was just started, perhaps).
        std::function<void()> registered;
        // The partner ended the conversation, or stopped taking the announcements.
        std::function<void(int setup)> closed;
    };

    explicit DdeConversation(Events events);
    // Ends, and waits a moment for the thread; one held up by a hung window is left to the
    // process's end, and what it still reports reaches nobody.
    ~DdeConversation();
    DdeConversation(const DdeConversation&) = delete;
    DdeConversation& operator=(const DdeConversation&) = delete;

    // Ends any conversation, then connects to `service` on the topic and starts the advise link
    // of the item.
    void Open(int setup, const QString& service, const QString& topic, const QString& item);
    // Requests the item's value; answered at once as not done when it cannot be sent.
    void Request(int setup);
    void Poke(int setup, const QByteArray& text);
    // Ends the conversation; the instance stays, to hear a partner register.
    void Drop();
    // Ends the conversation and the instance it lives in.
    void End();

private:
    struct Worker;
    Worker* worker_;
};
