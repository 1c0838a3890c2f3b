#include "TestFiles.h"
#include "common/AppError.h"
#include "common/Trim.h"
#include "database/SpeakerDatabase.h"

#include <QTemporaryDir>
#include <QtTest>

class TestSpeakerDatabase : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString db() const { return dir.filePath("speakers.db"); }

    static PresetTable sample()
    {
        PresetTable t;
        t[0].preset = {42, 38, 0, 0, 0, 0, 0, 0};
        t[0].preset_id = "Chair";
        t[49].preset = {255, 1, 2, 3, 4, 5, 6, 99};
        t[49].preset_id = "Last One";
        return t;
    }

private slots:
    void init() { QFile::remove(db()); }
    void missingFileClearsEverythingAndIsNotChanged();
    void saveWritesEverySectionInOrderAndReadsBack();
    void emptyIdentifierIsKeptAndOnlyMissingIdIsNoName();
    void heightsKeepTheirLowEightBits();
    void missingSectionsAreClearedAndExtraSectionsKept();
    void changeDetectionIsExactAndCaseSensitive();
    void identifiersAreComparedAsWritten();
    void saveIntoMissingFolderRaises();
    void trimming_data();
    void trimming();
    void findSpeaker_data();
    void findSpeaker();
};

void TestSpeakerDatabase::missingFileClearsEverythingAndIsNotChanged()
{
    PresetTable t = sample();
    RetrieveDatabase(t, db());
    for (const TPreset& p : t)
        QCOMPARE(p, TPreset{});
    QCOMPARE(t[7].preset_id, QString("No Name"));
    QVERIFY(!DatabaseChanged(t, db()));
}

void TestSpeakerDatabase::saveWritesEverySectionInOrderAndReadsBack()
{
    const PresetTable t = sample();
    SaveDatabase(t, db());
    const QByteArray file = readBytes(db());
    QVERIFY(file.startsWith("[Preset0]\nP0=42\nP1=38\nP2=0\nP3=0\nP4=0\nP5=0\nP6=0\nP7=0\nID=Chair\n[Preset1]\nP0=0\n"));
    QVERIFY(file.endsWith("[Preset49]\nP0=255\nP1=1\nP2=2\nP3=3\nP4=4\nP5=5\nP6=6\nP7=99\nID=Last One\n"));
    QCOMPARE(file.count("ID=No Name"), 48);

    PresetTable back;
    RetrieveDatabase(back, db());
    QCOMPARE(back, t);
    QVERIFY(!DatabaseChanged(t, db()));
}

void TestSpeakerDatabase::emptyIdentifierIsKeptAndOnlyMissingIdIsNoName()
{
    PresetTable t;
    t[3].preset_id = "";
    SaveDatabase(t, db());
    QVERIFY(readBytes(db()).contains("[Preset3]\nP0=0\nP1=0\nP2=0\nP3=0\nP4=0\nP5=0\nP6=0\nP7=0\nID=\n"));
    writeBytes(db(), readBytes(db()).replace("[Preset4]\nP0=0\nP1=0\nP2=0\nP3=0\nP4=0\nP5=0\nP6=0\nP7=0\nID=No Name\n",
                                             "[Preset4]\nP0=0\n"));
    PresetTable back;
    back[4].preset_id = "stale";
    RetrieveDatabase(back, db());
    QCOMPARE(back[3].preset_id, QString(""));
    QCOMPARE(back[4].preset_id, QString("No Name"));
}

void TestSpeakerDatabase::heightsKeepTheirLowEightBits()
{
    writeBytes(db(), "[Preset0]\nP0=300\nP1=-1\nP2=abc\nP3=0x20\nID=Odd\n");
    PresetTable t;
    RetrieveDatabase(t, db());
    QCOMPARE(t[0].preset[0], 44);
    QCOMPARE(t[0].preset[1], 255);
    QCOMPARE(t[0].preset[2], 0);
    QCOMPARE(t[0].preset[3], 32);
    QVERIFY(DatabaseChanged(t, db()));
}

void TestSpeakerDatabase::missingSectionsAreClearedAndExtraSectionsKept()
{
    writeBytes(db(), "[Notes]\nevent=Gala\n[Preset1]\nP0=10\nID=Host\n[Preset50]\nP0=77\nID=Beyond\n");
    PresetTable t = sample();
    RetrieveDatabase(t, db());
    QCOMPARE(t[0], TPreset{});
    QCOMPARE(t[1].preset[0], 10);
    QCOMPARE(t[1].preset_id, QString("Host"));
    QCOMPARE(t[49], TPreset{});

    t[1].preset_id = "Host Two";
    SaveDatabase(t, db());
    const QByteArray file = readBytes(db());
    QVERIFY(file.startsWith("[Notes]\nevent=Gala\n[Preset1]\nP0=10\nID=Host Two\nP1=0\n"));
    QVERIFY(file.contains("[Preset50]\nP0=77\nID=Beyond\n"));
}

void TestSpeakerDatabase::changeDetectionIsExactAndCaseSensitive()
{
    PresetTable t = sample();
    SaveDatabase(t, db());
    t[0].preset_id = "chair";
    QVERIFY(DatabaseChanged(t, db()));
    t = sample();
    t[49].preset[7] = 98;
    QVERIFY(DatabaseChanged(t, db()));
}

void TestSpeakerDatabase::identifiersAreComparedAsWritten()
{
    PresetTable t = sample();
    t[1].preset_id = "Two\r\nLines";
    t[2].preset_id = " 'Quoted' ";
    SaveDatabase(t, db());
    QVERIFY(!DatabaseChanged(t, db()));

    PresetTable back;
    RetrieveDatabase(back, db());
    QCOMPARE(back[1].preset_id, QString("Two  Lines"));
    QCOMPARE(back[2].preset_id, QString(" 'Quoted' "));
}

void TestSpeakerDatabase::saveIntoMissingFolderRaises()
{
    const QString path = dir.filePath("nowhere/speakers.db");
    try {
        SaveDatabase(sample(), path);
        QFAIL("saved into a folder that does not exist");
    } catch (const AppError& error) {
        QCOMPARE(error.text(), "Unable to write to " + path);
    }
}

void TestSpeakerDatabase::trimming_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("leading");
    QTest::addColumn<QString>("trailing");
    QTest::newRow("both ends") << "  a b  " << "a b  " << "  a b";
    QTest::newRow("only blanks") << "   " << "" << "";
    QTest::newRow("empty") << "" << "" << "";
    QTest::newRow("tabs stay") << "\t5 " << "\t5 " << "\t5";
    QTest::newRow("no-break space stays") << QString::fromUtf16(u"\u00a07 ") << QString::fromUtf16(u"\u00a07 ") << QString::fromUtf16(u"\u00a07");
}

void TestSpeakerDatabase::trimming()
{
    QFETCH(QString, text);
    QString a = text;
    RemoveLeadingSpaces(a);
    QTEST(a, "leading");
    QString b = text;
    RemoveTrailingSpaces(b);
    QTEST(b, "trailing");
}

// The names a prompting application sends select a speaker by these rules.
void TestSpeakerDatabase::findSpeaker_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("found");
    QTest::newRow("lower case finds the capitalised name") << "chair" << 0;
    QTest::newRow("accented letters upper-cased too") << "ZOË ünal" << 1;
    QTest::newRow("upper-cased letter by letter: ß stays ß") << "ANNA STRAßE" << 6;
    QTest::newRow("upper-cased letter by letter: not SS") << "ANNA STRASSE" << -1;
    QTest::newRow("a trailing blank does not match") << "Chair " << -1;
    QTest::newRow("a leading blank does not match") << " Chair" << -1;
    QTest::newRow("duplicates: the lower index") << "PANEL" << 2;
    QTest::newRow("the cleared name: the first cleared record") << "no name" << 4;
    QTest::newRow("nobody of that name") << "Chairman" << -1;
}

void TestSpeakerDatabase::findSpeaker()
{
    PresetTable presets;
    ClearDatabase(presets);
    presets[0].preset_id = QStringLiteral("Chair");
    presets[1].preset_id = QStringLiteral("Zoë Ünal");
    presets[2].preset_id = QStringLiteral("Panel");
    presets[3].preset_id = QStringLiteral("Panel");
    presets[5].preset_id = QStringLiteral("Host");  // 4 stays cleared
    presets[6].preset_id = QStringLiteral("Anna Straße");
    QFETCH(QString, name);
    QTEST(FindSpeaker(presets, name), "found");
}

QTEST_GUILESS_MAIN(TestSpeakerDatabase)
#include "tst_speakerdatabase.moc"
