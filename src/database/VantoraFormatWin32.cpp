#include "database/VantoraDragDrop.h"

// Qt offers a type it does not know as the clipboard format of that very name, its bytes
// unchanged in a global memory block. A clipboard format that this process has not offered
// comes back under Qt's name for a foreign one.
const QString& VantoraFormat()
{
    static const QString format = QStringLiteral("Vantora");
    return format;
}

const QStringList& VantoraFormatNames()
{
    static const QStringList names{VantoraFormat(), QStringLiteral("application/x-qt-windows-mime;value=\"Vantora\"")};
    return names;
}
