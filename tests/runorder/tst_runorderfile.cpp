#include "AppError.h"
#include "RunOrder.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

class TestRunOrderFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString file() const { return dir.filePath("event.run"); }

private slots:
    void writesEntriesWithCrLf();
    void reading_data();
    void reading();
    void unreadableFileKeepsTheList();
    void writeFailureRaisesAndKeepsTheOldFile();
};

void TestRunOrderFile::writesEntriesWithCrLf()
{
    WriteRunOrderFile({"3", "0", "12"}, file());
    QCOMPARE(readBytes(file()), QByteArray::fromHex("330D0A300D0A31320D0A"));
    WriteRunOrderFile({}, file());
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

void TestRunOrderFile::unreadableFileKeepsTheList()
{
    QStringList list{"1", "2"};
    QVERIFY(!LoadRunOrderFile(list, dir.filePath("absent.run")));
    QCOMPARE(list, QStringList({"1", "2"}));
}

void TestRunOrderFile::writeFailureRaisesAndKeepsTheOldFile()
{
    writeBytes(file(), "1\r\n");
    QDir().mkpath(dir.filePath("blocked"));
    QVERIFY_THROWS_EXCEPTION(AppError, WriteRunOrderFile({"2"}, dir.filePath("blocked")));
    QVERIFY_THROWS_EXCEPTION(AppError, WriteRunOrderFile({"2"}, dir.filePath("no/such/folder/x.run")));
    QCOMPARE(readBytes(file()), QByteArray("1\r\n"));
}

QTEST_GUILESS_MAIN(TestRunOrderFile)
#include "tst_runorderfile.moc"
