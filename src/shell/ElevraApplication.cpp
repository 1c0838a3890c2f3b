#include "shell/ElevraApplication.h"

#include "widgets/MessageBoxes.h"

#include <QDialog>
#include <QIcon>
#include <exception>

ElevraApplication::ElevraApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Vantora"));
    // What the installed desktop entry and icon are called, so that the desktop shows the
    // program's windows under its own entry and icon.
    setDesktopFileName(QStringLiteral("invalid.elevra.Elevra"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("elevra")));
}

bool ElevraApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showErrorBox(QString::fromStdString(error.what()));
    } catch (...) {
        showErrorBox(QStringLiteral("Unexpected error"));
    }
    return false;
}

QString ElevraApplication::errorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back().unicode() <= u'.')
        return message;
    return message + u'.';
}

void ElevraApplication::showErrorBox(const QString& message)
{
    MessageBoxes::showCritical(nullptr, errorBoxText(message), QStringLiteral("Vantora"));
}

void ElevraApplication::cancelModalWindows()
{
    QWidget* previous = nullptr;
    while (QWidget* modal = activeModalWidget()) {
        if (modal == previous)
            return;  // it refused to close
        previous = modal;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
}
