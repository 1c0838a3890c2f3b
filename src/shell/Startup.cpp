#include "Startup.h"

#include "ConfMain.h"
#include "ElevraApplication.h"
#include "Paths.h"
#include "SignalBridge.h"
#include "SingleInstance.h"
#include "Splash.h"

#include <QFileInfo>
#include <QMessageBox>

namespace {

// The first required file that is missing, by its bare name, or an empty string.
QString missingRequiredFile(const Paths& paths)
{
    const QString required[] = {paths.IniFileName, paths.ExeFolder + QStringLiteral("elevra.chm"), paths.MessageFileName};
    for (const QString& file : required)
        if (!QFileInfo(file).isFile())
            return QFileInfo(file).fileName();
    return {};
}

} // namespace

int runProgram(ElevraApplication& app, const QString& exeFolder)
{
    SingleInstance instance;
    if (!instance.acquire())
        return 0;

    TSplashForm splash;
    splash.show();
    splash.repaint();
    app.processEvents();

    const Paths paths = Paths::forFolders(exeFolder, commonAppDataFolder());
    if (const QString missing = missingRequiredFile(paths); !missing.isEmpty()) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Vantora"), QStringLiteral("File Not Found: ") + missing,
                        QMessageBox::Ok);
        box.exec();
        return 0;
    }

    TConferenceForm mainWindow(paths);
    mainWindow.show();
    const SignalBridge closeOnSignal([&mainWindow] { mainWindow.close(); });
    splash.close();

    app.setQuitOnLastWindowClosed(true);
    app.exec();
    return 0;
}
