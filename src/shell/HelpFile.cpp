#include "shell/HelpFile.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>

#include <chm_lib.h>

namespace {

// Little-endian integer at `offset`, or -1 when the data is too short.
qint64 littleEndian32(const QByteArray& data, qsizetype offset)
{
    if (offset < 0 || offset + 4 > data.size())
        return -1;
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

// The zero-terminated string at `offset`.
QString stringAt(const QByteArray& data, qsizetype offset)
{
    if (offset < 0 || offset >= data.size())
        return {};
    const qsizetype end = data.indexOf('\0', offset);
    return QString::fromUtf8(data.mid(offset, (end < 0 ? data.size() : end) - offset));
}

QString absolute(const QString& page)
{
    return page.startsWith(u'/') ? page : u'/' + page;
}

} // namespace

HelpFile::~HelpFile()
{
    if (chm_)
        chm_close(chm_);
}

bool HelpFile::open(const QString& path)
{
    if (chm_) {
        chm_close(chm_);
        chm_ = nullptr;
    }
    if (!QFileInfo(path).isFile()) {
        error_ = QStringLiteral("The help file %1 was not found").arg(path);
        return false;
    }
    chm_ = chm_open(QFile::encodeName(path).constData());
    const QByteArray system = chm_ ? read(QStringLiteral("/#SYSTEM")) : QByteArray();
    if (system.size() < 4) {
        error_ = QStringLiteral("The help file %1 is damaged or is not a help file").arg(path);
        if (chm_)
            chm_close(chm_);
        chm_ = nullptr;
        return false;
    }
    // After the version: records of a 16-bit code, a 16-bit length and that many bytes.
    for (qsizetype at = 4; at + 4 <= system.size();) {
        const quint16 code = qFromLittleEndian<quint16>(system.constData() + at);
        const quint16 length = qFromLittleEndian<quint16>(system.constData() + at + 2);
        const QByteArray value = system.mid(at + 4, length);
        if (code == 0)
            contentsFile_ = absolute(stringAt(value, 0));
        else if (code == 2)
            defaultPage_ = absolute(stringAt(value, 0));
        else if (code == 3)
            title_ = stringAt(value, 0);
        at += 4 + length;
    }
    error_.clear();
    return true;
}

bool HelpFile::contains(const QString& page) const
{
    chmUnitInfo info;
    return chm_ && chm_resolve_object(chm_, absolute(page).toUtf8().constData(), &info) == CHM_RESOLVE_SUCCESS;
}

QByteArray HelpFile::read(const QString& page) const
{
    chmUnitInfo info;
    if (!chm_ || chm_resolve_object(chm_, absolute(page).toUtf8().constData(), &info) != CHM_RESOLVE_SUCCESS)
        return {};
    // Help pages are small; a length beyond this means the directory is damaged.
    if (info.length > 64 * 1024 * 1024)
        return {};
    QByteArray bytes(static_cast<qsizetype>(info.length), Qt::Uninitialized);
    const LONGINT64 got = chm_retrieve_object(chm_, &info, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                                              static_cast<LONGINT64>(info.length));
    if (got != static_cast<LONGINT64>(info.length))
        return {};
    return bytes;
}

QStringList HelpFile::pages() const
{
    QStringList found;
    if (!chm_)
        return found;
    chm_enumerate(chm_, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES,
                  [](chmFile*, chmUnitInfo* info, void* context) {
                      static_cast<QStringList*>(context)->append(QString::fromUtf8(info->path));
                      return CHM_ENUMERATOR_CONTINUE;
                  },
                  &found);
    return found;
}

QString HelpFile::pageForContext(int context) const
{
    // #IVB: a 32-bit byte count, then pairs of context number and offset into #STRINGS.
    const QByteArray map = read(QStringLiteral("/#IVB"));
    const QByteArray strings = read(QStringLiteral("/#STRINGS"));
    const qint64 bytes = littleEndian32(map, 0);
    for (qsizetype at = 4; at + 8 <= map.size() && at + 8 <= 4 + bytes; at += 8) {
        if (littleEndian32(map, at) == static_cast<quint32>(context))
            return existingPage(stringAt(strings, littleEndian32(map, at + 4)));
    }
    return {};
}

// Some help compilers store the page of a context as the path of its source file on the
// machine that compiled it; the page is the longest tail of that path found inside the file.
QString HelpFile::existingPage(const QString& stored) const
{
    QString candidate = absolute(stored);
    while (!candidate.isEmpty()) {
        if (contains(candidate))
            return candidate;
        const qsizetype next = candidate.indexOf(u'/', 1);
        candidate = next < 0 ? QString() : candidate.mid(next);
    }
    return {};
}

QList<HelpTopic> HelpFile::contents() const
{
    QList<HelpTopic> topics = parseSitemap(QString::fromUtf8(read(contentsFile_)));
    for (HelpTopic& topic : topics)
        if (!topic.page.isEmpty())
            topic.page = absolute(topic.page);
    return topics;
}

QList<HelpTopic> parseSitemap(const QString& sitemap)
{
    static const QRegularExpression token(
            QStringLiteral(R"re(<(/?)ul\b[^>]*>|<object\b[^>]*text/sitemap[^>]*>|<param\s+name="(\w+)"\s+value="([^"]*)"|</object>)re"),
            QRegularExpression::CaseInsensitiveOption);
    QList<HelpTopic> topics;
    int depth = -1;
    bool inObject = false;
    HelpTopic current;
    for (auto it = token.globalMatch(sitemap); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString whole = m.captured(0).toLower();
        if (whole.startsWith(QLatin1String("<ul"))) {
            ++depth;
        } else if (whole.startsWith(QLatin1String("</ul"))) {
            --depth;
        } else if (whole.startsWith(QLatin1String("<object"))) {
            inObject = true;
            current = HelpTopic{QString(), QString(), qMax(depth, 0)};
        } else if (whole.startsWith(QLatin1String("</object"))) {
            if (inObject && !current.name.isEmpty())
                topics.append(current);
            inObject = false;
        } else if (inObject) {
            const QString name = m.captured(2).toLower();
            if (name == QLatin1String("name"))
                current.name = m.captured(3);
            else if (name == QLatin1String("local"))
                current.page = m.captured(3);
        }
    }
    return topics;
}
