#include "config/IniFile.h"

#include "common/AppError.h"
#include "common/WholeFileWrite.h"

#include <QFile>

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

// A value as read: without the blanks around it and one pair of enclosing quotation marks.
QByteArrayView unquoted(QByteArrayView raw)
{
    const QByteArrayView text = trimmedBlanks(raw);
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
        return text.sliced(1, text.size() - 2);
    return text;
}

// A line break inside a value would split it into lines of its own.
QString oneLine(const QString& value)
{
    QString text = value;
    return text.replace('\r', ' ').replace('\n', ' ');
}

// The value as stored, quoted when reading would otherwise lose its outer blanks or quotes.
QByteArray stored(const QString& value)
{
    const QByteArray bytes = oneLine(value).toUtf8();
    return unquoted(bytes) == bytes ? bytes : '"' + bytes + '"';
}

std::filesystem::path nativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

const QByteArray ByteOrderMark("\xEF\xBB\xBF");

} // namespace

IniFile::IniFile(QString path) : path_(std::move(path))
{
    QFile file(path_);
    QByteArray content;
    if (file.open(QIODevice::ReadOnly))
        content = file.readAll();
    else
        readable_ = !file.exists();
    if (content.startsWith(ByteOrderMark)) {
        byteOrderMark_ = true;
        content.remove(0, ByteOrderMark.size());
    }
    const qsizetype firstLf = content.indexOf('\n');
    lineEnd_ = (firstLf > 0 && content[firstLf - 1] == '\r') ? QByteArray("\r\n") : QByteArray("\n");
    finalLineEnd_ = content.isEmpty() || content.endsWith('\n');
    for (qsizetype start = 0; start < content.size();) {
        const qsizetype lf = content.indexOf('\n', start);
        if (lf < 0) {
            lines_.push_back(Line{content.sliced(start), {}});
            break;
        }
        const qsizetype end = (lf > start && content[lf - 1] == '\r') ? lf - 1 : lf;
        lines_.push_back(Line{content.sliced(start, end - start), content.sliced(end, lf + 1 - end)});
        start = lf + 1;
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
    value = QString::fromUtf8(unquoted(bytes)).left(MaxValueLength);
    return true;
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    QString value;
    return findValue(section, key, value) ? value : defaultValue.left(MaxValueLength);
}

QString IniFile::ReadBackValue(const QString& value)
{
    return QString::fromUtf8(oneLine(value).toUtf8()).left(MaxValueLength);
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
    const QByteArray storedValue = stored(value);
    const QByteArray keyLine = key.toUtf8() + '=' + storedValue;

    prepareChange();
    Lines& lines = lines_;
    const int header = findSection(lines, section);
    if (header < 0) {
        lines.push_back(Line{'[' + section.toUtf8() + ']', {}});
        lines.push_back(Line{keyLine, {}});
    } else if (const int existing = findKey(lines, header, key); existing >= 0) {
        // The stored spelling of the key and the blanks after "=" stay.
        QByteArray& bytes = lines[static_cast<size_t>(existing)].bytes;
        qsizetype valueStart = bytes.indexOf('=') + 1;
        while (valueStart < bytes.size() && (bytes[valueStart] == ' ' || bytes[valueStart] == '\t'))
            ++valueStart;
        bytes = bytes.left(valueStart) + storedValue;
    } else {
        // After the section's last non-blank line, so blank separators stay between sections.
        int insertAt = sectionEnd(lines, header);
        while (insertAt - 1 > header && trimmedBlanks(lines[static_cast<size_t>(insertAt - 1)].bytes).isEmpty())
            --insertAt;
        lines.insert(lines.begin() + insertAt, Line{keyLine, {}});
    }
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
    if (findSection(lines_, section) < 0)
        return;
    prepareChange();
    // Duplicates go too, or their keys would surface as the section's.
    for (int header = findSection(lines_, section); header >= 0; header = findSection(lines_, section))
        lines_.erase(lines_.begin() + header, lines_.begin() + sectionEnd(lines_, header));
}

void IniFile::checkWritable() const
{
    // A file that could not be read would lose every line this object never saw.
    if (!readable_ || !mayWriteFile(nativePath(path_)))
        throw AppError::unableToWrite(path_);
}

void IniFile::prepareChange()
{
    checkWritable();
    changed_ = true;
}

QByteArray IniFile::content() const
{
    QByteArray bytes = byteOrderMark_ ? ByteOrderMark : QByteArray();
    for (size_t i = 0; i < lines_.size(); ++i) {
        bytes += lines_[i].bytes;
        if (i + 1 < lines_.size() || finalLineEnd_)
            bytes += lines_[i].end.isEmpty() ? lineEnd_ : lines_[i].end;
    }
    return bytes;
}

void IniFile::UpdateFile()
{
    if (!changed_)
        return;
    checkWritable();
    const QByteArray bytes = content();
    if (!writeWholeFile(nativePath(path_), std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))))
        throw AppError::unableToWrite(path_);
    changed_ = false;
}
