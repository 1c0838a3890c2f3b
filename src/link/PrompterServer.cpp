#include "PrompterServer.h"

#include <QFileInfo>

namespace {

// Each character upper-cased on its own, so that a name keeps its length: a whole-string
// upper-casing would turn "ß" into "SS" and let "STRASSE" select "Straße".
QList<uint> UpperCharacters(const QString& text)
{
    QList<uint> characters = text.toUcs4();
    for (uint& c : characters)
        c = QChar::toUpper(char32_t(c));
    return characters;
}

} // namespace

int FindSpeaker(const PresetTable& presets, const QString& text)
{
    const QList<uint> wanted = UpperCharacters(text);
    for (int i = 0; i < PresetCount; ++i)
        if (UpperCharacters(presets[size_t(i)].preset_id) == wanted)
            return i;
    return -1;
}

QString ServiceNameOf(const QString& executablePath)
{
    const QString name = QFileInfo(executablePath).fileName();
    return name.left(name.indexOf(u'.'));
}

PrompterServer::PrompterServer(QObject* parent)
    : QObject(parent),
      item_(QStringLiteral("Conference Stand Control"), QStringLiteral("DdeVantoraServerItem"))
{
    item_.PokeData = [this](const QString& text) { DdeVantoraServerItemPokeData(text); };
}

QString PrompterServer::Register(const QString& executablePath)
{
    return item_.Register(ServiceNameOf(executablePath));
}

void PrompterServer::DdeVantoraServerItemPokeData(const QString& text)
{
    if (!presets_)
        return;
    const int i = FindSpeaker(*presets_, text);
    if (i != -1 && SetDatabaseSelection)
        SetDatabaseSelection(i);
}
