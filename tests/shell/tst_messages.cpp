#include "TestFiles.h"
#include "shell/MessageTable.h"

#include <QTemporaryDir>
#include <QtTest>

class TestMessages : public QObject {
    Q_OBJECT

private slots:
    void loadsNumberedLines();
    void headerOnlyFileLeavesEveryTextEmpty();
};

void TestMessages::loadsNumberedLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("elevra.msg");
    writeBytes(path, "5=header line is never a message\r\n"
                     "12=Actual\r\n"
                     "13= Target \r\n"
                     "no equals sign\r\n"
                     "=leading equals\r\n"
                     "x1=not a number\r\n"
                     "40=out of range\r\n"
                     "-1=negative\r\n"
                     "12=Actual Height\r\n"
                     "16=Port=busy\n"
                     "\xff\xfe\x00junk\n"
                     "20=");
    MessageTable m;
    m.LoadMessages(path);
    QCOMPARE(m[5], QString());
    QCOMPARE(m[12], QString("Actual Height"));
    QCOMPARE(m[13], QString(" Target "));
    QCOMPARE(m[16], QString("Port=busy"));
    QCOMPARE(m[20], QString());
    QCOMPARE(m[39], QString());
    QCOMPARE(m[40], QString());
    QCOMPARE(m[-1], QString());
}

void TestMessages::headerOnlyFileLeavesEveryTextEmpty()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("elevra.msg");
    writeBytes(path, "1=only the header\n");
    MessageTable m;
    m.LoadMessages(path);
    for (int i = 0; i < MessageTable::Count; ++i)
        QVERIFY(m[i].isEmpty());
}

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
