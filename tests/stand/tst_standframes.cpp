#include "stand/StandFrames.h"

#include <QTest>

using namespace StandFrames;

class TestStandFrames : public QObject {
    Q_OBJECT

private slots:
    void frames_data();
    void frames();
    void checksum_data();
    void checksum();
    void heightArgumentStaysFourDigits_data();
    void heightArgumentStaysFourDigits();
    void parseHeightText_data();
    void parseHeightText();
    void decodeHeight_data();
    void decodeHeight();
};

void TestStandFrames::frames_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("height 50 to stand 1") << heightFrame(1, 50, 94) << QByteArray("*1A125C4D\r\n");
    QTest::newRow("height 99 to stand 1") << heightFrame(1, 99, 94) << QByteArray("*1A245A4E\r\n");
    QTest::newRow("height 0 any scale") << heightFrame(1, 0, 250) << QByteArray("*1A000032\r\n");
    QTest::newRow("poll stand 1") << pollFrame(1) << QByteArray("*1Q12344C\r\n");
    QTest::newRow("poll stand 2") << pollFrame(2) << QByteArray("*2Q12344D\r\n");
    QTest::newRow("home stand 1") << commandFrame(1, QLatin1Char('L')) << QByteArray("*1L00003D\r\n");
    QTest::newRow("abort stand 1") << commandFrame(1, QLatin1Char('X')) << QByteArray("*1X000049\r\n");
}

void TestStandFrames::checksum_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("checked");

    QTest::newRow("poll body") << "1Q1234" << "1Q12344C";
    // 31 + 41 + 30 + 30 + 30 = 1 02: a low byte below 10 hex keeps its leading zero.
    QTest::newRow("leading zero") << "1A000" << "1A00002";
    QTest::newRow("empty") << "" << "00";
}

void TestStandFrames::checksum()
{
    QFETCH(QString, body);
    QFETCH(QString, checked);
    AppendChecksum(body);
    QCOMPARE(body, checked);
}

void TestStandFrames::frames()
{
    QFETCH(QString, frame);
    QFETCH(QByteArray, wire);
    QCOMPARE(toWire(frame), wire);
}

void TestStandFrames::heightArgumentStaysFourDigits_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("255 x 94 fits") << 255 << 94 << QByteArray("*1A5DA25E\r\n");
    QTest::newRow("exactly FFFF") << 1 << 0xFFFF << QByteArray("*1AFFFF8A\r\n");
    QTest::newRow("255 x 300 clamps") << 255 << 300 << QByteArray("*1AFFFF8A\r\n");
    QTest::newRow("negative sends 0") << -5 << 94 << QByteArray("*1A000032\r\n");
    QTest::newRow("no int overflow") << 2000000000 << 2000 << QByteArray("*1AFFFF8A\r\n");
}

void TestStandFrames::heightArgumentStaysFourDigits()
{
    QFETCH(int, height);
    QFETCH(int, scale);
    QFETCH(QByteArray, wire);
    const QByteArray sent = toWire(heightFrame(1, height, scale));
    QCOMPARE(sent, wire);
    QCOMPARE(sent.size(), 11);
}

void TestStandFrames::parseHeightText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");

    QTest::newRow("plain") << "50" << 50;
    QTest::newRow("blanks both ends") << "  7 " << 7;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("blanks only") << "   " << 0;
    QTest::newRow("tab is not a blank") << "\t50" << 0;
    QTest::newRow("inner blank") << "5 0" << 0;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("trailing letter") << "12x" << 0;
    QTest::newRow("sign alone") << "-" << 0;
    QTest::newRow("above int range") << "99999999999" << 0;
    QTest::newRow("above 99 kept") << "255" << 255;
}

void TestStandFrames::parseHeightText()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(StandFrames::parseHeightText(text), value);
}

void TestStandFrames::decodeHeight_data()
{
    QTest::addColumn<QString>("data");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("height");

    QTest::newRow("worked example") << "125C" << 94 << 50;
    QTest::newRow("lower case hex") << "125c" << 94 << 50;
    QTest::newRow("half rounds down to even 0") << "002F" << 94 << 0;
    QTest::newRow("half rounds up to even 2") << "008D" << 94 << 2;
    QTest::newRow("half rounds down to even 2") << "00EB" << 94 << 2;
    QTest::newRow("above half rounds up") << "0030" << 94 << 1;
    QTest::newRow("FFFF is above 65000") << "FFFF" << 94 << 0;
    QTest::newRow("65000 is clamped, not zeroed") << "FDE8" << 94 << 99;
    QTest::newRow("2710 clamps to 99") << "2710" << 94 << 99;
    QTest::newRow("not hex") << "12G4" << 94 << 0;
    QTest::newRow("blank inside") << "12 4" << 94 << 0;
    QTest::newRow("scale 1") << "0063" << 1 << 99;
    QTest::newRow("scale 0 does not divide") << "125C" << 0 << 0;
    QTest::newRow("negative scale") << "125C" << -3 << 0;
}

void TestStandFrames::decodeHeight()
{
    QFETCH(QString, data);
    QFETCH(int, scale);
    QFETCH(int, height);
    QCOMPARE(StandFrames::decodeHeight(data, scale), height);
}

QTEST_APPLESS_MAIN(TestStandFrames)
#include "tst_standframes.moc"
