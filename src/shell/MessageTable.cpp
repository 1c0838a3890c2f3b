#include "shell/MessageTable.h"

#include "common/TrustedPath.h"

#include <QFile>

void MessageTable::LoadMessages(const QString& messageFileName)
{
    std::string bytes;
    if (readTrustedFile(QFile::encodeName(messageFileName).toStdString(), bytes) != FileRead::Done)
        return;
    QList<QByteArray> lines = QByteArray::fromStdString(bytes).split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QString line = QString::fromUtf8(lines[i]);
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            continue;
        bool ok = false;
        const int number = line.left(equals).toInt(&ok);
        if (!ok || number < 0 || number >= Count)
            continue;
        texts_[static_cast<size_t>(number)] = line.mid(equals + 1);
    }
}

const QString& MessageTable::operator[](int number) const
{
    static const QString none;
    return number >= 0 && number < Count ? texts_[static_cast<size_t>(number)] : none;
}
