// The database window on the offscreen platform beside the real main window, with the stand
// simulator paced at 9600 baud as COM1: a full repaint of the grid with all 51 rows in view,
// Store of one entry with that repaint, and the database Take to its first frame on the wire.
#include "BenchSupport.h"
#include "RecordingAnnouncer.h"
#include "ScriptedQuestions.h"
#include "database/ConfData.h"
#include "database/DatabaseGrid.h"
#include "shell/ConfMain.h"
#include "shell/ElevraApplication.h"

#include <QImage>
#include <QTemporaryDir>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ElevraApplication app(argc, argv);
    QTemporaryDir scratch;
    StandsimRun sim;
    const QString data = startStandsForWindow(sim, scratch.path(), scratch.filePath("sim.log"));
    if (data.isEmpty()) {
        std::printf("the simulator did not start\n");
        return 1;
    }
    QDir().mkpath(data + "Database");

    TConferenceForm form(Paths::forFolders(QStringLiteral(ELEVRA_BINARY_DIR), scratch.path()));
    form.show();
    auto* window = form.findChild<TConfDataScreen*>();
    auto* grid = form.findChild<DatabaseGrid*>();
    window->resize(520, TConfDataScreen::PanelHeight + (DatabaseGrid::DefaultRowHeight + DatabaseGrid::GridLineWidth) * 52);
    window->show();
    processEventsFor(2000);
    ProgramData& d = form.programData();
    for (TPreset& p : d.Presets)
        p.preset_id = QStringLiteral("Speaker with a fairly long name");

    // Rendered into an image of the grid's size, so that every cell is painted whatever part of
    // the window the offscreen screen shows.
    QImage canvas(grid->size(), QImage::Format_ARGB32_Premultiplied);
    const auto fullRepaint = [grid, &canvas] { grid->render(&canvas); };
    report("full repaint of the grid, 51 rows in view", timed(500, [] {}, [&](int) { fullRepaint(); }),
           " (target well under 16 ms)");

    ScriptedQuestions ok;
    RecordingAnnouncer announcer;
    DatabaseWindowState store({d.Presets, d.config, d.paths.DatabaseFolder, form.controller(),
                          [&d](int n) { return d.Messages[n]; }, announcer},
                         ok);
    store.DatabaseGridSelectCell(5);
    QObject::connect(&store, &DatabaseWindowState::gridChanged, grid, fullRepaint);
    report("Store of one entry with its grid repaint", timed(500, [] {}, [&](int i) {
               store.setIdentifierText(QStringLiteral("  Speaker %1  ").arg(i));
               store.StoreBtnClick();
           }),
           " (target well under 16 ms)");

    // Take pressed at random moments while polling, until the cycle writes stand 1's frame.
    DatabaseWindowState& screen = window->screen();
    const std::vector<double> latencies = timeTakesToFirstFrame(
        form.controller(), 11, [&](int i) { screen.DatabaseGridSelectCell(1 + i % 4); },
        [&] { screen.TakeBtnClick(); });
    if (latencies.empty()) {
        std::printf("no take reached the wire\n");
        return 1;
    }
    report("database Take to its first frame while polling at 9600 baud", latencies, " (target <= 45 ms at p99)");
    return 0;
}
