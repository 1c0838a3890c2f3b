#pragma once

#include <QEvent>
#include <QObject>

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

// Codes carried from the worker threads to the component and from it to the writer.
enum NotificationCode : int {
    msgCommData = 1025,
    msgHangup = 1026,
    msgCommError = 1027,
    msgWriteData = 1028,
    msgRing = 1029,
    msgRlsd = 1030,
    msgCts = 1031,
    msgDsr = 1032,
    msgTxEmpty = 1033,
};

namespace serial {

// One posted notification. A data or error block owns its bytes and ends with one 0
// byte that `count` does not include; it is released with the notification.
struct Notification {
    int code = 0;
    std::uint32_t count = 0;
    std::uint32_t flag = 0;
    std::vector<char> block;
};

// Makes a zero-filled block holding `size` bytes and one 0 byte after them.
std::vector<char> MakeBlock(const char* bytes, std::size_t size);

// The receiving end on the owner's thread: runs `procedure` for each notification, one at
// a time, in posting order (the event loop's queue keeps the order).
class CommWindow : public QObject {
public:
    explicit CommWindow(std::function<void(Notification&)> procedure);
    bool event(QEvent* event) override;

private:
    std::function<void(Notification&)> procedure_;
};

// Shared by the workers and the owner. Posting never waits for the owner; after close()
// notifications are dropped, so a thread left running cannot reach a destroyed window.
class NotificationChannel {
public:
    explicit NotificationChannel(QObject* target);
    bool post(Notification notification);
    void close();

private:
    std::mutex mutex_;
    QObject* target_;
};

}  // namespace serial
