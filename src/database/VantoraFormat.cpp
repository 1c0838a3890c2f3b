#include "database/VantoraDragDrop.h"

const QString& VantoraFormat()
{
    static const QString format = QStringLiteral("Vantora");
    return format;
}
