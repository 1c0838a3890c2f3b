#include "PrompterProcess.h"
#include "TestFiles.h"
#include "link/LinkConnection.h"
#include "link/LocalSocket.h"
#include "link/PrompterClient.h"
#include "link/ServiceSocket.h"

#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

// The program's client conversation in this process, announcing to the real prompter tool in a
// runtime folder of its own.
class TestPrompterClient : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> runtime;
    QByteArray path;
    Configuration config;
    // This user's own, closed to others: it may name a partner to start.
    std::filesystem::path configurationFile;
    QList<qint64> partners;  // started by the program itself, so not our children

    static bool socketGone(const QString& service)
    {
        return QTest::qWaitFor([&] { return !std::filesystem::exists(ServiceSocket::For(service).path); }, 5000);
    }

private slots:
    void initTestCase() { path = qgetenv("PATH"); }
    void init();
    void cleanup();
    void announcesInOrderOverOneConversation();
    void disabledAtStartAttemptsNothingUntilEnabled();
    void partnerNotRunningIsStartedOnce();
    void noPartnerAnywhereDropsTheAnnouncements();
    void partnerGoesAwayAndComesBack();
    void partnerThatNeverAnswers();
    void partnerThatAnswersOnlyTheConnect();
    void serviceNames_data();
    void serviceNames();
};

void TestPrompterClient::init()
{
    runtime = std::make_unique<QTemporaryDir>();
    qputenv("XDG_RUNTIME_DIR", runtime->path().toUtf8());
    // Where a partner started by the link is found: empty unless a test puts one there.
    QDir(runtime->path()).mkdir("bin");
    qputenv("PATH", runtime->filePath("bin").toUtf8() + ':' + path);
    config = Configuration{};
    config.PrompterLinkEnabled = true;
    configurationFile = runtime->filePath("elevra.ini").toStdString();
    writeBytes(runtime->filePath("elevra.ini"), "[Main]\nTelvio Link Enabled=1\n");
}

void TestPrompterClient::cleanup()
{
    for (qint64 pid : std::exchange(partners, {}))
        ::kill(pid_t(pid), SIGTERM);
    QVERIFY(socketGone(config.PrompterLinkName));
    runtime.reset();
}

void TestPrompterClient::announcesInOrderOverOneConversation()
{
    PrompterServe partner;
    QVERIFY(partner.serving());
    PrompterClient client(config, configurationFile);
    QSignalSpy finished(&client, &PrompterClient::setupFinished);
    client.SetupPrompterLink();
    QVERIFY(client.PrompterLinkUp());
    QVERIFY(client.SettingUp());  // the set-up goes on in the event loop
    client.DdeSend(QStringLiteral("Speaker Chair"));
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().first(), true);
    QCOMPARE(client.ItemName(), QStringLiteral("DdeTelvioServerItem"));
    client.DdeSend(QStringLiteral("Speaker Zoë Ünal"));
    QVERIFY(partner.announced(2));
    QCOMPARE(partner.announcements(), (QStringList{"Speaker Chair", "Speaker Zoë Ünal"}));
    QCOMPARE(partner.conversations(), 1);
}

void TestPrompterClient::disabledAtStartAttemptsNothingUntilEnabled()
{
    PrompterServe partner;
    QVERIFY(partner.serving());
    config.PrompterLinkEnabled = false;
    PrompterClient client(config, configurationFile);
    client.SetupPrompterLink();
    client.DdeSend(QStringLiteral("Speaker Chair"));
    QVERIFY(!client.PrompterLinkUp());
    QVERIFY(!client.SettingUp());

    config.PrompterLinkEnabled = true;  // as the setup dialog leaves it
    client.DdeSend(QStringLiteral("Speaker Host"));
    QVERIFY(partner.announced(1));
    // Switching it off again takes effect only at the next set-up.
    config.PrompterLinkEnabled = false;
    client.DdeSend(QStringLiteral("Speaker Panel"));
    QVERIFY(partner.announced(2));
    QCOMPARE(partner.announcements(), (QStringList{"Speaker Host", "Speaker Panel"}));
    QCOMPARE(partner.conversations(), 1);
}

void TestPrompterClient::partnerNotRunningIsStartedOnce()
{
    // The command line is the service name, a blank and the topic: the program "Telvio" with
    // the words "-", "Vantora" and "Telvio".
    const QString script = runtime->filePath("bin/Telvio");
    writeBytes(script, "#!/bin/sh\n"
                       "echo $$ > '" + runtime->filePath("partner.pid").toUtf8() + "'\n"
                       "printf '%s\\n' \"$@\" > '" + runtime->filePath("partner.args").toUtf8() + "'\n"
                       "exec '" PROMPTER_EXECUTABLE "' serve > '" + runtime->filePath("partner.out").toUtf8() + "' 2>&1\n");
    QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    PrompterClient client(config, configurationFile);
    QSignalSpy finished(&client, &PrompterClient::setupFinished);
    client.DdeSend(QStringLiteral("Speaker Chair"));
    QVERIFY(finished.wait(10000));
    partners << readBytes(runtime->filePath("partner.pid")).trimmed().toLongLong();
    QCOMPARE(finished.first().first(), true);
    QCOMPARE(readBytes(runtime->filePath("partner.args")), "-\nVantora\nTelvio\n");
    QTRY_VERIFY_WITH_TIMEOUT(readBytes(runtime->filePath("partner.out")).contains("Speaker Chair\n"), 5000);
}

void TestPrompterClient::noPartnerAnywhereDropsTheAnnouncements()
{
    PrompterClient client(config, configurationFile);
    QSignalSpy finished(&client, &PrompterClient::setupFinished);
    client.SetupPrompterLink();  // nothing serves it and no program of that name can be started
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first(), false);
    QVERIFY(client.PrompterLinkUp());

    // The link counts as set up, so a partner that comes later is not looked for.
    PrompterServe partner;
    QVERIFY(partner.serving());
    client.DdeSend(QStringLiteral("Speaker Chair"));
    QVERIFY(!client.SettingUp());
    QVERIFY(!client.ConversationOpen());
}

void TestPrompterClient::partnerGoesAwayAndComesBack()
{
    PrompterClient client(config, configurationFile);
    QSignalSpy finished(&client, &PrompterClient::setupFinished);
    QSignalSpy closed(&client, &PrompterClient::conversationClosed);
    {
        PrompterServe first;
        QVERIFY(first.serving());
        client.SetupPrompterLink();
        client.DdeSend(QStringLiteral("Speaker Chair"));
        QVERIFY(first.announced(1));
        first.process.kill();  // its socket stays behind
        QVERIFY(closed.wait(5000));
        QVERIFY(!client.PrompterLinkUp());
    }
    PrompterServe second;
    QVERIFY(second.serving());
    client.DdeSend(QStringLiteral("Speaker Host"));
    QVERIFY(second.announced(1));
    QCOMPARE(second.announcements(), QStringList{"Speaker Host"});
    QCOMPARE(finished.count(), 2);
}

void TestPrompterClient::partnerThatNeverAnswers()
{
    // Its socket listens, but nobody ever accepts a conversation.
    const LocalSocket::Result listening = LocalSocket::Listen(ServiceSocket::For(config.PrompterLinkName).path);
    QVERIFY(listening.fd >= 0);
    PrompterClient client(config, configurationFile);
    QSignalSpy finished(&client, &PrompterClient::setupFinished);
    client.SetupPrompterLink();
    client.DdeSend(QStringLiteral("Speaker Chair"));
    QCOMPARE(finished.count(), 0);
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().first(), false);
    QVERIFY(!client.ConversationOpen());
    LocalSocket::RemoveListened(ServiceSocket::For(config.PrompterLinkName).path, listening);
    ::close(listening.fd);
}

void TestPrompterClient::partnerThatAnswersOnlyTheConnect()
{
    const std::filesystem::path socket = ServiceSocket::For(config.PrompterLinkName).path;
    const LocalSocket::Result listening = LocalSocket::Listen(socket);
    QVERIFY(listening.fd >= 0);
    QList<LinkMessage> heard;
    std::unique_ptr<LinkConnection> conversation;
    QSocketNotifier incoming(listening.fd, QSocketNotifier::Read);
    connect(&incoming, &QSocketNotifier::activated, this, [&] {
        conversation = std::make_unique<LinkConnection>(LocalSocket::Accept(listening.fd).fd, MessageParser::Receiver::Server);
        connect(conversation.get(), &LinkConnection::received, this, [&](const LinkMessage& m) {
            heard << m;
            if (m.verb == LinkVerb::Connect)
                conversation->Send(EncodeMessage(LinkVerb::Ack));
        });
    });

    PrompterClient client(config, configurationFile);
    QSignalSpy finished(&client, &PrompterClient::setupFinished);
    client.SetupPrompterLink();
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().first(), true);  // the conversation is open, its item forgotten
    QCOMPARE(client.ItemName(), QString());
    client.DdeSend(QStringLiteral("Speaker Chair"));
    QTRY_COMPARE_WITH_TIMEOUT(heard.size(), 3, 5000);
    QCOMPARE(heard[0], (LinkMessage{LinkVerb::Connect, {"Telvio"}, {}}));
    QCOMPARE(heard[1], (LinkMessage{LinkVerb::AdvStart, {"DdeTelvioServerItem", "TEXT", "warm"}, {}}));
    QCOMPARE(heard[2], (LinkMessage{LinkVerb::Poke, {"", "TEXT"}, QByteArray("Speaker Chair\0", 14)}));
    LocalSocket::RemoveListened(socket, listening);
    ::close(listening.fd);
}

void TestPrompterClient::serviceNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("the default") << "Telvio - Vantora" << true;
    QTest::newRow("accented, 255 bytes") << QString(127, u'é') + u'x' << true;
    QTest::newRow("256 bytes") << QString(128, u'é') << false;
    QTest::newRow("a tab") << "Telvio\tVantora" << false;
    QTest::newRow("an escape") << "Telvio\x1b[2J" << false;
    QTest::newRow("a C1 control") << QStringLiteral("Telvio\u0085") << false;
    QTest::newRow("a direction override") << QStringLiteral("Telvio\u202e") << false;
    QTest::newRow("a folder") << "../elevra" << false;
}

void TestPrompterClient::serviceNames()
{
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QCOMPARE(ServiceSocket::NameError(name).isEmpty(), valid);
    QCOMPARE(ServiceSocket::For(name).error.isEmpty(), valid);
}

QTEST_GUILESS_MAIN(TestPrompterClient)
#include "tst_prompterclient.moc"
