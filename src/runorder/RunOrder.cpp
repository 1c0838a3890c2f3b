#include "runorder/RunOrder.h"

#include "common/AppError.h"
#include "common/TrustedPath.h"
#include "common/WholeFileWrite.h"

#include <QFile>
#include <QStringDecoder>

namespace {

QString decode(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.mid(2));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes.mid(2));
    return QString::fromLocal8Bit(bytes);
}

} // namespace

QStringList splitRunOrderText(const QByteArray& bytes)
{
    const QString text = decode(bytes);
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            lines.append(line);
            line.clear();
        } else {
            line.append(c);
        }
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

bool LoadRunOrderFile(QStringList& list, const QString& path)
{
    std::string bytes;
    if (readTrustedFile(QFile::encodeName(path).toStdString(), bytes) != FileRead::Done)
        return false;
    list = splitRunOrderText(QByteArray::fromStdString(bytes));
    return true;
}

void writeRunOrderFile(const QStringList& list, const QString& path)
{
    QByteArray bytes;
    for (const QString& entry : list)
        bytes += entry.toLocal8Bit() + "\r\n";
    if (!writeWholeFile(QFile::encodeName(path).toStdString(), std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))))
        throw AppError::unableToWrite(path);
}
