#include "LinkPeer.h"
#include "PrompterProcess.h"
#include "link/PrompterServer.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

// The program's server item, registered in this process in a runtime folder of its own and
// poked by the real prompter tool, or by the test itself for traffic the tool never sends.
class TestPrompterServer : public QObject {
    Q_OBJECT

    static constexpr const char* Executable = "/opt/elevra/Elevra.bin";
    static QByteArray Connect() { return "CONNECT\tConference Stand Control\n"; }
    static QByteArray Poke(const QByteArray& name, const QByteArray& item = "DdeVantoraServerItem",
                           const QByteArray& format = "TEXT")
    {
        return EncodeMessage(LinkVerb::Poke, {item, format}, name + '\0');
    }

    std::unique_ptr<QTemporaryDir> runtime;
    PresetTable presets;
    std::unique_ptr<PrompterServer> server;
    QList<int> selected;

    std::filesystem::path socketPath() const { return runtime->filePath("dde/elevra").toStdString(); }

private slots:
    void init();
    void cleanup();
    void pokedNamesSelectSpeakers_data();
    void pokedNamesSelectSpeakers();
    void itemKeepsTheLastPokeAndAdvises();
    void topicsAndItems();
    void malformedTrafficClosesOnlyThatConversation_data();
    void malformedTrafficClosesOnlyThatConversation();
    void liveServiceIsNotStolenStaleOneIsReplaced();
    void folderOthersMayEnterIsNotUsed();
    void conversationOfAnotherUserIsClosedUnanswered();
    void conversationsThatSayNothingAreClosed();
    void requestAnswerStaysWithinThePayloadLimit();
};

void TestPrompterServer::init()
{
    runtime = std::make_unique<QTemporaryDir>();
    qputenv("XDG_RUNTIME_DIR", runtime->path().toUtf8());
    ClearDatabase(presets);
    presets[0].preset_id = QStringLiteral("Chair");
    presets[1].preset_id = QStringLiteral("Zoë Ünal");
    presets[2].preset_id = QStringLiteral("Panel");
    presets[3].preset_id = QStringLiteral("Panel");
    presets[5].preset_id = QStringLiteral("Host");  // 4 stays cleared
    presets[6].preset_id = QStringLiteral("Anna Straße");
    selected.clear();
    server = std::make_unique<PrompterServer>();
    server->SetPresets(&presets);
    server->SetDatabaseSelection = [this](int i) { selected << i; };
    server->DdeVantoraServerItem().OtherTopics = [] { return QStringList{"Conference Stand Control", "Run Order"}; };
    QCOMPARE(server->Register(Executable), QString());
}

void TestPrompterServer::cleanup()
{
    server.reset();
    QVERIFY(!std::filesystem::exists(socketPath()));  // the socket goes with the server
    runtime.reset();
}

void TestPrompterServer::pokedNamesSelectSpeakers_data()
{
    QTest::addColumn<QString>("poked");
    QTest::addColumn<QList<int>>("selection");
    // How a name matches is tst_speakerdatabase's (findSpeaker); here what reaches it.
    QTest::newRow("lower case selects the capitalised name") << "chair" << QList<int>{0};
    QTest::newRow("two lines: the first counts") << "Panel\nChair" << QList<int>{2};
    QTest::newRow("CR LF ends the first line") << "Chair\r\nPanel" << QList<int>{0};
    QTest::newRow("nobody of that name") << "Chairman" << QList<int>{};
    QTest::newRow("empty") << "" << QList<int>{};
}

void TestPrompterServer::pokedNamesSelectSpeakers()
{
    QFETCH(QString, poked);
    QFETCH(QList<int>, selection);
    QCOMPARE(prompterTake(poked), 0);  // every poke in text format is processed
    QCOMPARE(selected, selection);
}

void TestPrompterServer::itemKeepsTheLastPokeAndAdvises()
{
    LinkPeer watcher("elevra");
    QVERIFY(watcher.connected());
    QCOMPARE(watcher.answer("CONNECT\tconference STAND control\n"), "ACK");
    QCOMPARE(watcher.answer("REQUEST\tDdeVantoraServerItem\tTEXT\n"), QByteArray("DATA \0", 6));
    QCOMPARE(watcher.answer("ADVSTART\tDdeVantoraServerItem\tTEXT\twarm\n"), "ACK");

    QCOMPARE(prompterTake("Host\nChair"), 0);
    QCOMPARE(watcher.next(), "ADVISE DdeVantoraServerItem");
    QCOMPARE(watcher.answer("REQUEST\tDdeVantoraServerItem\tTEXT\n"), QByteArray("DATA Host\r\nChair\r\n\0", 19));
    QCOMPARE(selected, QList<int>{5});

    QCOMPARE(watcher.answer("ADVSTOP\tDdeVantoraServerItem\n"), "ACK");
    QCOMPARE(prompterTake("Chair"), 0);
    QCOMPARE(watcher.answer("REQUEST\tDdeVantoraServerItem\tTEXT\n"), QByteArray("DATA Chair\r\n\0", 13));
}

void TestPrompterServer::topicsAndItems()
{
    LinkPeer peer("ELEVRA");  // the service name matches ignoring case
    QCOMPARE(peer.answer(Connect()), "ACK");
    QCOMPARE(peer.answer(Poke("Chair", "ddevantoraserveritem")), "NACK");  // the item name counts case
    QCOMPARE(peer.answer(Poke("Chair", "DdeVantoraServerItem", "BITMAP")), "NACK");
    QCOMPARE(peer.answer("ADVSTART\tDdeVantoraServerItem\tTEXT\thot\n"), "NACK");
    QCOMPARE(peer.answer("REQUEST\tOther\tTEXT\n"), "NACK");
    QCOMPARE(selected, QList<int>{});

    LinkPeer runOrderWindow("elevra");  // another window's caption is served without an item
    QCOMPARE(runOrderWindow.answer("CONNECT\trun order\n"), "ACK");
    QCOMPARE(runOrderWindow.answer(Poke("Chair")), "NACK");
    QCOMPARE(selected, QList<int>{});

    LinkPeer stranger("elevra");
    QCOMPARE(stranger.answer("CONNECT\tTelvio\n"), "NACK");
    QVERIFY(stranger.waitClosed());

    QCOMPARE(peer.answer(Poke("Chair")), "ACK");
    QCOMPARE(selected, QList<int>{0});
}

void TestPrompterServer::malformedTrafficClosesOnlyThatConversation_data()
{
    QTest::addColumn<QByteArray>("traffic");
    QTest::newRow("header over 1 KiB") << QByteArray(5000, 'x');
    QTest::newRow("huge length") << Connect() + "POKE\tDdeVantoraServerItem\tTEXT\t4294967296\n";
    QTest::newRow("payload above 64 KiB") << Connect() + "POKE\tDdeVantoraServerItem\tTEXT\t65537\n" + QByteArray(65537, 'a');
    QTest::newRow("garbage") << QByteArray("\x00\x01\xfe\tPOKE\n\n\xff\xff", 11);
    QTest::newRow("a message before CONNECT") << Poke("Chair");
    QTest::newRow("unknown verb") << Connect() + "EXECUTE\t[select Chair]\n";
    QTest::newRow("an answer sent to the server") << Connect() + "ACK\n";
    QTest::newRow("a second CONNECT") << Connect() + Connect();
}

void TestPrompterServer::malformedTrafficClosesOnlyThatConversation()
{
    QFETCH(QByteArray, traffic);
    LinkPeer bystander("elevra");
    QCOMPARE(bystander.answer(Connect()), "ACK");

    LinkPeer offender("elevra");
    offender.send(traffic);
    QVERIFY(offender.waitClosed());
    QCOMPARE(offender.got.isEmpty() ? QByteArray() : VerbName(offender.got.last().verb), "NACK");

    QCOMPARE(bystander.answer(Poke("Chair")), "ACK");
    QCOMPARE(prompterTake("Host"), 0);
    QCOMPARE(selected, (QList<int>{0, 5}));
}

void TestPrompterServer::liveServiceIsNotStolenStaleOneIsReplaced()
{
    PrompterServer second;
    QVERIFY(second.Register(Executable).contains("another running program serves it"));
    QCOMPARE(prompterTake("Chair"), 0);
    QCOMPARE(selected, QList<int>{0});

    // A server that died without removing its socket.
    server.reset();
    const LocalSocket::Result dead = LocalSocket::Listen(socketPath());
    QVERIFY(dead.fd >= 0);
    ::close(dead.fd);
    QVERIFY(std::filesystem::exists(socketPath()));
    QCOMPARE(prompterTake("Chair"), 2);

    server = std::make_unique<PrompterServer>();
    server->SetPresets(&presets);
    server->SetDatabaseSelection = [this](int i) { selected << i; };
    QCOMPARE(server->Register(Executable), QString());
    QCOMPARE(prompterTake("Host"), 0);
    QCOMPARE(selected, (QList<int>{0, 5}));
}

void TestPrompterServer::folderOthersMayEnterIsNotUsed()
{
    server.reset();
    const QByteArray folder = runtime->filePath("dde").toUtf8();
    QCOMPARE(::chmod(folder.constData(), 0755), 0);
    PrompterServer refused;
    QVERIFY(refused.Register(Executable).contains("other users may enter it"));
    QVERIFY(!std::filesystem::exists(socketPath()));
    QCOMPARE(prompterTake("Chair"), 2);  // the tool will not use it either

    qputenv("XDG_RUNTIME_DIR", runtime->filePath("gone").toUtf8());
    QVERIFY(refused.Register(Executable).contains("No such file or directory"));
}

void TestPrompterServer::conversationOfAnotherUserIsClosedUnanswered()
{
    if (::geteuid() != 0)
        QSKIP("needs a second user");
    // Folders opened up by mistake let another user reach the socket.
    for (const QString& path : {runtime->path(), runtime->filePath("dde")})
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0711), 0);
    QCOMPARE(::chmod(socketPath().c_str(), 0777), 0);

    // A child of another user opens a conversation and reports what it got back.
    int report[2];
    QCOMPARE(::pipe(report), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        const char* result = "could not become another user";
        char answer[64] = {};
        if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0) {
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, socketPath().c_str(), sizeof address.sun_path - 1);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            const char hello[] = "CONNECT\tConference Stand Control\n";
            if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
                result = "could not connect";
            else if (::write(fd, hello, sizeof hello - 1) < 0 || ::read(fd, answer, sizeof answer - 1) > 0)
                result = answer;
            else
                result = "closed";
        }
        [[maybe_unused]] const ssize_t n = ::write(report[1], result, std::strlen(result));
        ::_exit(0);
    }
    ::close(report[1]);
    QVERIFY(QTest::qWaitFor([&] { pollfd ready{report[0], POLLIN, 0}; return ::poll(&ready, 1, 0) == 1; }, 5000));
    char got[64] = {};
    QVERIFY(::read(report[0], got, sizeof got - 1) > 0);
    ::close(report[0]);
    ::waitpid(child, nullptr, 0);
    QCOMPARE(QByteArray(got), "closed");
    QCOMPARE(::chmod(QFile::encodeName(runtime->filePath("dde")).constData(), 0700), 0);
    QCOMPARE(prompterTake("Chair"), 0);  // this user's own conversations go on
}

void TestPrompterServer::conversationsThatSayNothingAreClosed()
{
    server->DdeVantoraServerItem().SetIdleTimeout(2000);
    LinkPeer silent("Elevra");
    LinkPeer connected("Elevra");
    QVERIFY(silent.connected() && connected.connected());
    QCOMPARE(connected.answer(Connect()), "ACK");
    QVERIFY(silent.waitClosed());
    QVERIFY(connected.waitClosed());
    QCOMPARE(prompterTake("Chair"), 0);
}

void TestPrompterServer::requestAnswerStaysWithinThePayloadLimit()
{
    // Each line break grows into CR LF and each byte that is not UTF-8 into three bytes: the
    // poke fits the limit, the answer with all its lines would not.
    LinkPeer peer("Elevra");
    QCOMPARE(peer.answer(Connect()), "ACK");
    QCOMPARE(peer.answer(EncodeMessage(LinkVerb::Poke, {"DdeVantoraServerItem", "TEXT"}, QByteArray("\xff\n").repeated(20000))), "ACK");
    peer.send(EncodeMessage(LinkVerb::Request, {"DdeVantoraServerItem", "TEXT"}));
    QVERIFY(QTest::qWaitFor([&] { return !peer.got.isEmpty() || peer.closed; }, 5000));
    QVERIFY(!peer.closed);  // a partner refuses a larger payload and ends the conversation
    const LinkMessage data = peer.got.takeFirst();
    QCOMPARE(data.verb, LinkVerb::Data);
    QCOMPARE(data.payload.size(), LinkLimits::MaxPayload);  // the whole lines that fit, and the NUL
    QVERIFY(data.payload.startsWith("\xEF\xBF\xBD\r\n"));
    QVERIFY(data.payload.endsWith(QByteArray("\r\n\0", 3)));
}

QTEST_GUILESS_MAIN(TestPrompterServer)
#include "tst_prompterserver.moc"
