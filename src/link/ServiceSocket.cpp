#include "link/ServiceSocket.h"

#include "link/LocalSocket.h"
#include "link/RuntimeFolder.h"

#include <QList>

#include <algorithm>

QString ServiceSocket::NameError(const QString& serviceName)
{
    const QString name = serviceName.toLower();
    const QList<uint> characters = serviceName.toUcs4();
    const bool printable = std::all_of(characters.begin(), characters.end(), [](uint c) { return QChar::isPrint(char32_t(c)); });
    if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'/') || !printable
        || serviceName.toUtf8().size() > MaxNameBytes || name.toUtf8().size() > MaxNameBytes)
        return QStringLiteral("\"%1\" cannot name a service").arg(printable ? serviceName : QStringLiteral("?"));
    return {};
}

ServiceSocket ServiceSocket::For(const QString& serviceName)
{
    if (QString error = NameError(serviceName); !error.isEmpty())
        return {{}, error};
    const RuntimeFolder runtime = UserRuntimeFolder();
    if (!runtime.error.empty())
        return {{}, QString::fromStdString(runtime.error)};
    const LocalSocket::Folder folder = LocalSocket::ServiceFolder(runtime.path);
    if (!folder.error.empty())
        return {{}, QString::fromStdString(folder.error)};
    return {folder.path / serviceName.toLower().toStdString(), {}};
}
