// Times the whole-file writes of the close: the speaker database into a fresh and into an
// existing file, and the configuration; and a long run order in the configuration, read at start
// and saved at close. Prints the median of several runs of each.
#include "config/Configuration.h"
#include "database/SpeakerDatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double medianMs(int runs, const std::function<void(int)>& prepare, const std::function<void(int)>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        prepare(i);
        QElapsedTimer clock;
        clock.start();
        work(i);
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    constexpr int runs = 9;

    PresetTable presets;
    for (int i = 0; i < PresetCount; ++i) {
        presets[static_cast<size_t>(i)].preset_id = QStringLiteral("Speaker number %1").arg(i);
        presets[static_cast<size_t>(i)].preset.fill(static_cast<std::uint8_t>(i + 10));
    }
    const QString db = dir.filePath("speakers.db");

    const double fresh = medianMs(runs, [&](int) { QFile::remove(db); }, [&](int) { SaveDatabase(presets, db); });
    const double existing = medianMs(
            runs, [&](int i) { presets[0].preset[0] = static_cast<std::uint8_t>(i); }, [&](int) { SaveDatabase(presets, db); });

    ConfigurationSnapshot snapshot;
    snapshot.settings.DatabaseFileName = db;
    for (int i = 0; i < 40; ++i)
        snapshot.runOrder.append(QString::number(i % PresetCount));
    const QString ini = dir.filePath("elevra.ini");
    const double config = medianMs(runs, [&](int i) { snapshot.settings.mainWindow.top = i; },
                                   [&](int) { SaveConfiguration(ini, snapshot); });

    ConfigurationSnapshot longRun = snapshot;
    longRun.runOrder.clear();
    for (int i = 0; i < 10000; ++i)
        longRun.runOrder.append(QString::number(i % PresetCount));
    const QString longIni = dir.filePath("long.ini");
    constexpr int longRuns = 5;
    const double longSave = medianMs(longRuns, [&](int i) { longRun.settings.mainWindow.top = i; },
                                     [&](int) { SaveConfiguration(longIni, longRun); });
    qsizetype readBack = 0;
    const double longRead = medianMs(longRuns, [](int) {}, [&](int) { readBack = retrieveRunOrderList(longIni).size(); });
    if (readBack != longRun.runOrder.size())
        std::fprintf(stderr, "the run order read back holds %lld entries\n", static_cast<long long>(readBack));

    std::printf("SaveDatabase, 50 entries, fresh file:     %8.2f ms (median of %d; target <= 100)\n", fresh, runs);
    std::printf("SaveDatabase, 50 entries, existing file:  %8.2f ms (median of %d; target <= 100)\n", existing, runs);
    std::printf("SaveConfiguration, 40 run order entries:  %8.2f ms (median of %d; target <= 100)\n", config, runs);
    std::printf("RetrieveRunOrderList, 10000 entries:      %8.2f ms (median of %d; target < 50)\n", longRead, longRuns);
    std::printf("SaveConfiguration, 10000 run order entries: %6.2f ms (median of %d; target < 50)\n", longSave, longRuns);
    return 0;
}
