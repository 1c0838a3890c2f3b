#include "IniFile.h"

#include "AppError.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArrayView trimmedBlanks(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    return text.sliced(begin, end - begin);
}

// Names are ASCII in every file this program writes; letters beyond ASCII match exactly.
bool sameName(QByteArrayView stored, QByteArrayView wanted)
{
    return stored.size() == wanted.size() && qstrnicmp(stored.data(), stored.size(), wanted.data(), wanted.size()) == 0;
}

// The name of a "[name]" line, or false for any other line.
bool sectionName(QByteArrayView line, QByteArrayView& name)
{
    const QByteArrayView text = trimmedBlanks(line);
    if (!text.startsWith('['))
        return false;
    const qsizetype close = text.indexOf(']');
    if (close < 0)
        return false;
    name = trimmedBlanks(text.sliced(1, close - 1));
    return true;
}

// The key of a "key=value" line, or false when the line holds no key.
bool keyName(QByteArrayView line, QByteArrayView& key, QByteArrayView& value)
{
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return false;
    key = trimmedBlanks(line.first(equals));
    if (key.isEmpty())
        return false;
    value = line.sliced(equals + 1);
    return true;
}

bool writeAll(int fd, const QByteArray& data)
{
    const char* next = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        next += written;
        left -= written;
    }
    return true;
}

void syncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

IniFile::IniFile(QString path) : path_(std::move(path))
{
    QFile file(path_);
    QByteArray content;
    if (file.open(QIODevice::ReadOnly))
        content = file.readAll();
    else
        readable_ = !file.exists();
    const qsizetype firstLf = content.indexOf('\n');
    lineEnd_ = (firstLf > 0 && content[firstLf - 1] == '\r') ? QByteArray("\r\n") : QByteArray("\n");
    if (content.isEmpty())
        return;
    if (content.endsWith('\n'))
        content.chop(1);
    for (QByteArray& bytes : content.split('\n')) {
        if (bytes.endsWith('\r'))
            bytes.chop(1);
        lines_.push_back(Line{bytes});
    }
}

int IniFile::findSection(const Lines& lines, const QString& section)
{
    const QByteArray wanted = section.toUtf8();
    QByteArrayView name;
    for (size_t i = 0; i < lines.size(); ++i)
        if (sectionName(lines[i].bytes, name) && sameName(name, wanted))
            return static_cast<int>(i);
    return -1;
}

int IniFile::sectionEnd(const Lines& lines, int headerLine)
{
    QByteArrayView name;
    size_t i = static_cast<size_t>(headerLine) + 1;
    while (i < lines.size() && !sectionName(lines[i].bytes, name))
        ++i;
    return static_cast<int>(i);
}

int IniFile::findKey(const Lines& lines, int headerLine, const QString& key)
{
    const QByteArray wanted = key.toUtf8();
    QByteArrayView name;
    QByteArrayView value;
    const int end = sectionEnd(lines, headerLine);
    for (int i = headerLine + 1; i < end; ++i)
        if (keyName(lines[static_cast<size_t>(i)].bytes, name, value) && sameName(name, wanted))
            return i;
    return -1;
}

bool IniFile::findValue(const QString& section, const QString& key, QString& value) const
{
    const int header = findSection(lines_, section);
    if (header < 0)
        return false;
    const int line = findKey(lines_, header, key);
    if (line < 0)
        return false;
    QByteArrayView name;
    QByteArrayView bytes;
    keyName(lines_[static_cast<size_t>(line)].bytes, name, bytes);
    value = QString::fromUtf8(bytes).left(MaxValueLength);
    return true;
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    QString value;
    return findValue(section, key, value) ? value : defaultValue.left(MaxValueLength);
}

bool IniFile::parseInteger(const QString& text, int& result)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    qlonglong value = 0;
    if (trimmed.size() > 2 && (trimmed.startsWith(QLatin1String("0x")) || trimmed.startsWith(QLatin1String("0X")))) {
        const QString digits = trimmed.mid(2);
        if (digits.startsWith('+') || digits.startsWith('-'))
            return false;
        const qulonglong bits = digits.toULongLong(&ok, 16);
        if (!ok || bits > 0xFFFFFFFFull)
            return false;
        result = static_cast<int>(static_cast<quint32>(bits));
        return true;
    }
    value = trimmed.toLongLong(&ok, 10);
    if (!ok || value < INT32_MIN || value > INT32_MAX)
        return false;
    result = static_cast<int>(value);
    return true;
}

int IniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    int value = 0;
    return parseInteger(ReadString(section, key, QString()), value) ? value : defaultValue;
}

bool IniFile::ReadBool(const QString& section, const QString& key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    // A line break inside a value would split it into lines of its own.
    QString oneLine = value;
    oneLine.replace('\r', ' ').replace('\n', ' ');
    const QByteArray keyLine = key.toUtf8() + '=' + oneLine.toUtf8();

    Lines lines = lines_;
    const int header = findSection(lines, section);
    if (header < 0) {
        lines.push_back(Line{'[' + section.toUtf8() + ']'});
        lines.push_back(Line{keyLine});
    } else if (const int existing = findKey(lines, header, key); existing >= 0) {
        // The stored spelling of the key stays.
        QByteArray& bytes = lines[static_cast<size_t>(existing)].bytes;
        bytes = bytes.left(bytes.indexOf('=') + 1) + oneLine.toUtf8();
    } else {
        // After the section's last non-blank line, so blank separators stay between sections.
        int insertAt = sectionEnd(lines, header);
        while (insertAt - 1 > header && trimmedBlanks(lines[static_cast<size_t>(insertAt - 1)].bytes).isEmpty())
            --insertAt;
        lines.insert(lines.begin() + insertAt, Line{keyLine});
    }
    change(std::move(lines));
}

void IniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::EraseSection(const QString& section)
{
    Lines lines = lines_;
    bool found = false;
    // Duplicates go too, or their keys would surface as the section's.
    for (int header = findSection(lines, section); header >= 0; header = findSection(lines, section)) {
        lines.erase(lines.begin() + header, lines.begin() + sectionEnd(lines, header));
        found = true;
    }
    if (found)
        change(std::move(lines));
}

void IniFile::checkWritable() const
{
    const QByteArray native = QFile::encodeName(path_);
    struct stat existing {};
    if (::stat(native.constData(), &existing) == 0) {
        // A file marked read-only stays untouched, even for a user whom the system would let
        // write; one that could not be read would lose every line this object never saw.
        if ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(native.constData(), W_OK) != 0
            || !readable_)
            throw AppError(QStringLiteral("Unable to write to %1").arg(path_));
    } else if (!QFileInfo(QFileInfo(path_).absolutePath()).isDir()) {
        throw AppError(QStringLiteral("Unable to write to %1").arg(path_));
    }
}

void IniFile::change(Lines lines)
{
    checkWritable();
    lines_ = std::move(lines);
    changed_ = true;
}

namespace {

enum class Replaced { Done, NotHere, Failed };

// Writes a temporary file beside the target and renames it over it.
Replaced replaceWhole(const QByteArray& native, const QByteArray& folder, const QByteArray& name,
                      const QByteArray& content, mode_t mode)
{
    QByteArray temporary = folder + "/." + name + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return errno == EACCES || errno == EPERM || errno == EROFS ? Replaced::NotHere : Replaced::Failed;
    const bool ok = writeAll(fd, content) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || ::rename(temporary.constData(), native.constData()) != 0) {
        ::unlink(temporary.constData());
        return Replaced::Failed;
    }
    syncFolder(folder);
    return Replaced::Done;
}

bool rewriteInPlace(const QByteArray& native, const QByteArray& content)
{
    const int fd = ::open(native.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = writeAll(fd, content) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

} // namespace

void IniFile::UpdateFile()
{
    if (!changed_)
        return;
    checkWritable();
    const QByteArray native = QFile::encodeName(path_);
    QByteArray content;
    for (const Line& line : lines_)
        content += line.bytes + lineEnd_;

    struct stat existing {};
    const bool exists = ::stat(native.constData(), &existing) == 0;
    // A replacement would belong to this user; a file that belongs to someone else, or that
    // lies in a folder this user may not write, is rewritten where it is instead.
    const bool ownFile = !exists || (existing.st_uid == ::geteuid() && existing.st_gid == ::getegid());
    Replaced result = Replaced::NotHere;
    if (ownFile)
        result = replaceWhole(native, QFile::encodeName(QFileInfo(path_).absolutePath()),
                              QFile::encodeName(QFileInfo(path_).fileName()), content, exists ? existing.st_mode & 07777 : 0644);
    if (result == Replaced::Failed || (result == Replaced::NotHere && !(exists && rewriteInPlace(native, content))))
        throw AppError(QStringLiteral("Unable to write to %1").arg(path_));
    changed_ = false;
}
