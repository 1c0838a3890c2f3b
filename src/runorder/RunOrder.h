#pragma once

#include <QString>
#include <QStringList>

// The run order of an event: database indices as decimal text, in running order. The file
// it was last retrieved from or saved to is the setting RunOrderFileName.
struct RunOrder {
    QStringList RunOrderList;
    int RunOrderPosition = 1;   // 1-based current row; not kept within the list's bounds
    bool RunOrderChanged = false;
};

// Writes every entry followed by CR LF, as one whole-file write (WholeFileWrite.h). Throws
// AppError("Unable to write to <path>") when the file cannot be written; an existing file is
// then left as it was.
void writeRunOrderFile(const QStringList& list, const QString& path);

// Reads a run order file into `list`; returns false, leaving `list` unchanged, when the file
// cannot be read or is refused (readTrustedFile: over 1 MiB, no regular file, an untrusted link).
bool LoadRunOrderFile(QStringList& list, const QString& path);

// Splits decoded text into entries at CR LF, lone CR and lone LF; the line end at the very end
// makes no extra entry.
QStringList splitRunOrderText(const QByteArray& bytes);
