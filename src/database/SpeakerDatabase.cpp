#include "database/SpeakerDatabase.h"

#include "config/IniFile.h"

#include <QFileInfo>

namespace {

QString sectionOf(int index)
{
    return QStringLiteral("Preset%1").arg(index);
}

QString heightKey(int stand)
{
    return QStringLiteral("P%1").arg(stand);
}

const QString IdKey = QStringLiteral("ID");
const QString NoName = QStringLiteral("No Name");

} // namespace

void ClearDatabase(PresetTable& presets)
{
    presets.fill(TPreset{});
}

void RetrieveDatabase(PresetTable& presets, const QString& t_str)
{
    if (!QFileInfo(t_str).isFile()) {
        ClearDatabase(presets);
        return;
    }
    const IniFile ini(t_str);
    if (!ini.readable())
        return;
    for (int i = 0; i < PresetCount; ++i) {
        TPreset& entry = presets[static_cast<size_t>(i)];
        for (int j = 0; j < 8; ++j)
            entry.preset[static_cast<size_t>(j)] = static_cast<std::uint8_t>(ini.ReadInteger(sectionOf(i), heightKey(j), 0) & 0xFF);
        entry.preset_id = ini.ReadString(sectionOf(i), IdKey, NoName);
    }
}

void SaveDatabase(const PresetTable& presets, const QString& t_str)
{
    IniFile ini(t_str);
    for (int i = 0; i < PresetCount; ++i) {
        const TPreset& entry = presets[static_cast<size_t>(i)];
        for (int j = 0; j < 8; ++j)
            ini.WriteInteger(sectionOf(i), heightKey(j), entry.preset[static_cast<size_t>(j)]);
        ini.WriteString(sectionOf(i), IdKey, entry.preset_id);
    }
    ini.updateFile();
}

bool DatabaseChanged(const PresetTable& presets, const QString& t_str)
{
    if (!QFileInfo(t_str).isFile())
        return false;
    const IniFile ini(t_str);
    if (!ini.readable())
        return false;
    for (int i = 0; i < PresetCount; ++i) {
        const TPreset& entry = presets[static_cast<size_t>(i)];
        for (int j = 0; j < 8; ++j)
            if (ini.ReadInteger(sectionOf(i), heightKey(j), 0) != entry.preset[static_cast<size_t>(j)])
                return true;
        if (ini.ReadString(sectionOf(i), IdKey, NoName) != IniFile::readBackValue(entry.preset_id))
            return true;
    }
    return false;
}

namespace {

// Each character upper-cased on its own, so that a name keeps its length: a whole-string
// upper-casing would turn "ß" into "SS" and let "STRASSE" select "Straße".
QList<uint> upperCharacters(const QString& text)
{
    QList<uint> characters = text.toUcs4();
    for (uint& c : characters)
        c = QChar::toUpper(char32_t(c));
    return characters;
}

} // namespace

int FindSpeaker(const PresetTable& presets, const QString& text)
{
    const QList<uint> wanted = upperCharacters(text);
    for (int i = 0; i < PresetCount; ++i)
        if (upperCharacters(presets[size_t(i)].preset_id) == wanted)
            return i;
    return -1;
}
