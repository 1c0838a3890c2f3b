#pragma once

#include <QObject>
#include <functional>

class QWidget;

// The help context of a widget: its dynamic property "helpContext", or that of its nearest
// ancestor that has one; 0 when none has.
int helpContextOf(const QWidget* widget);

// Installed on the application: F1 anywhere asks for the help context of the widget that has the
// focus, or of the active window when no widget has it.
class HelpKeyFilter : public QObject {
    Q_OBJECT
public:
    HelpKeyFilter(std::function<void(int)> showContext, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(int)> showContext_;
};
