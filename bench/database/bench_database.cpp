// The database window on the offscreen platform beside the real main window, with the stand
// simulator paced at 9600 baud as COM1: a full repaint of the grid with all 51 rows in view,
// Store of one entry with that repaint, and the database Take to its first frame on the wire.
#include "ConfData.h"
#include "ConfMain.h"
#include "DatabaseDialogs.h"
#include "DatabaseGrid.h"
#include "ElevraApplication.h"
#include "PrompterAnnouncer.h"
#include "StandsimRun.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

struct OkDialogs : DatabaseDialogs {
    bool Confirm(const QString&) override { return true; }
    QString OpenDatabaseDialog(const QString&) override { return {}; }
    QString SaveDatabaseDialog(const QString&, const QString&) override { return {}; }
    void ShowFailure(const QString&) override {}
};

struct SilentAnnouncer : PrompterAnnouncer {
    void DdeSend(const QString&) override {}
};

void wait(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

void report(const char* what, std::vector<double> ms, const char* target)
{
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) { return ms[std::min(ms.size() - 1, size_t(q * double(ms.size())))]; };
    std::printf("%s (%zu runs): median %.3f ms, 99th percentile %.3f ms (%s)\n", what, ms.size(), at(0.5), at(0.99),
                target);
}

template <typename Run>
std::vector<double> timed(int runs, Run run)
{
    std::vector<double> ms;
    QElapsedTimer clock;
    for (int i = 0; i < runs; ++i) {
        clock.start();
        run(i);
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ElevraApplication app(argc, argv);
    QTemporaryDir scratch;
    StandsimRun sim;
    if (!sim.start({"--stands", "8", "--pace-baud", "9600", "--speed", "15", "--heights", "10,20,30,40,50,60,70,80"},
                   scratch.filePath("sim.log"))) {
        std::printf("the simulator did not start\n");
        return 1;
    }
    const QString data = scratch.path() + "/Quillon/Vantora/";
    QDir().mkpath(data + "ports");
    QDir().mkpath(data + "Database");
    for (const char* name : {"elevra.ini", "elevra.msg", "DBase0.db"})
        QFile::copy(QStringLiteral(ELEVRA_SOURCE_DIR "/data/") + name, data + name);
    QFile::link(sim.line, data + "ports/COM1");
    qputenv("XDG_DATA_DIRS", scratch.path().toUtf8());
    qputenv("XDG_RUNTIME_DIR", scratch.path().toUtf8());

    TConferenceForm form(Paths::forFolders(QStringLiteral(ELEVRA_BINARY_DIR), scratch.path()));
    form.show();
    auto* window = form.findChild<TConfDataScreen*>();
    auto* grid = form.findChild<DatabaseGrid*>();
    window->resize(520, TConfDataScreen::PanelHeight + (DatabaseGrid::DefaultRowHeight + DatabaseGrid::GridLineWidth) * 52);
    window->show();
    wait(2000);
    ProgramData& d = form.programData();
    for (TPreset& p : d.Presets)
        p.preset_id = QStringLiteral("Speaker with a fairly long name");

    // Rendered into an image of the grid's size, so that every cell is painted whatever part of
    // the window the offscreen screen shows.
    QImage canvas(grid->size(), QImage::Format_ARGB32_Premultiplied);
    const auto fullRepaint = [grid, &canvas] { grid->render(&canvas); };
    report("full repaint of the grid, 51 rows in view", timed(500, [&](int) { fullRepaint(); }),
           "target well under 16 ms");

    OkDialogs ok;
    SilentAnnouncer silent;
    DatabaseScreen store({d.Presets, d.config, d.paths.DatabaseFolder, form.controller(),
                          [&d](int n) { return d.Messages[n]; }, silent},
                         ok);
    store.DatabaseGridSelectCell(5);
    QObject::connect(&store, &DatabaseScreen::gridChanged, grid, fullRepaint);
    report("Store of one entry with its grid repaint", timed(500, [&](int i) {
               store.SetIdentifierText(QStringLiteral("  Speaker %1  ").arg(i));
               store.StoreBtnClick();
           }),
           "target well under 16 ms");

    // Take pressed at random moments while polling, until the cycle writes stand 1's frame.
    DatabaseScreen& screen = window->screen();
    std::mt19937 random(11);
    std::vector<double> latencies;
    QElapsedTimer sincePress;
    bool waiting = false;
    QObject::connect(&form.controller(), &StandController::diagnosticPanelsChanged, &form, [&] {
        if (waiting && form.controller().Panel1().startsWith(QLatin1String("*1A"))) {
            latencies.push_back(double(sincePress.nsecsElapsed()) / 1e6);
            waiting = false;
        }
    });
    for (int i = 0; i < 100; ++i) {
        wait(std::uniform_int_distribution<int>(520, 900)(random));
        screen.DatabaseGridSelectCell(1 + i % 4);
        waiting = true;
        sincePress.start();
        screen.TakeBtnClick();
        while (waiting && sincePress.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    if (latencies.empty()) {
        std::printf("no take reached the wire\n");
        return 1;
    }
    report("database Take to its first frame while polling at 9600 baud", latencies, "target <= 45 ms at p99");
    return 0;
}
