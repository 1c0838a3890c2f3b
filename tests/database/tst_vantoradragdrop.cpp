#include "database/VantoraDragDrop.h"

#include <QMimeData>
#include <QtEndian>
#include <QtTest>

#include <memory>

class TestVantoraDragDrop : public QObject {
    Q_OBJECT

    static QMimeData* dropCarrying(const QByteArray& block)
    {
        auto* mime = new QMimeData;
        mime->setData(VantoraFormat(), block);
        return mime;
    }

private slots:
    void dragCarriesTextAndMessage_data();
    void dragCarriesTextAndMessage();
    void blocksOfOtherSizes();
    void receiverIgnoresMadeUpMessages_data();
    void receiverIgnoresMadeUpMessages();
};

void TestVantoraDragDrop::dragCarriesTextAndMessage_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<int>("size");
    QTest::newRow("300 characters") << 0 << QString(300, u'x').replace(254, 1, u'Y') << 255;
    QTest::newRow("empty") << 49 << QString() << 0;
    QTest::newRow("count 7, not ASCII") << 7 << QString::fromUtf8("Zoë Ångström") << 12;
}

void TestVantoraDragDrop::dragCarriesTextAndMessage()
{
    QFETCH(int, index);
    QFETCH(QString, identifier);
    QFETCH(int, size);
    const std::unique_ptr<QMimeData> mime(MakeDatabaseDragData(index, identifier));
    QCOMPARE(mime->text(), identifier + "\r\n");

    const QByteArray block = mime->data("Vantora");
    QCOMPARE(block.size(), 520);
    QCOMPARE(block.mid(516, 4), QByteArray(1, char(index)) + QByteArray(3, '\0'));
    QCOMPARE(qFromLittleEndian<qint32>(block.constData() + 512), size);
    for (int i = 0; i < size; ++i)
        QCOMPARE(qFromLittleEndian<quint16>(block.constData() + 2 * i), identifier.at(i).unicode());
    QCOMPARE(block.mid(2 * size, 512 - 2 * size), QByteArray(512 - 2 * size, '\0'));

    QCOMPARE(ReceivedEntryIndex(*mime), std::optional<int>(index));
}

void TestVantoraDragDrop::blocksOfOtherSizes()
{
    TVantoraMsgClipboardFormat medium;
    QVERIFY(!medium.HasData());
    medium.SetVantoraMsg(MakeVantoraMsg(7, "Chair"));
    QByteArray block(521, '\x55');
    QVERIFY(!medium.WriteToBlock(block.data(), 519));
    QVERIFY(!medium.WriteToBlock(block.data(), 521));
    QCOMPARE(block, QByteArray(521, '\x55'));
    QVERIFY(medium.WriteToBlock(block.data(), 520));
    QCOMPARE(block.at(516), '\x07');

    // A long block fills the record and nothing beyond; a short one only its start.
    TVantoraMsgClipboardFormat received;
    QByteArray longBlock = block.left(520) + QByteArray(4000, '\x7f');
    QVERIFY(received.ReadFromBlock(longBlock.constData(), longBlock.size()));
    QCOMPARE(received.VantoraMsg().count, 7);
    QCOMPARE(received.VantoraMsg().size, 5);
    QVERIFY(received.ReadFromBlock(block.constData(), 10));
    QVERIFY(received.HasData());
    QCOMPARE(received.VantoraMsg().data[4], u'r');
    QCOMPARE(received.VantoraMsg().data[5], u'\0');
    QCOMPARE(received.VantoraMsg().count, 0);

    TVantoraMsgDataFormat format;
    QVERIFY(format.NeedsData());
    QVERIFY(format.Assign(received));
    QVERIFY(format.HasData() && !format.NeedsData());
    format.Clear();
    QVERIFY(format.NeedsData());
    QMimeData noMessage;
    noMessage.setText("Chair\r\n");
    QVERIFY(!format.Assign(noMessage));
    QVERIFY(!format.HasData());
}

void TestVantoraDragDrop::receiverIgnoresMadeUpMessages_data()
{
    QTest::addColumn<qint32>("size");
    QTest::addColumn<qint32>("count");
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<int>("expected");  // -1: ignored
    QTest::newRow("last entry") << 255 << 49 << 520 << 49;
    QTest::newRow("count 50") << 3 << 50 << 520 << -1;
    QTest::newRow("count -1") << 3 << -1 << 520 << -1;
    QTest::newRow("size 256") << 256 << 3 << 520 << -1;
    QTest::newRow("size -1") << -1 << 3 << 520 << -1;
    QTest::newRow("short block, count lost") << 3 << 9 << 516 << 0;
}

void TestVantoraDragDrop::receiverIgnoresMadeUpMessages()
{
    QFETCH(qint32, size);
    QFETCH(qint32, count);
    QFETCH(int, blockSize);
    QFETCH(int, expected);
    QByteArray block(520, '\0');
    qToLittleEndian(size, block.data() + 512);
    qToLittleEndian(count, block.data() + 516);
    const std::unique_ptr<QMimeData> drop(dropCarrying(block.left(blockSize)));
    QCOMPARE(ReceivedEntryIndex(*drop), expected < 0 ? std::nullopt : std::optional<int>(expected));
}

QTEST_APPLESS_MAIN(TestVantoraDragDrop)

#include "tst_vantoradragdrop.moc"
