#pragma once

#include "common/StandCount.h"

#include <QString>
#include <array>
#include <cstdint>

// One speaker: a height for each of the eight stands and the identifier shown and announced.
struct TPreset {
    StandHeights preset{};
    QString preset_id = QStringLiteral("No Name");

    bool operator==(const TPreset&) const = default;
};

constexpr int PresetCount = 50;

// The fixed table of speakers; entries keep their index for the whole run.
using PresetTable = std::array<TPreset, PresetCount>;

void ClearDatabase(PresetTable& presets);

// Replaces all entries from the file, or clears them all when there is no such file.
void RetrieveDatabase(PresetTable& presets, const QString& t_str);

// Writes all entries key by key; other sections and keys of an existing file stay. Throws
// AppError("Unable to write to <path>") at the first key that cannot be written.
void SaveDatabase(const PresetTable& presets, const QString& t_str);

// True when the file exists and differs from the table.
bool DatabaseChanged(const PresetTable& presets, const QString& t_str);

// The index of the first speaker whose identifier equals `text` character for character, each
// character upper-cased on its own, blanks untouched; -1 when none does.
int FindSpeaker(const PresetTable& presets, const QString& text);
