#include "link/PrompterServer.h"

#include <QFileInfo>

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
