// Kills a writer that rewrites a profile file in a loop, at random moments, and counts what
// each kill left: the old or the new content, the new content with a tail of old bytes, an
// empty file or anything else, and the temporary files left in the folder. Once for a file
// that is replaced whole and once for one rewritten in place (a folder the writer may not
// write).
//
//   bench_kills [replaced kills] [in-place kills]      defaults 600 and 150
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray runOrderFile(const QStringList& values)
{
    QByteArray bytes("[Main]\nTop=1\n[Run Order]\n");
    for (qsizetype k = 0; k < values.size(); ++k)
        bytes += "R" + QByteArray::number(k) + "=" + values[k].toUtf8() + "\n";
    return bytes;
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void run(const char* title, int kills, bool inPlace)
{
    QStringList numbers;
    for (int k = 0; k < 40; ++k)
        numbers.append(QString::number(k));
    const QByteArray longFile = runOrderFile(numbers);
    const QByteArray shortFile = runOrderFile({"short", "short", "short"});

    QTemporaryDir dir;
    const QString path = dir.filePath("elevra.ini");
    if (!writeAll(path, longFile))
        return;
    QStringList userArgs;
    const QByteArray folder = QFile::encodeName(dir.path());
    if (inPlace && ::geteuid() == 0) {
        ::chmod(folder.constData(), 0755);
        ::chown(QFile::encodeName(path).constData(), 65534, 65534);
        userArgs = QStringList{"--user", "65534"};
    } else if (inPlace) {
        ::chmod(folder.constData(), 0555);
    }

    int oldOrNew = 0, tail = 0, empty = 0, other = 0, writerFailed = 0;
    qsizetype mostTemporaries = 0;
    for (int i = 0; i < kills; ++i) {
        // Each kill starts from the old content, so one damaged file does not spoil the next.
        writeAll(path, longFile);
        QProcess writer;
        writer.start(QCoreApplication::applicationDirPath() + "/file_writer", userArgs + QStringList{"profile-loop", path});
        if (!writer.waitForStarted() || !writer.waitForReadyRead(5000)) {
            ++writerFailed;
            continue;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(QRandomGenerator::global()->bounded(3000)));
        writer.kill();
        writer.waitForFinished();
        if (writer.exitStatus() != QProcess::CrashExit)
            ++writerFailed;
        const QByteArray left = readAll(path);
        if (left == longFile || left == shortFile)
            ++oldOrNew;
        else if (left == shortFile + longFile.mid(shortFile.size()))
            ++tail;
        else if (left.isEmpty())
            ++empty;
        else
            ++other;
        QStringList others = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        others.removeAll("elevra.ini");
        mostTemporaries = std::max(mostTemporaries, others.size());
    }
    QStringList others = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    others.removeAll("elevra.ini");
    std::printf("%s, %d kills: old or new %d, new + old tail %d, empty %d, other %d, writer failed %d; "
                "temporary files at most %lld, left at the end %lld\n",
                title, kills, oldOrNew, tail, empty, other, writerFailed, static_cast<long long>(mostTemporaries),
                static_cast<long long>(others.size()));
    ::chmod(folder.constData(), 0700);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int replaced = argc > 1 ? std::atoi(argv[1]) : 600;
    const int inPlace = argc > 2 ? std::atoi(argv[2]) : 150;
    run("Replaced whole", replaced, false);
    run("Rewritten in place", inPlace, true);
    return 0;
}
