#include "link/ServiceSocket.h"

#include "link/LocalSocket.h"

ServiceSocket ServiceSocket::For(const QString& serviceName)
{
    const QString name = serviceName.toLower();
    if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'/') || name.contains(QChar(0)))
        return {{}, QStringLiteral("\"%1\" cannot name a socket").arg(serviceName)};
    const LocalSocket::Folder folder = LocalSocket::ServiceFolder(LocalSocket::RuntimeFolder());
    if (!folder.error.empty())
        return {{}, QString::fromStdString(folder.error)};
    return {folder.path / name.toStdString(), {}};
}
