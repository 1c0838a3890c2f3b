#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

// The profile-file object: an INI file opened for one batch of reads and writes.
//
// Section and key names match without regard to case; the first of duplicate sections or keys
// wins. A value is read without the blanks and tabs around it and without one pair of matching
// quotation marks (single or double) that encloses it; a written value that would lose either
// is enclosed in double quotation marks. Writes change the object's image of the file;
// updateFile puts it on disk in one whole-file write (WholeFileWrite.h: through trusted links
// only, in place where a replacement cannot be made). The file is read as readTrustedFile
// (TrustedPath.h) reads it: at most 1 MiB, a regular file, no untrusted link on the way.
// Sections and keys are indexed once, so a lookup does not walk the file. Lines the object does not touch are written back byte
// for byte with their own line ends, a missing final line end stays missing, and a UTF-8
// byte-order mark stays in front.
class IniFile {
public:
    explicit IniFile(QString path);
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    static constexpr int MaxValueLength = 2047;

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;

    // The first write of a batch throws AppError("Unable to write to <path>") when the file
    // cannot be written (marked read-only, its folder missing, an untrusted link); the file then
    // keeps its previous contents.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void EraseSection(const QString& section);

    // Puts the writes so far on disk; throws AppError as above when that fails, leaving the
    // previous file as it was (but for a rewrite in place that fails halfway, a full disk).
    void updateFile();

    const QString& path() const { return path_; }
    // False when the file exists but could not be read or was refused; reads then give their
    // defaults and writes throw, since saving would lose every line this object never saw.
    bool readable() const { return readable_; }

    // What ReadString gives back after WriteString(value): line breaks become blanks and the
    // text is cut at MaxValueLength. Compare a value with the file through this.
    static QString readBackValue(const QString& value);

    // Text to integer by the profile rules: "0x" hex for texts longer than two characters,
    // otherwise decimal with optional sign; false when the text is not a 32-bit integer.
    static bool parseInteger(const QString& text, int& result);

private:
    struct Line {
        QByteArray bytes;  // without its line end
        QByteArray end;    // as read; empty for an added line and a last line without one
    };

    struct NameHash {
        size_t operator()(const QByteArray& name) const
        {
            return std::hash<std::string_view>()(std::string_view(name.constData(), static_cast<size_t>(name.size())));
        }
    };
    using NameIndex = std::unordered_map<QByteArray, size_t, NameHash>;

    // A section header and the lines up to the next one. The lines before the first header are
    // held as a section without a header, which no lookup finds.
    struct Section {
        Line header;
        QByteArray name;                 // folded (see the .cpp)
        std::vector<Line> lines;
        NameIndex keys;                  // folded key -> its first line
    };

    const Section* findSection(const QString& section) const;  // the first of that name
    Section* findSection(const QString& section);
    void addSection(Line header);
    static void addLine(Section& section, size_t at, Line line);
    void indexSections();
    bool findValue(const QString& section, const QString& key, QString& value) const;
    void checkWritable() const;
    void prepareChange();  // throws, before anything changes, when the file cannot be written
    QByteArray content() const;

    QString path_;
    std::vector<Section> sections_;           // [0]: the lines before the first header
    NameIndex sectionIndex_;           // folded name -> its first section
    QByteArray lineEnd_;       // for added lines: the file's first line end
    bool byteOrderMark_ = false;
    bool finalLineEnd_ = true;
    bool readable_ = true;
    bool changed_ = false;
};
