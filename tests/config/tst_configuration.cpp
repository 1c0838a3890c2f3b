#include "TestFiles.h"
#include "config/Configuration.h"

#include <QTemporaryDir>
#include <QtTest>

class TestConfiguration : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString ini() const { return dir.filePath("elevra.ini"); }
    const QString defaultDb = QStringLiteral("/data/DBase0.db");

private slots:
    void init() { QFile::remove(ini()); }
    void emptyFileGivesDefaults();
    void checkedAndConvertedValues_data();
    void checkedAndConvertedValues();
    void freshFileHoldsSectionsAndKeysInOrder();
    void existingFileKeepsKeyPlacesAndMovesRunOrderToEnd();
    void emptyRunOrderLeavesNoSection();
    void runOrderReadingStopsAtGapOrX();
};

void TestConfiguration::emptyFileGivesDefaults()
{
    writeBytes(ini(), "");
    const Configuration c = RetrieveConfiguration(ini(), defaultDb);
    QCOMPARE(c.mainWindow.top, 100);
    QCOMPARE(c.mainWindow.left, 100);
    QCOMPARE(c.StandsDisplayed, 8);
    QCOMPARE(c.ComPortNumber, 1);
    QCOMPARE(c.SerialHandControl, true);
    QCOMPARE(c.PrompterLinkEnabled, false);
    QCOMPARE(c.PrompterLinkName, QString("Telvio - Vantora"));
    QCOMPARE(c.ScaleFactor, 94);
    QCOMPARE(c.DatabaseFileName, defaultDb);
    QCOMPARE(c.DatabaseFromTarget, false);
    QCOMPARE(c.RunOrderFileName, QString());
    QCOMPARE(c.ShowControl.Enabled, false);
    QCOMPARE(c.ShowControl.ListenAddress, QString("127.0.0.1"));
    QCOMPARE(c.ShowControl.ListenPort, 9030);
    QCOMPARE(c.ShowControl.FeedbackHost, QString());
    QCOMPARE(c.ShowControl.FeedbackPort, QString());

    const RunScreenLayout run = retrieveRunScreenLayout(ini());
    QCOMPARE(run.top, 0);
    QCOMPARE(run.width, 300);
    QCOMPARE(run.height, 200);
    QCOMPARE(run.visible, false);
    QCOMPARE(run.c0, 20);
    QCOMPARE(run.rowCount, 1);
    const DatabaseLayout db = retrieveDatabaseLayout(ini());
    QCOMPARE(db.left, 0);
    QCOMPARE(db.height, 200);
    QCOMPARE(db.columns[8], 20);
    QVERIFY(retrieveRunOrderList(ini()).isEmpty());
}

void TestConfiguration::checkedAndConvertedValues_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("stands");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("serial");
    QTest::addColumn<int>("scale");
    QTest::newRow("stands above 8") << QByteArray("[Main]\nStands Displayed=12\n") << 8 << 1 << true << 94;
    QTest::newRow("stands 0") << QByteArray("[Main]\nStands Displayed=0\n") << 1 << 1 << true << 94;
    QTest::newRow("stands negative") << QByteArray("[Main]\nStands Displayed=-3\n") << 1 << 1 << true << 94;
    QTest::newRow("stands letters") << QByteArray("[Main]\nStands Displayed=abc\n") << 8 << 1 << true << 94;
    QTest::newRow("hex port") << QByteArray("[Main]\nCom Port Number=0x10\n") << 8 << 16 << true << 94;
    QTest::newRow("usb hand control") << QByteArray("[Database]\nHand Control=0\n") << 8 << 1 << false << 94;
    QTest::newRow("hand control word") << QByteArray("[Database]\nHand Control=no\n") << 8 << 1 << true << 94;
    QTest::newRow("other letter case") << QByteArray("[MAIN]\nstands displayed=3\n") << 3 << 1 << true << 94;
    QTest::newRow("scale 0") << QByteArray("[Main]\nScale Factor=0\n") << 8 << 1 << true << 94;
    QTest::newRow("scale negative") << QByteArray("[Main]\nScale Factor=-5\n") << 8 << 1 << true << 94;
    QTest::newRow("scale 1") << QByteArray("[Main]\nScale Factor=1\n") << 8 << 1 << true << 1;
}

void TestConfiguration::checkedAndConvertedValues()
{
    QFETCH(QByteArray, file);
    writeBytes(ini(), file);
    const Configuration c = RetrieveConfiguration(ini(), defaultDb);
    QTEST(c.StandsDisplayed, "stands");
    QTEST(c.ComPortNumber, "port");
    QTEST(c.SerialHandControl, "serial");
    QTEST(c.ScaleFactor, "scale");
}

void TestConfiguration::freshFileHoldsSectionsAndKeysInOrder()
{
    ConfigurationSnapshot s;
    s.settings.DatabaseFileName = defaultDb;
    s.runOrder = QStringList{"3"};
    SaveConfiguration(ini(), s);
    QCOMPARE(readBytes(ini()), QByteArray("[Main]\nTop=100\nLeft=100\nCom Port Number=1\nTelvio Link Enabled=0\n"
                                          "Telvio Link Name=Telvio - Vantora\nScale Factor=94\nStands Displayed=8\n"
                                          "[Database]\nHand Control=1\nDatabase Setup=0\nC0=20\nC1=20\nC2=20\nC3=20\n"
                                          "C4=20\nC5=20\nC6=20\nC7=20\nC8=20\nTop=0\nLeft=0\nWidth=300\nHeight=200\n"
                                          "Visible=0\nDatabase Filename=/data/DBase0.db\n"
                                          "[Run Screen]\nC0=20\nTop=0\nLeft=0\nWidth=300\nHeight=200\nRow Count=1\n"
                                          "Visible=0\nRun Order Filename=\n"
                                          "[Show Control]\nOSC Enabled=0\nOSC Listen Address=127.0.0.1\n"
                                          "OSC Listen Port=9030\nOSC Feedback Host=\nOSC Feedback Port=\n"
                                          "OSC Allowed Senders=127.0.0.1, ::1\n"
                                          "[Show View]\nShow View Enabled=0\nShow View Listen Address=127.0.0.1\n"
                                          "Show View Port=9040\n"
                                          "[Run Order]\nR0=3\n"));
}

void TestConfiguration::existingFileKeepsKeyPlacesAndMovesRunOrderToEnd()
{
    writeBytes(ini(), "[Run Order]\r\nR0=9\r\n[Main]\r\nScale Factor=100\r\nTop=5\r\nMy Note=kept\r\n[Database]\r\n"
                      "Database Filename=/x.db\r\n");
    ConfigurationSnapshot s;
    s.settings = RetrieveConfiguration(ini(), defaultDb);
    s.settings.mainWindow.top = 7;
    s.runOrder = retrieveRunOrderList(ini());
    s.runOrder.append("4");
    SaveConfiguration(ini(), s);
    const QByteArray after = readBytes(ini());
    QVERIFY2(after.startsWith("[Main]\r\nScale Factor=100\r\nTop=7\r\nMy Note=kept\r\nLeft=100\r\n"), after.constData());
    QVERIFY(after.contains("[Database]\r\nDatabase Filename=/x.db\r\nHand Control=1\r\n"));
    QVERIFY(after.endsWith("[Run Order]\r\nR0=9\r\nR1=4\r\n"));
    QCOMPARE(after.count("[Run Order]"), 1);
}

void TestConfiguration::emptyRunOrderLeavesNoSection()
{
    writeBytes(ini(), "[Run Order]\nR0=1\nR1=2\n");
    SaveConfiguration(ini(), ConfigurationSnapshot{});
    QVERIFY(!readBytes(ini()).contains("Run Order]"));
    QVERIFY(retrieveRunOrderList(ini()).isEmpty());
}

void TestConfiguration::runOrderReadingStopsAtGapOrX()
{
    writeBytes(ini(), "[Run Order]\nR0=3\nR1=0\nR3=12\n");
    QCOMPARE(retrieveRunOrderList(ini()), QStringList({"3", "0"}));
    writeBytes(ini(), "[run order]\nr0= 7\nR1=X\nR2=5\n");
    QCOMPARE(retrieveRunOrderList(ini()), QStringList({"7"}));
}

QTEST_GUILESS_MAIN(TestConfiguration)
#include "tst_configuration.moc"
