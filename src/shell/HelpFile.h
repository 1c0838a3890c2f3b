#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct chmFile;

// One entry of the help file's table of contents; depth 0 is the top level.
struct HelpTopic {
    QString name;
    QString page;  // absolute path inside the help file, or empty for a heading
    int depth = 0;
};

// A compiled help file, read through libchm. Paths inside it are absolute ("/index.html").
class HelpFile {
public:
    HelpFile() = default;
    HelpFile(const HelpFile&) = delete;
    HelpFile& operator=(const HelpFile&) = delete;
    ~HelpFile();

    // Opens the file and reads its system data; false, with errorString() set, when the file is
    // missing or is not a readable help file.
    bool open(const QString& path);
    bool isOpen() const { return chm_ != nullptr; }
    QString errorString() const { return error_; }

    QString title() const { return title_; }
    QString defaultPage() const { return defaultPage_; }

    bool contains(const QString& page) const;
    // The object's bytes, or an empty array when there is no such object or it cannot be read.
    QByteArray read(const QString& page) const;
    QStringList pages() const;

    // The page of a help context number from the file's own context map, or an empty string.
    QString pageForContext(int context) const;

    QList<HelpTopic> contents() const;

private:
    QString existingPage(const QString& stored) const;

    chmFile* chm_ = nullptr;
    QString error_;
    QString title_;
    QString defaultPage_;
    QString contentsFile_;
};

// The table of contents of a sitemap file (.hhc), in order.
QList<HelpTopic> parseSitemap(const QString& sitemap);
