#include "serial/Notification.h"

#include <QCoreApplication>

#include <cstring>

namespace serial {

namespace {

const QEvent::Type notificationEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class NotificationEvent : public QEvent {
public:
    explicit NotificationEvent(Notification n) : QEvent(notificationEventType), notification(std::move(n)) {}
    Notification notification;
};

}  // namespace

std::vector<char> MakeBlock(const char* bytes, std::size_t size)
{
    std::vector<char> block(size + 1, 0);
    if (size > 0)
        std::memcpy(block.data(), bytes, size);
    return block;
}

CommWindow::CommWindow(std::function<void(Notification&)> procedure) : procedure_(std::move(procedure)) {}

bool CommWindow::event(QEvent* event)
{
    if (event->type() != notificationEventType)
        return QObject::event(event);
    procedure_(static_cast<NotificationEvent*>(event)->notification);
    return true;
}

NotificationChannel::NotificationChannel(QObject* target) : target_(target) {}

bool NotificationChannel::post(Notification notification)
{
    std::lock_guard lock(mutex_);
    if (!target_)
        return false;
    QCoreApplication::postEvent(target_, new NotificationEvent(std::move(notification)));
    return true;
}

void NotificationChannel::close()
{
    std::lock_guard lock(mutex_);
    target_ = nullptr;
}

}  // namespace serial
