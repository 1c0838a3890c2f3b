#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// The profile-file object: an INI file opened for one batch of reads and writes.
//
// Section and key names match without regard to case; the first of duplicate sections or keys
// wins. Writes change the object's image of the file; UpdateFile replaces the whole file with
// it at once (a temporary file in the same folder, renamed over the old one), so a crash or
// kill at any moment leaves the old or the new file, never a torn one. A file that belongs to
// another user, or lies in a folder this user may not write, is rewritten in place instead, so
// it keeps its owner and can be saved at all. Lines the object does not touch are written back
// byte for byte.
class IniFile {
public:
    explicit IniFile(QString path);
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    static constexpr int MaxValueLength = 2047;

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;

    // Each write throws AppError("Unable to write to <path>") when the file cannot be written
    // (marked read-only, or its folder missing); the file then keeps its previous contents.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void EraseSection(const QString& section);

    // Puts the writes so far on disk; throws AppError as above when that fails, leaving the
    // previous file whole.
    void UpdateFile();

    const QString& path() const { return path_; }
    // False when the file exists but could not be read; reads then give their defaults.
    bool readable() const { return readable_; }

    // Text to integer by the profile rules: "0x" hex for texts longer than two characters,
    // otherwise decimal with optional sign; false when the text is not a 32-bit integer.
    static bool parseInteger(const QString& text, int& result);

private:
    struct Line {
        QByteArray bytes;  // without its line end
    };

    using Lines = std::vector<Line>;

    static int findSection(const Lines& lines, const QString& section);   // its header line, or -1
    static int sectionEnd(const Lines& lines, int headerLine);            // one past its last line
    static int findKey(const Lines& lines, int headerLine, const QString& key);
    bool findValue(const QString& section, const QString& key, QString& value) const;
    void checkWritable() const;
    void change(Lines lines);

    QString path_;
    Lines lines_;
    QByteArray lineEnd_;
    bool readable_ = true;
    bool changed_ = false;
};
