#include "database/VantoraDragDrop.h"

const QString& VantoraFormat()
{
    static const QString format = QStringLiteral("Vantora");
    return format;
}

const QStringList& VantoraFormatNames()
{
    static const QStringList names{VantoraFormat()};
    return names;
}
