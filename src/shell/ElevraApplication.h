#pragma once

#include <QApplication>

// The application object. An error that an event handler lets through ends that handler's
// operation here with an error box; the event loop goes on.
class ElevraApplication : public QApplication {
    Q_OBJECT
public:
    ElevraApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // The error box text: a full stop is added unless the text already ends with one or with a
    // character of lower code, such as a blank or "!".
    static QString errorBoxText(const QString& message);

    static void showErrorBox(const QString& message);

    // Closes every open modal box and dialog as if it were cancelled, so that whatever waits
    // on one goes on with a No or a Cancel.
    static void cancelModalWindows();
};
