// Error texts and the decoding of the marked receive stream.

#include "serial/LineErrors.h"

#include <QTest>

using namespace serial;

class TestLineErrors : public QObject {
    Q_OBJECT

private slots:
    void errorText_data()
    {
        QTest::addColumn<quint32>("flags");
        QTest::addColumn<QString>("text");
        QTest::newRow("framing") << 8u << "RX Error: FRAMING: EvtMask = 8";
        QTest::newRow("framing and overrun") << 10u << "RX Error: FRAMING and OVERRUN: EvtMask = 10";
        QTest::newRow("framing and break") << 24u << "RX Error: FRAMING and BREAK: EvtMask = 24";
        QTest::newRow("unknown") << 1u << "RX Error: UNKNOWN: EvtMask = 1";
        QTest::newRow("none") << 0u << "RX Error: NULL Error: EvtMask = 0";
        QTest::newRow("all, in order") << 31u << "RX Error: FRAMING and OVERRUN and PARITY and BREAK and UNKNOWN: EvtMask = 31";
        QTest::newRow("parity") << 4u << "RX Error: PARITY: EvtMask = 4";
        QTest::newRow("high bit") << 0x80000000u << "RX Error: UNKNOWN: EvtMask = 2147483648";
    }

    void errorText()
    {
        QFETCH(quint32, flags);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(BuildErrorText(flags)), text);
    }

    void flagsFromCounters()
    {
        const ErrorCounters before{5, 1, 0, 2};
        QCOMPARE(ErrorFlagsBetween(before, before), 0u);
        QCOMPARE(ErrorFlagsBetween(before, {6, 2, 0, 2}), 10u);
        QCOMPARE(ErrorFlagsBetween(before, {5, 1, 3, 3}), 20u);
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("marks");
        QTest::addColumn<bool>("breakMarked");
        QTest::newRow("plain") << QByteArray("abc") << QByteArray("abc") << 0 << false;
        QTest::newRow("doubled FF") << QByteArray("a\xFF\xFF" "b") << QByteArray("a\xFF" "b") << 0 << false;
        QTest::newRow("error mark") << QByteArray("a\xFF\x00" "Xb", 5) << QByteArray("ab") << 1 << false;
        QTest::newRow("break mark") << QByteArray("\xFF\x00\x00" "b", 4) << QByteArray("b") << 1 << true;
        QTest::newRow("zero byte") << QByteArray("a\x00" "b", 3) << QByteArray("a\x00" "b", 3) << 0 << false;
    }

    void decoding()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, data);
        QFETCH(int, marks);
        QFETCH(bool, breakMarked);
        ParmrkDecoder decoder;
        QByteArray out(raw.size() + 1, '\0');
        const auto result = decoder.decode(reinterpret_cast<const std::uint8_t*>(raw.constData()),
                                           std::size_t(raw.size()), out.data());
        QCOMPARE(out.left(qsizetype(result.length)), data);
        QCOMPARE(int(result.marks), marks);
        QCOMPARE(result.breakMarked, breakMarked);
    }

    void marksSplitAcrossReadsAreStillDecoded()
    {
        ParmrkDecoder decoder;
        const std::uint8_t first[] = {'a', 0xFF};
        const std::uint8_t second[] = {0xFF, 'b', 0xFF, 0x00};
        const std::uint8_t third[] = {0x00, 'c'};
        char out[8];
        QByteArray all;
        auto r = decoder.decode(first, 2, out);
        all.append(out, qsizetype(r.length));
        r = decoder.decode(second, 4, out);
        all.append(out, qsizetype(r.length));
        r = decoder.decode(third, 2, out);
        all.append(out, qsizetype(r.length));
        QCOMPARE(all, QByteArray("a\xFF" "bc"));
        QCOMPARE(int(r.marks), 1);
        QVERIFY(r.breakMarked);
    }
};

QTEST_GUILESS_MAIN(TestLineErrors)
#include "tst_line_errors.moc"
