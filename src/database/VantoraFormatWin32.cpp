#include "database/VantoraDragDrop.h"

// Qt registers exactly the clipboard format named in the value, once, and offers the bytes
// unchanged in a global memory block or a stream over one.
const QString& VantoraFormat()
{
    static const QString format = QStringLiteral("application/x-qt-windows-mime;value=\"Vantora\"");
    return format;
}
