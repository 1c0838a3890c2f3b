// A run order of 1 000 entries in the run order grid on the offscreen platform, beside the real
// main window with the stand simulator paced at 9600 baud as COM1: Retrieve of the file, a
// drop, a Dup of 100 rows (each with the grid following the list and painting every row in
// view), a full repaint, and the run order Take to its first frame on the wire.
#include "BenchSupport.h"
#include "RecordingAnnouncer.h"
#include "ScriptedQuestions.h"
#include "database/VantoraDragDrop.h"
#include "runorder/ConfRun.h"
#include "runorder/RunGrid.h"
#include "shell/ConfMain.h"
#include "shell/ElevraApplication.h"

#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr int Entries = 1000;

} // namespace

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
    QDir().mkpath(data + "RunOrder");

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
    processEventsFor(2000);
    ProgramData& d = form.programData();
    for (TPreset& p : d.Presets)
        p.preset_id = QStringLiteral("Speaker with a fairly long name");

    // The window's own rules with scripted dialogs, and a grid over them the height of a screen.
    ScriptedQuestions dialogs;
    RecordingAnnouncer announcer;
    RunOrderWindowState screen({d.runOrder, d.Presets, d.config, d.paths.RunOrderFolder, form.controller(),
                           [&d](int n) { return d.Messages[n]; }, announcer},
                          dialogs);
    RunGrid grid(screen);
    grid.resize(354, 1080 - TConfRunScreen::PanelHeight);
    QImage canvas(grid.size(), QImage::Format_ARGB32_Premultiplied);
    const auto fullRepaint = [&grid, &canvas] { grid.render(&canvas); };
    QObject::connect(&screen, &RunOrderWindowState::listChanged, &grid, fullRepaint);

    const auto retrieve = [&](const QString& name) {
        dialogs.fileName = name;
        screen.RunOrderRetrieveBtnClick();
    };
    const auto empty = [&] { retrieve(data + "RunOrder/none"); };
    const auto thousand = [&] { retrieve(runOrderFile); };

    report("Retrieve of 1 000 entries into an empty grid, with its repaint",
           timed(200, empty, [&](int) { thousand(); }), " (target well under 16 ms)");
    if (screen.count() != Entries) {
        std::printf("the file did not load\n");
        return 1;
    }

    const std::unique_ptr<QMimeData> drag(MakeDatabaseDragData(7, d.Presets[7].preset_id));
    report("drop onto row 2 of 1 000 entries, with the repaint", timed(200, thousand, [&](int) {
               screen.DropTextTargetDrop(*drag, 2);
           }),
           " (target well under 16 ms)");

    report("Dup of rows 100 to 199 of 1 000 entries, with the repaint", timed(200, thousand, [&](int) {
               screen.RunGridSelectCell(0, 100);
               screen.moveAnchor(0, 199);
               screen.RunOrderCopyBtnClick();
           }),
           " (target well under 16 ms)");

    thousand();
    grid.scrollTo(grid.model()->index(500, 0));
    report("full repaint of the grid, 1 000 entries, 50 rows in view", timed(500, [] {}, [&](int) { fullRepaint(); }),
           " (target well under 16 ms)");

    // Take pressed at random moments while polling, until the cycle writes stand 1's frame.
    // The window's own rules, on the same 1 000 entries.
    RunOrderWindowState& windowScreen = form.runOrderWindow().screen();
    thousand();
    const std::vector<double> latencies = timeTakesToFirstFrame(
        form.controller(), 11, [&](int i) { windowScreen.RunGridSelectCell(1, 1 + i * 7); },
        [&] { windowScreen.RunOrderTakeBtnClick(); });
    if (latencies.size() < 100) {
        std::printf("only %zu of 100 takes reached the wire\n", latencies.size());
        return 1;
    }
    report("run order Take to its first frame while polling at 9600 baud", latencies, " (target <= 45 ms at p99)");
    return 0;
}
