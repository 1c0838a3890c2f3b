#include "TestFiles.h"
#include "common/AppError.h"
#include "common/TrustedPath.h"
#include "runorder/RunOrder.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

class TestRunOrderFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString file() const { return dir.filePath("event.run"); }

private slots:
    void writesEntriesWithCrLf();
    void reading_data();
    void reading();
    void unreadableFileKeepsTheList_data();
    void unreadableFileKeepsTheList();
    void writeFailureRaisesAndKeepsTheOldFile();
    void savedThroughLinkIntoTheRealFile();
    void writableFileInReadOnlyFolderIsWrittenInPlace();
};

void TestRunOrderFile::writesEntriesWithCrLf()
{
    writeRunOrderFile({"3", "0", "12"}, file());
    QCOMPARE(readBytes(file()), QByteArray::fromHex("330D0A300D0A31320D0A"));
    writeRunOrderFile({}, file());
    QCOMPARE(readBytes(file()), QByteArray());
}

void TestRunOrderFile::reading_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("crlf") << QByteArray("3\r\n0\r\n12\r\n") << QStringList{"3", "0", "12"};
    QTest::newRow("no final line end") << QByteArray("5\r\n7") << QStringList{"5", "7"};
    QTest::newRow("empty middle line") << QByteArray("4\r\n\r\n9\r\n") << QStringList{"4", "", "9"};
    QTest::newRow("lone cr and lf") << QByteArray("1\r2\n3\r\n") << QStringList{"1", "2", "3"};
    QTest::newRow("trailing empty line") << QByteArray("1\n\n") << QStringList{"1", ""};
    QTest::newRow("empty") << QByteArray() << QStringList{};
    QTest::newRow("kept as read") << QByteArray(" 8 \nabc\n") << QStringList{" 8 ", "abc"};
    QTest::newRow("utf-8 mark") << QByteArray("\xEF\xBB\xBF" "2\r\n6\r\n") << QStringList{"2", "6"};
    QTest::newRow("utf-16le mark") << QByteArray("\xFF\xFE" "1\0\r\0\n\0" "4\0", 10) << QStringList{"1", "4"};
    QTest::newRow("utf-16be mark") << QByteArray("\xFE\xFF\0" "1\0\n\0" "2", 8) << QStringList{"1", "2"};
}

void TestRunOrderFile::reading()
{
    QFETCH(QByteArray, bytes);
    writeBytes(file(), bytes);
    QStringList list{"stale"};
    QVERIFY(LoadRunOrderFile(list, file()));
    QTEST(list, "entries");
}

void TestRunOrderFile::unreadableFileKeepsTheList_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("read");
    QTest::newRow("absent") << "absent" << false;
    // What another user can leave in a shared folder: nothing may block, or fill memory.
    QTest::newRow("fifo") << "fifo" << false;
    QTest::newRow("link to a device") << "device" << false;
    QTest::newRow("over 1 MiB") << "large" << false;
    QTest::newRow("1 MiB") << "limit" << true;
}

void TestRunOrderFile::unreadableFileKeepsTheList()
{
    QFETCH(QString, what);
    QFETCH(bool, read);
    const QString path = dir.filePath(what + ".run");
    const std::filesystem::path native = QFile::encodeName(path).toStdString();
    if (what == "fifo")
        QVERIFY(::mkfifo(native.c_str(), 0644) == 0);
    if (what == "device")
        std::filesystem::create_symlink("/dev/zero", native);
    if (what == "large" || what == "limit") {
        writeBytes(path, "7\r\n");
        std::filesystem::resize_file(native, SharedFileLimit + (what == "large" ? 1 : 0));
    }
    QStringList list{"1", "2"};
    QCOMPARE(LoadRunOrderFile(list, path), read);
    if (read)
        QCOMPARE(list.first(), QString("7"));
    else
        QCOMPARE(list, QStringList({"1", "2"}));
}

void TestRunOrderFile::writeFailureRaisesAndKeepsTheOldFile()
{
    writeBytes(file(), "1\r\n");
    QDir().mkpath(dir.filePath("blocked"));
    QVERIFY_THROWS_EXCEPTION(AppError, writeRunOrderFile({"2"}, dir.filePath("blocked")));
    QVERIFY_THROWS_EXCEPTION(AppError, writeRunOrderFile({"2"}, dir.filePath("no/such/folder/x.run")));
    QCOMPARE(readBytes(file()), QByteArray("1\r\n"));
}

void TestRunOrderFile::savedThroughLinkIntoTheRealFile()
{
    const QString link = dir.filePath("current.run");
    writeBytes(file(), "1\r\n");
    QVERIFY(::symlink("event.run", QFile::encodeName(link).constData()) == 0);
    writeRunOrderFile({"4", "5"}, link);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readBytes(file()), QByteArray("4\r\n5\r\n"));
}

void TestRunOrderFile::writableFileInReadOnlyFolderIsWrittenInPlace()
{
    QTemporaryDir shared;
    const QByteArray folder = QFile::encodeName(shared.path());
    const QString event = shared.filePath("event.run");
    writeBytes(event, "1\r\n2\r\n3\r\n");
    const auto restore = qScopeGuard([&] { ::chmod(folder.constData(), 0700); });
    // Permissions do not stop root: then the writer runs as another user, who owns the file
    // but may not write the folder.
    QStringList userArgs;
    if (::geteuid() == 0) {
        QVERIFY(::chmod(folder.constData(), 0755) == 0);
        QVERIFY(::chown(QFile::encodeName(event).constData(), 65534, 65534) == 0);
        userArgs = QStringList{"--user", "65534"};
    } else {
        QVERIFY(::chmod(folder.constData(), 0555) == 0);
    }
    QProcess writer;
    writer.start(FILE_WRITER, userArgs + QStringList{"runorder", event, "3", "0"});
    QVERIFY(writer.waitForFinished());
    QVERIFY2(writer.exitCode() == 0, writer.readAllStandardError().constData());
    QCOMPARE(readBytes(event), QByteArray("3\r\n0\r\n"));

    // A new file cannot be made there: that still fails as before.
    const QString fresh = shared.filePath("fresh.run");
    writer.start(FILE_WRITER, userArgs + QStringList{"runorder", fresh, "1"});
    QVERIFY(writer.waitForFinished());
    QCOMPARE(writer.exitCode(), 1);
    QCOMPARE(writer.readAllStandardError().trimmed(), "Unable to write to " + QFile::encodeName(fresh));
}

QTEST_GUILESS_MAIN(TestRunOrderFile)
#include "tst_runorderfile.moc"
