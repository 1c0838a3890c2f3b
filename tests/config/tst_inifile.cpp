#include "TestFiles.h"
#include "common/AppError.h"
#include "config/IniFile.h"

#include <QTemporaryDir>
#include <QtTest>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

class TestIniFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString path() const { return dir.filePath("test.ini"); }

private slots:
    void readsValuesWithDefaults();
    void valuesLoseOuterBlanksAndOneEnclosingPairOfQuotes_data();
    void valuesLoseOuterBlanksAndOneEnclosingPairOfQuotes();
    void integerConversion_data();
    void integerConversion();
    void namesMatchIgnoringCaseAndFirstDuplicateWins();
    void damagedFileReadsWhatItCan();
    void longValuesAreCutAt2047();
    void writeReplacesValueAndKeepsEveryOtherLine();
    void writeAddsMissingKeyToItsSectionAndMissingSectionAtEnd();
    void writeCreatesMissingFile();
    void untouchedLinesKeepTheirBytesLineEndsAndByteOrderMark();
#ifndef _WIN32
    void savingThroughLinksReachesTheRealFile();
#endif
    void eraseSectionRemovesItAndItsDuplicates();
    void valueWithLineBreakStaysOneLine();
    void failedWriteRaisesAndLeavesFileAsItWas();
#ifndef _WIN32
    void fileOfAnotherUserKeepsItsOwner();
#endif
};

void TestIniFile::readsValuesWithDefaults()
{
    writeBytes(path(), "[Main]\nName=Telvio - Vantora\nFlag=0\nOther=7\nEmpty=\n");
    const IniFile ini(path());
    QCOMPARE(ini.ReadString("Main", "Name", "x"), QString("Telvio - Vantora"));
    QCOMPARE(ini.ReadString("Main", "Empty", "x"), QString());
    QCOMPARE(ini.ReadString("Main", "Missing", "x"), QString("x"));
    QCOMPARE(ini.ReadString("Nowhere", "Name", "y"), QString("y"));
    QCOMPARE(ini.ReadBool("Main", "Flag", true), false);
    QCOMPARE(ini.ReadBool("Main", "Other", false), true);
    QCOMPARE(ini.ReadBool("Main", "Name", true), true);
    QCOMPARE(ini.ReadBool("Main", "Name", false), false);
    QCOMPARE(ini.ReadInteger("Main", "Empty", 5), 5);
}

void TestIniFile::valuesLoseOuterBlanksAndOneEnclosingPairOfQuotes_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("read");
    QTest::newRow("trailing blank") << QByteArray("/data/DBase1.db ") << "/data/DBase1.db";
    QTest::newRow("blanks and tabs") << QByteArray("\t 12 \t") << "12";
    QTest::newRow("double quotes") << QByteArray("\"a b\"") << "a b";
    QTest::newRow("single quotes") << QByteArray("'a b'") << "a b";
    QTest::newRow("blanks inside quotes stay") << QByteArray(" \" a \" ") << " a ";
    QTest::newRow("only one pair goes") << QByteArray("\"\"x\"\"") << "\"x\"";
    QTest::newRow("empty quotes") << QByteArray("''") << "";
    QTest::newRow("unmatched") << QByteArray("\"x'") << "\"x'";
    QTest::newRow("lone quote") << QByteArray("\"") << "\"";
}

void TestIniFile::valuesLoseOuterBlanksAndOneEnclosingPairOfQuotes()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, read);
    writeBytes(path(), "[S]\nK=" + stored + "\n");
    QCOMPARE(IniFile(path()).ReadString("S", "K", "default"), read);

    // Whatever is written reads back as it was, outer blanks and quotes included.
    {
        IniFile ini(path());
        ini.WriteString("S", "K", read);
        ini.updateFile();
    }
    QCOMPARE(IniFile(path()).ReadString("S", "K", "default"), read);
}

void TestIniFile::integerConversion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("decimal") << "42" << 42;
    QTest::newRow("negative") << "-3" << -3;
    QTest::newRow("plus sign") << "+8" << 8;
    QTest::newRow("hex lower prefix") << "0x10" << 16;
    QTest::newRow("hex upper prefix") << "0XfF" << 255;
    QTest::newRow("hex all bits is -1") << "0xFFFFFFFF" << -1;
    QTest::newRow("bare 0x is not hex") << "0x" << 99;
    QTest::newRow("hex too wide") << "0x1FFFFFFFF" << 99;
    QTest::newRow("letters") << "twelve" << 99;
    QTest::newRow("trailing junk") << "12a" << 99;
    QTest::newRow("blanks around") << " 12 " << 12;
    QTest::newRow("beyond 32 bits") << "2147483648" << 99;
    QTest::newRow("smallest") << "-2147483648" << INT32_MIN;
}

void TestIniFile::integerConversion()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    writeBytes(path(), "[S]\nK=" + text.toUtf8() + "\n");
    QCOMPARE(IniFile(path()).ReadInteger("S", "K", 99), expected);
}

void TestIniFile::namesMatchIgnoringCaseAndFirstDuplicateWins()
{
    writeBytes(path(), "[MAIN]\nstands displayed=3\nStands Displayed=5\n[main]\nTop=9\n");
    IniFile ini(path());
    QCOMPARE(ini.ReadInteger("Main", "Stands Displayed", 8), 3);
    QCOMPARE(ini.ReadInteger("Main", "Top", 1), 1);  // only the first [Main] counts
    ini.WriteInteger("main", "STANDS DISPLAYED", 4);
    ini.updateFile();
    QCOMPARE(readBytes(path()), QByteArray("[MAIN]\nstands displayed=4\nStands Displayed=5\n[main]\nTop=9\n"));
}

void TestIniFile::damagedFileReadsWhatItCan()
{
    QByteArray junk("Orphan=1\r\n\x01\x02\xff\xfe garbage\r\n[Main\r\n[Main]\r\n=novalue\r\nTop=12\r\n");
    junk += QByteArray(100000, 'z') + "\r\n";
    junk += "Left=7";  // no final line end
    writeBytes(path(), junk);
    IniFile ini(path());
    QCOMPARE(ini.ReadInteger("Main", "Top", 0), 12);
    QCOMPARE(ini.ReadInteger("Main", "Left", 0), 7);
    QCOMPARE(ini.ReadInteger("", "Orphan", 0), 0);

    ini.WriteInteger("Main", "Top", 13);
    ini.updateFile();
    QByteArray expected = junk;
    expected.replace("Top=12", "Top=13");
    QCOMPARE(readBytes(path()), expected);
}

void TestIniFile::longValuesAreCutAt2047()
{
    writeBytes(path(), "[S]\nK=" + QByteArray(3000, 'a') + "\n");
    QCOMPARE(IniFile(path()).ReadString("S", "K", {}).size(), 2047);
}

void TestIniFile::writeReplacesValueAndKeepsEveryOtherLine()
{
    const QByteArray before("; hand-written\r\n[Main]\r\nTop=1\r\n\r\n[Other]\r\nKey = spaced\r\n");
    writeBytes(path(), before);
    IniFile ini(path());
    ini.WriteInteger("Main", "Top", 250);
    ini.WriteString("Other", "Key", "new");
    QCOMPARE(readBytes(path()), before);  // nothing reaches the disk before the batch ends
    ini.updateFile();
    QCOMPARE(readBytes(path()), QByteArray("; hand-written\r\n[Main]\r\nTop=250\r\n\r\n[Other]\r\nKey = new\r\n"));
    QCOMPARE(ini.ReadString("Other", "key", {}), QString("new"));
}

void TestIniFile::writeAddsMissingKeyToItsSectionAndMissingSectionAtEnd()
{
    writeBytes(path(), "[A]\nx=1\n\n[B]\ny=2\n");
    IniFile ini(path());
    ini.WriteString("A", "z", "3");
    ini.WriteBool("C", "flag", true);
    ini.WriteBool("C", "off", false);
    ini.updateFile();
    QCOMPARE(readBytes(path()), QByteArray("[A]\nx=1\nz=3\n\n[B]\ny=2\n[C]\nflag=1\noff=0\n"));
}

void TestIniFile::writeCreatesMissingFile()
{
    const QString fresh = dir.filePath("fresh.ini");
    {
        IniFile ini(fresh);
        QCOMPARE(ini.ReadInteger("Main", "Top", 100), 100);
        ini.WriteInteger("Main", "Top", 5);
        ini.updateFile();
    }
    QCOMPARE(readBytes(fresh), QByteArray("[Main]\nTop=5\n"));
}

void TestIniFile::untouchedLinesKeepTheirBytesLineEndsAndByteOrderMark()
{
    writeBytes(path(), "\xEF\xBB\xBF[Main]\r\nTop=1\nLeft = 2\r\n; note \n[Other]\r\nK=v");
    {
        IniFile ini(path());
        QCOMPARE(ini.ReadInteger("Main", "Top", 0), 1);
        ini.WriteInteger("Main", "Top", 5);
        ini.WriteString("Other", "New", "x");
        ini.WriteString("Added", "A", "1");
        ini.updateFile();
    }
    QCOMPARE(readBytes(path()), QByteArray("\xEF\xBB\xBF[Main]\r\nTop=5\nLeft = 2\r\n; note \n[Other]\r\nK=v\r\nNew=x\r\n"
                                           "[Added]\r\nA=1"));
}

#ifndef _WIN32
void TestIniFile::savingThroughLinksReachesTheRealFile()
{
    QVERIFY(QDir(dir.path()).mkpath("real"));
    const QString real = dir.filePath("real/test.ini");
    const QString symlink = dir.filePath("link.ini");
    writeBytes(real, "[Main]\nTop=1\n");
    QVERIFY(::symlink("real/test.ini", QFile::encodeName(symlink).constData()) == 0);
    IniFile throughSymlink(symlink);
    throughSymlink.WriteInteger("Main", "Top", 2);
    throughSymlink.updateFile();
    QVERIFY(QFileInfo(symlink).isSymLink());
    QCOMPARE(readBytes(real), QByteArray("[Main]\nTop=2\n"));

    const QString hardLink = dir.filePath("second name.ini");
    QVERIFY(::link(QFile::encodeName(real).constData(), QFile::encodeName(hardLink).constData()) == 0);
    IniFile throughHardLink(hardLink);
    throughHardLink.WriteInteger("Main", "Top", 3);
    throughHardLink.updateFile();
    QCOMPARE(readBytes(real), QByteArray("[Main]\nTop=3\n"));
    QCOMPARE(QDir(dir.filePath("real")).entryList(QDir::Files | QDir::Hidden), QStringList{"test.ini"});
}
#endif

void TestIniFile::eraseSectionRemovesItAndItsDuplicates()
{
    writeBytes(path(), "[Run Order]\nR0=1\n[Main]\nTop=1\n[run order]\nR0=2\nR1=3\n");
    IniFile ini(path());
    ini.EraseSection("RUN ORDER");
    ini.updateFile();
    QCOMPARE(readBytes(path()), QByteArray("[Main]\nTop=1\n"));
    QCOMPARE(ini.ReadString("Run Order", "R0", "X"), QString("X"));
    ini.EraseSection("Absent");
    ini.updateFile();
    QCOMPARE(readBytes(path()), QByteArray("[Main]\nTop=1\n"));
}

void TestIniFile::valueWithLineBreakStaysOneLine()
{
    IniFile ini(path());
    ini.WriteString("S", "ID", "two\nlines\r[Evil]");
    ini.updateFile();
    QCOMPARE(ini.ReadString("S", "ID", {}), QString("two lines [Evil]"));
    QCOMPARE(IniFile(path()).ReadString("Evil", "ID", "none"), QString("none"));
}

void TestIniFile::failedWriteRaisesAndLeavesFileAsItWas()
{
    writeBytes(path(), "[Main]\nTop=1\n");
    QVERIFY(QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    IniFile ini(path());
    try {
        ini.WriteInteger("Main", "Top", 2);
        QFAIL("a read-only file was written");
    } catch (const AppError& error) {
        QCOMPARE(error.text(), "Unable to write to " + path());
    }
    QCOMPARE(readBytes(path()), QByteArray("[Main]\nTop=1\n"));

    IniFile nowhere(dir.filePath("missing/folder/x.ini"));
    QVERIFY_THROWS_EXCEPTION(AppError, nowhere.WriteInteger("Main", "Top", 2));

    // Made read-only between the writes and their update: the old file stays whole.
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    IniFile late(path());
    late.WriteInteger("Main", "Top", 3);
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    QVERIFY_THROWS_EXCEPTION(AppError, late.updateFile());
    QCOMPARE(readBytes(path()), QByteArray("[Main]\nTop=1\n"));
    QCOMPARE(QDir(dir.path()).entryList({".*"}, QDir::Files | QDir::Hidden).size(), 0);  // no temporary left
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

#ifndef _WIN32
void TestIniFile::fileOfAnotherUserKeepsItsOwner()
{
    if (::geteuid() != 0)
        QSKIP("needs to hand the file to another user");
    writeBytes(path(), "[Main]\nTop=1\n");
    const QByteArray native = QFile::encodeName(path());
    QVERIFY(::chown(native.constData(), 65534, 65534) == 0);
    {
        IniFile ini(path());
        ini.WriteInteger("Main", "Top", 2);
        ini.updateFile();
    }
    struct stat after {};
    QVERIFY(::stat(native.constData(), &after) == 0);
    QCOMPARE(after.st_uid, uid_t(65534));
    QCOMPARE(after.st_gid, gid_t(65534));
    QCOMPARE(readBytes(path()), QByteArray("[Main]\nTop=2\n"));
    ::chown(native.constData(), 0, 0);
}
#endif

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
