#include "DdePeer.h"
#include "HungPartner.h"
#include "PrompterProcess.h"
#include "link/PrompterServer.h"

#include <QtTest>

// The program's server item under DDEML, registered in this process and poked by the real
// prompter tool, or by a client of the test's own for traffic the tool never sends.
class TestDdeServer : public QObject {
    Q_OBJECT

    // A service of the test's own, so that a program running beside it keeps its "Elevra".
    static constexpr const char* Executable = "C:/Program Files/Elevra/ElevraTest.bin.exe";
    static int take(const QString& name, const QString& service = QStringLiteral("ElevraTest"))
    {
        return prompterTake(name, {"--service", service});
    }
    static QString Topic() { return QStringLiteral("Conference Stand Control"); }

    PresetTable presets;
    std::unique_ptr<PrompterServer> server;
    QList<int> selected;

private slots:
    void init();
    void cleanup();
    void pokedNamesSelectSpeakers_data();
    void pokedNamesSelectSpeakers();
    void itemKeepsTheLastPokeAndAdvises();
    void refusedTrafficLeavesTheServiceWorking();
    void topicsOfOtherWindowsOfferNoItem();
    void liveServiceIsNotTaken();
    void silentPartnersAreLetGoUnlessTheyTakeNoMessages();
    void hungWindowDoesNotHoldTheRegistrationUp();
};

void TestDdeServer::init()
{
    ClearDatabase(presets);
    presets[0].preset_id = QStringLiteral("Chair");
    presets[1].preset_id = QStringLiteral("Zoë Ünal");
    presets[2].preset_id = QStringLiteral("Panel");
    presets[3].preset_id = QStringLiteral("Panel");
    presets[5].preset_id = QStringLiteral("Host");  // 4 stays cleared
    selected.clear();
    server = std::make_unique<PrompterServer>();
    server->SetPresets(&presets);
    server->SetDatabaseSelection = [this](int i) { selected << i; };
    server->DdeVantoraServerItem().OtherTopics = [] { return QStringList{"Conference Stand Control", "Run Order"}; };
    QCOMPARE(server->Register(Executable), QString());
}

void TestDdeServer::cleanup()
{
    server.reset();
    QCOMPARE(take(QStringLiteral("Chair")), 2);  // the service goes with the server
}

void TestDdeServer::pokedNamesSelectSpeakers_data()
{
    QTest::addColumn<QString>("poked");
    QTest::addColumn<QList<int>>("selection");
    QTest::newRow("lower case selects the capitalised name") << "chair" << QList<int>{0};
    QTest::newRow("accented letters upper-cased too") << "ZOË ünal" << QList<int>{1};
    QTest::newRow("a trailing blank does not match") << "Chair " << QList<int>{};
    QTest::newRow("two lines: the first counts") << "Panel\nChair" << QList<int>{2};
    QTest::newRow("the cleared name: the first cleared record") << "no name" << QList<int>{4};
    QTest::newRow("nobody of that name") << "Chairman" << QList<int>{};
}

void TestDdeServer::pokedNamesSelectSpeakers()
{
    QFETCH(QString, poked);
    QFETCH(QList<int>, selection);
    QCOMPARE(take(poked, "ELEVRATEST"), 0);  // the service name matches ignoring case
    QCOMPARE(selected, selection);
}

void TestDdeServer::itemKeepsTheLastPokeAndAdvises()
{
    QByteArray before, after;
    bool advising = false, noticed = false;
    UINT poked = 1;
    QVERIFY(DdePeer::Converse("ElevraTest", "conference STAND control", [&](DdePeer& peer) {
        before = peer.Request();
        advising = peer.AdviseStart();
        poked = peer.Poke(QByteArray("Host\nChair\0", 11));
        noticed = peer.AwaitNotice();
        after = peer.Request();
    }));
    QCOMPARE(before, QByteArray("\0", 1));
    QVERIFY(advising);
    QCOMPARE(poked, 0u);
    QVERIFY(noticed);
    QCOMPARE(after, QByteArray("Host\r\nChair\r\n\0", 14));
    QCOMPARE(selected, QList<int>{5});
}

void TestDdeServer::refusedTrafficLeavesTheServiceWorking()
{
    QList<UINT> pokes;
    QByteArray otherItem;
    bool unicodeAdvise = true, bitmapAdvise = true, executed = true;
    UINT fine = 1;
    QVERIFY(DdePeer::Converse("ElevraTest", Topic(), [&](DdePeer& peer) {
        pokes << peer.Poke(QByteArray("Chair\0", 6), "Other")
              << peer.Poke(QByteArray("Chair\0", 6), "DdeVantoraServerItem2")
              << peer.Poke(QByteArray("C\0h\0a\0i\0r\0\0\0", 12), "DdeVantoraServerItem", CF_UNICODETEXT)
              << peer.Poke(QByteArray(64 * 1024 + 1, 'a'))
              << peer.Poke(QByteArray(1024 * 1024, 'a'));
        otherItem = peer.Request("Other");
        bitmapAdvise = peer.AdviseStart(XTYP_ADVSTART, CF_BITMAP);
        unicodeAdvise = peer.AdviseStart(XTYP_ADVSTART, CF_UNICODETEXT);
        executed = peer.Execute("[select Chair]");
        fine = peer.Poke(QByteArray("Chair\0", 6));
    }));
    for (UINT error : pokes)
        QCOMPARE(error, UINT(DMLERR_NOTPROCESSED));
    QCOMPARE(otherItem, "refused");
    QVERIFY(!bitmapAdvise);
    QVERIFY(!unicodeAdvise);
    QVERIFY(!executed);
    QCOMPARE(fine, 0u);
    QCOMPARE(selected, QList<int>{0});

    QVERIFY(!DdePeer::Converse("ElevraTest", "Telvio", [](DdePeer&) {}));  // no such topic
    QCOMPARE(take("Host"), 0);
    QCOMPARE(selected, (QList<int>{0, 5}));
}

void TestDdeServer::topicsOfOtherWindowsOfferNoItem()
{
    UINT poked = 0;
    QByteArray requested;
    QVERIFY(DdePeer::Converse("elevratest", "run order", [&](DdePeer& peer) {
        poked = peer.Poke(QByteArray("Chair\0", 6));
        requested = peer.Request();
    }));
    QCOMPARE(poked, UINT(DMLERR_NOTPROCESSED));
    QCOMPARE(requested, "refused");
    QCOMPARE(selected, QList<int>{});
}

void TestDdeServer::liveServiceIsNotTaken()
{
    PrompterServer second;
    QVERIFY(!second.Register(QStringLiteral("D:/elsewhere/elevratest.exe")).isEmpty());
    QCOMPARE(take("Panel"), 0);
    QCOMPARE(selected, QList<int>{2});
}

// A partner that sends nothing is let go after the idle time. One that takes no messages at all
// keeps its place until it goes: ending its conversation would hold the window thread until it
// woke.
void TestDdeServer::silentPartnersAreLetGoUnlessTheyTakeNoMessages()
{
    LinkServer& item = server->DdeVantoraServerItem();
    item.SetIdleTimeout(300);
    QSignalSpy closed(&item, &LinkServer::conversationClosed);
    QVERIFY(DdePeer::Converse("ElevraTest", Topic(), [](DdePeer& peer) { peer.Wait(1000); }));
    QCOMPARE(closed.count(), 1);
    QCOMPARE(closed.takeFirst().first().toString(), QStringLiteral("the partner sent nothing"));

    QVERIFY(DdePeer::Converse("ElevraTest", Topic(), [](DdePeer&) { Sleep(1500); }));
    QTRY_COMPARE(closed.count(), 1);
    QCOMPARE(closed.first().first().toString(), QStringLiteral("the partner ended the conversation"));
    QCOMPARE(take("Host"), 0);
}

// Whether another program serves the name is asked of every top-level window; one that takes no
// messages must not hold the start up.
void TestDdeServer::hungWindowDoesNotHoldTheRegistrationUp()
{
    server.reset();
    auto partner = std::make_unique<HungPartner>(QStringLiteral("ElevraTestNeighbour"));
    QVERIFY(partner->Registered());
    partner->HangNow();
    QElapsedTimer registering;
    registering.start();
    server = std::make_unique<PrompterServer>();
    server->SetPresets(&presets);
    server->SetDatabaseSelection = [this](int i) { selected << i; };
    QCOMPARE(server->Register(Executable), QString());
    QVERIFY2(registering.elapsed() < 3000, qPrintable(QString::number(registering.elapsed())));
    partner.reset();
    QCOMPARE(take("Host"), 0);
    QCOMPARE(selected, QList<int>{5});
}

QTEST_GUILESS_MAIN(TestDdeServer)
#include "tst_ddeserver.moc"
