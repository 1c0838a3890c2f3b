// A run order of 1 000 entries in the run order grid on the offscreen platform, beside the real
// main window with the stand simulator paced at 9600 baud as COM1: Retrieve of the file, a
// drop, a Dup of 100 rows (each with the grid following the list and painting every row in
// view), a full repaint, and the run order Take to its first frame on the wire.
#include "ConfMain.h"
#include "ConfRun.h"
#include "ElevraApplication.h"
#include "PrompterAnnouncer.h"
#include "RunGrid.h"
#include "RunOrderDialogs.h"
#include "StandsimRun.h"
#include "VantoraDragDrop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int Entries = 1000;

struct ScriptedDialogs : RunOrderDialogs {
    QString fileName;
    bool Confirm(const QString&) override { return true; }
    QString OpenRunOrderDialog(const QString&) override { return fileName; }
    QString SaveRunOrderDialog(const QString&, const QString&) override { return fileName; }
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

// Times `run` after an untimed `prepare`, `runs` times.
template <typename Prepare, typename Run>
std::vector<double> timed(int runs, Prepare prepare, Run run)
{
    std::vector<double> ms;
    QElapsedTimer clock;
    for (int i = 0; i < runs; ++i) {
        prepare();
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
    QDir().mkpath(data + "RunOrder");
    for (const char* name : {"elevra.ini", "elevra.msg", "DBase0.db"})
        QFile::copy(QStringLiteral(ELEVRA_SOURCE_DIR "/data/") + name, data + name);
    QFile::link(sim.line, data + "ports/COM1");
    qputenv("XDG_DATA_DIRS", scratch.path().toUtf8());
    qputenv("XDG_RUNTIME_DIR", scratch.path().toUtf8());

    QByteArray file;
    for (int i = 0; i < Entries; ++i)
        file += QByteArray::number(i % 50) + "\r\n";
    const QString runOrderFile = data + "RunOrder/thousand.run";
    QFile out(runOrderFile);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
        return 1;
    out.close();

    TConferenceForm form(Paths::forFolders(QStringLiteral(ELEVRA_BINARY_DIR), scratch.path()));
    form.show();
    wait(2000);
    ProgramData& d = form.programData();
    for (TPreset& p : d.Presets)
        p.preset_id = QStringLiteral("Speaker with a fairly long name");

    // The window's own rules with scripted dialogs, and a grid over them the height of a screen.
    ScriptedDialogs dialogs;
    SilentAnnouncer silent;
    RunOrderScreen screen({d.runOrder, d.Presets, d.config, d.paths.RunOrderFolder, form.controller(),
                           [&d](int n) { return d.Messages[n]; }, silent},
                          dialogs);
    RunGrid grid(screen);
    grid.resize(354, 1080 - TConfRunScreen::PanelHeight);
    QImage canvas(grid.size(), QImage::Format_ARGB32_Premultiplied);
    const auto fullRepaint = [&grid, &canvas] { grid.render(&canvas); };
    QObject::connect(&screen, &RunOrderScreen::listChanged, &grid, fullRepaint);

    const auto retrieve = [&](const QString& name) {
        dialogs.fileName = name;
        screen.RunOrderRetrieveBtnClick();
    };
    const auto empty = [&] { retrieve(data + "RunOrder/none"); };
    const auto thousand = [&] { retrieve(runOrderFile); };

    report("Retrieve of 1 000 entries into an empty grid, with its repaint",
           timed(200, empty, [&](int) { thousand(); }), "target well under 16 ms");
    if (screen.Count() != Entries) {
        std::printf("the file did not load\n");
        return 1;
    }

    const std::unique_ptr<QMimeData> drag(MakeDatabaseDragData(7, d.Presets[7].preset_id));
    report("drop onto row 2 of 1 000 entries, with the repaint", timed(200, thousand, [&](int) {
               screen.DropTextTargetDrop(*drag, 2);
           }),
           "target well under 16 ms");

    report("Dup of rows 100 to 199 of 1 000 entries, with the repaint", timed(200, thousand, [&](int) {
               screen.RunGridSelectCell(0, 100);
               screen.MoveAnchor(0, 199);
               screen.RunOrderCopyBtnClick();
           }),
           "target well under 16 ms");

    thousand();
    grid.scrollTo(grid.model()->index(500, 0));
    report("full repaint of the grid, 1 000 entries, 50 rows in view", timed(500, [] {}, [&](int) { fullRepaint(); }),
           "target well under 16 ms");

    // Take pressed at random moments while polling, until the cycle writes stand 1's frame.
    // The window's own rules, on the same 1 000 entries.
    RunOrderScreen& windowScreen = form.runOrderWindow().screen();
    thousand();
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
        windowScreen.RunGridSelectCell(1, 1 + i * 7);
        waiting = true;
        sincePress.start();
        windowScreen.RunOrderTakeBtnClick();
        while (waiting && sincePress.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    if (latencies.size() < 100) {
        std::printf("only %zu of 100 takes reached the wire\n", latencies.size());
        return 1;
    }
    report("run order Take to its first frame while polling at 9600 baud", latencies, "target <= 45 ms at p99");
    return 0;
}
