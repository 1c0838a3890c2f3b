#pragma once

#include "database/SpeakerDatabase.h"
#include "link/LinkServer.h"

#include <functional>

// A program's service name: its executable's file name up to its first dot.
QString ServiceNameOf(const QString& executablePath);

// The service that the prompting application pokes speakers' names into. Registered before any
// window exists; until the speaker table is set, a poke finds nobody.
class PrompterServer : public QObject {
    Q_OBJECT
public:
    explicit PrompterServer(QObject* parent = nullptr);

    // Serves the executable's service; the reason when it cannot.
    QString Register(const QString& executablePath);

    void SetPresets(const PresetTable* presets) { presets_ = presets; }
    // Selects a speaker in the database window, which then takes it without announcing it.
    std::function<void(int index)> SetDatabaseSelection;

    LinkServer& DdeVantoraServerItem() { return item_; }

    void DdeVantoraServerItemPokeData(const QString& text);

private:
    const PresetTable* presets_ = nullptr;
    LinkServer item_;
};
