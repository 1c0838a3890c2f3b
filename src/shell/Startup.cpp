#include "shell/Startup.h"

#include "database/ConfData.h"
#include "link/PrompterServer.h"
#include "shell/ConfMain.h"
#include "shell/ElevraApplication.h"
#include "shell/Paths.h"
#include "shell/SignalBridge.h"
#include "shell/SingleInstance.h"
#include "shell/Splash.h"
#include "widgets/MessageBoxes.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

// The first required file that is missing, by its bare name, or an empty string.
QString missingRequiredFile(const Paths& paths)
{
    const QString required[] = {paths.IniFileName, paths.HelpFileName, paths.MessageFileName};
    for (const QString& file : required)
        if (!QFileInfo(file).isFile())
            return QFileInfo(file).fileName();
    return {};
}

// Said once, in a box that waits for nobody: an unattended start must still run the stands.
void sayOnce(QWidget* parent, const QString& text)
{
    MessageBoxes::showNotice(parent, text, QStringLiteral("Vantora"));
}

} // namespace

int runProgram(ElevraApplication& app, const QString& exeFolder)
{
    // First of all, so that a log-out during the start ends it in order: before the main window
    // is shown a signal cancels any box the start waits on, and the start ends with nothing
    // written.
    SignalBridge terminationSignals;
    terminationSignals.setHandler(&ElevraApplication::cancelModalWindows);

    SingleInstance instance;
    if (!instance.acquire())
        return 0;

    // Served before any window exists. Without it the program still drives the stands.
    PrompterServer prompterServer;
    const QString linkError = prompterServer.Register(QCoreApplication::applicationFilePath());
    if (!linkError.isEmpty())
        qWarning("The prompter link is not served: %s", qPrintable(linkError));
    prompterServer.DdeVantoraServerItem().OtherTopics = [] {
        QStringList captions;
        for (const QWidget* window : QApplication::topLevelWidgets())
            if (!window->windowTitle().isEmpty())
                captions << window->windowTitle();
        return captions;
    };

    TSplashForm splash;
    splash.show();
    splash.repaint();
    app.processEvents();
    if (terminationSignals.received())
        return 0;

    const Paths paths = Paths::forFolders(exeFolder, commonAppDataFolder());
    if (const QString missing = missingRequiredFile(paths); !missing.isEmpty()) {
        MessageBoxes::showCritical(nullptr, QStringLiteral("File Not Found: ") + missing, QStringLiteral("Vantora"));
        return 0;
    }

    TConferenceForm mainWindow(paths);
    prompterServer.SetPresets(&mainWindow.programData().Presets);
    prompterServer.SetDatabaseSelection = [&mainWindow](int i) { mainWindow.databaseWindow().screen().SetDatabaseSelection(i); };
    if (terminationSignals.received())
        return 0;
    // From here a signal closes the main window like its Close button; a signal that arrived
    // since the check above is still waiting in the bridge and reaches this handler.
    terminationSignals.setHandler([&mainWindow] { mainWindow.terminationSignal(); });
    terminationSignals.setEndHandler([&mainWindow] { mainWindow.sessionEnd(); });
    mainWindow.show();
    splash.close();
    if (!linkError.isEmpty())
        sayOnce(&mainWindow, QStringLiteral("The prompter link is not served: ") + linkError);
    if (const QString& failure = mainWindow.showControlFailure(); !failure.isEmpty()) {
        qWarning("Show control is off: %s", qPrintable(failure));
        sayOnce(&mainWindow, QStringLiteral("Show control is off: ") + failure);
    }
    if (const QString& notice = mainWindow.showControl().networkNotice(); !notice.isEmpty()) {
        qWarning("%s", qPrintable(notice));
        sayOnce(&mainWindow, notice);
    }

    for (const QString& notice : mainWindow.showViewNotices()) {
        qWarning("%s", qPrintable(notice));
        sayOnce(&mainWindow, notice);
    }
    // One line that holds the whole address, for the operator to hand on.
    if (const QString url = mainWindow.showViewControlUrl(); !url.isEmpty())
        std::fprintf(stderr, "Show view control: %s\n", qPrintable(url));

    app.setQuitOnLastWindowClosed(true);
    app.exec();
    return 0;
}
