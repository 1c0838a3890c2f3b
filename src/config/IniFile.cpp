#include "config/IniFile.h"

#include "common/AppError.h"
#include "common/TrustedPath.h"
#include "common/WholeFileWrite.h"

#include <QFile>

#include <algorithm>
#include <utility>

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

// Names are compared without regard to case. They are ASCII in every file this program writes;
// letters beyond ASCII match exactly.
QByteArray folded(QByteArrayView name)
{
    QByteArray text = name.toByteArray();
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
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
// Shared by every line that ends so, rather than one copy per line.
const QByteArray Lf("\n");
const QByteArray CrLf("\r\n");

} // namespace

IniFile::IniFile(QString path) : path_(std::move(path))
{
    std::string read;
    readable_ = readTrustedFile(nativePath(path_), read) != FileRead::Refused;
    QByteArray content = QByteArray::fromStdString(read);
    if (content.startsWith(ByteOrderMark)) {
        byteOrderMark_ = true;
        content.remove(0, ByteOrderMark.size());
    }
    const qsizetype firstLf = content.indexOf('\n');
    lineEnd_ = (firstLf > 0 && content[firstLf - 1] == '\r') ? CrLf : Lf;
    finalLineEnd_ = content.isEmpty() || content.endsWith('\n');
    sections_.emplace_back();
    for (qsizetype start = 0; start < content.size();) {
        const qsizetype lf = content.indexOf('\n', start);
        Line line;
        if (lf < 0) {
            line.bytes = content.sliced(start);
            start = content.size();
        } else {
            const bool cr = lf > start && content[lf - 1] == '\r';
            line = Line{content.sliced(start, lf - start - (cr ? 1 : 0)), cr ? CrLf : Lf};
            start = lf + 1;
        }
        if (QByteArrayView name; sectionName(line.bytes, name))
            addSection(std::move(line));
        else
            addLine(sections_.back(), sections_.back().lines.size(), std::move(line));
    }
}

const IniFile::Section* IniFile::findSection(const QString& section) const
{
    const auto found = sectionIndex_.find(folded(section.toUtf8()));
    return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

IniFile::Section* IniFile::findSection(const QString& section)
{
    return const_cast<Section*>(std::as_const(*this).findSection(section));
}

void IniFile::addSection(Line header)
{
    QByteArrayView name;
    sectionName(header.bytes, name);
    QByteArray key = folded(name);
    sectionIndex_.try_emplace(key, sections_.size());
    sections_.push_back(Section{std::move(header), std::move(key), {}, {}});
}

// Only blank lines may follow `at`, or the index of the keys after it would be off by one.
void IniFile::addLine(Section& section, size_t at, Line line)
{
    QByteArrayView name;
    QByteArrayView value;
    if (keyName(line.bytes, name, value))
        section.keys.try_emplace(folded(name), at);
    section.lines.insert(section.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

void IniFile::indexSections()
{
    sectionIndex_.clear();
    for (size_t i = 1; i < sections_.size(); ++i)
        sectionIndex_.try_emplace(sections_[i].name, i);
}

bool IniFile::findValue(const QString& section, const QString& key, QString& value) const
{
    const Section* found = findSection(section);
    if (!found)
        return false;
    const auto line = found->keys.find(folded(key.toUtf8()));
    if (line == found->keys.end())
        return false;
    QByteArrayView name;
    QByteArrayView bytes;
    keyName(found->lines[line->second].bytes, name, bytes);
    value = QString::fromUtf8(unquoted(bytes)).left(MaxValueLength);
    return true;
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    QString value;
    return findValue(section, key, value) ? value : defaultValue.left(MaxValueLength);
}

QString IniFile::readBackValue(const QString& value)
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
    const QByteArray keyBytes = key.toUtf8();
    const QByteArray keyLine = keyBytes + '=' + storedValue;

    prepareChange();
    Section* found = findSection(section);
    if (!found) {
        addSection(Line{'[' + section.toUtf8() + ']', {}});
        addLine(sections_.back(), 0, Line{keyLine, {}});
    } else if (const auto existing = found->keys.find(folded(keyBytes)); existing != found->keys.end()) {
        // The stored spelling of the key and the blanks after "=" stay.
        QByteArray& bytes = found->lines[existing->second].bytes;
        qsizetype valueStart = bytes.indexOf('=') + 1;
        while (valueStart < bytes.size() && (bytes[valueStart] == ' ' || bytes[valueStart] == '\t'))
            ++valueStart;
        bytes = bytes.left(valueStart) + storedValue;
    } else {
        // After the section's last non-blank line, so blank separators stay between sections.
        size_t insertAt = found->lines.size();
        while (insertAt > 0 && trimmedBlanks(found->lines[insertAt - 1].bytes).isEmpty())
            --insertAt;
        addLine(*found, insertAt, Line{keyLine, {}});
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
    const QByteArray name = folded(section.toUtf8());
    if (!sectionIndex_.contains(name))
        return;
    prepareChange();
    // Duplicates go too, or their keys would surface as the section's.
    sections_.erase(std::remove_if(sections_.begin() + 1, sections_.end(), [&](const Section& s) { return s.name == name; }),
                    sections_.end());
    indexSections();
}

void IniFile::checkWritable() const
{
    // A file that could not be read would lose every line this object never saw.
    if (!readable_ || !mayWriteFile(nativePath(path_)))
        throw AppError::unableToWrite(path_);
}

void IniFile::prepareChange()
{
    // Once a batch: updateFile looks again before it writes.
    if (!changed_)
        checkWritable();
    changed_ = true;
}

QByteArray IniFile::content() const
{
    QByteArray bytes = byteOrderMark_ ? ByteOrderMark : QByteArray();
    qsizetype lastEnd = 0;
    const auto put = [&](const Line& line) {
        const QByteArray& end = line.end.isEmpty() ? lineEnd_ : line.end;
        bytes += line.bytes;
        bytes += end;
        lastEnd = end.size();
    };
    for (size_t i = 0; i < sections_.size(); ++i) {
        if (i > 0)
            put(sections_[i].header);
        for (const Line& line : sections_[i].lines)
            put(line);
    }
    if (!finalLineEnd_)
        bytes.chop(lastEnd);
    return bytes;
}

void IniFile::updateFile()
{
    if (!changed_)
        return;
    checkWritable();
    const QByteArray bytes = content();
    if (!writeWholeFile(nativePath(path_), std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))))
        throw AppError::unableToWrite(path_);
    changed_ = false;
}
