#include "shell/HelpKey.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

int helpContextOf(const QWidget* widget)
{
    for (; widget; widget = widget->parentWidget()) {
        const QVariant context = widget->property("helpContext");
        if (context.isValid())
            return context.toInt();
    }
    return 0;
}

HelpKeyFilter::HelpKeyFilter(std::function<void(int)> showContext, QObject* parent)
    : QObject(parent), showContext_(std::move(showContext))
{
}

bool HelpKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1)
        return QObject::eventFilter(watched, event);
    // A key goes to the window first and then to its focused widget; the focused widget decides.
    QWidget* focused = qobject_cast<QWidget*>(watched);
    if (!focused)
        focused = QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
    const int context = helpContextOf(focused);
    if (context == 0)
        return QObject::eventFilter(watched, event);
    showContext_(context);
    return true;
}
