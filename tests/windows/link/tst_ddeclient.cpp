#include "HungPartner.h"
#include "PrompterProcess.h"
#include "TestFiles.h"
#include "link/PrompterClient.h"
#include "link/WriteAccess.h"

#include <QTemporaryDir>
#include <QtTest>

#include <windows.h>
#include <aclapi.h>

// The program's client conversation under DDEML in this process, announcing to the real
// prompter tool; a partner that the link starts is a command script on PATH that runs it.
class TestDdeClient : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;
    QByteArray path;
    Configuration config;
    std::filesystem::path configurationFile;

    QString file(const QString& name) const { return QDir::toNativeSeparators(folder->filePath(name)); }
    // Telvio.cmd, found on PATH for the command "Telvio - Vantora Telvio": it notes its words and
    // runs the prompter tool as the partner.
    void providePartner() const
    {
        writeBytes(folder->filePath("bin/Telvio.cmd"),
                   "@echo %*> \"" + file("partner.args").toUtf8() + "\"\r\n"
                   "@\"" + QDir::toNativeSeparators(PROMPTER_EXECUTABLE).toUtf8() + "\" serve > \""
                       + file("partner.out").toUtf8() + "\" 2>&1\r\n");
    }
    static void endPartners() { QProcess::execute("taskkill", {"/f", "/im", "prompter.exe"}); }

    // Lets everyone write `name`, as a file in a folder that all operators share may let them.
    static bool openToEveryone(const QString& name)
    {
        EXPLICIT_ACCESSW access{};
        access.grfAccessPermissions = GENERIC_ALL;
        access.grfAccessMode = GRANT_ACCESS;
        access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
        access.Trustee.ptstrName = const_cast<wchar_t*>(L"Everyone");
        PACL old = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        std::wstring native = name.toStdWString();
        if (GetNamedSecurityInfoW(native.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &old,
                                  nullptr, &descriptor) != ERROR_SUCCESS)
            return false;
        PACL updated = nullptr;
        const bool made = SetEntriesInAclW(1, &access, old, &updated) == ERROR_SUCCESS;
        const bool set = made && SetNamedSecurityInfoW(native.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                                       nullptr, updated, nullptr) == ERROR_SUCCESS;
        LocalFree(updated);
        LocalFree(descriptor);
        return set;
    }

private slots:
    void initTestCase() { path = qgetenv("PATH"); }
    void init();
    void cleanup();
    void announcesInOrderOverOneConversation();
    void disabledAtStartAttemptsNothingUntilEnabled();
    void partnerNotRunningIsStartedOnce();
    void partnerThatOthersMayNameIsNotStarted();
    void noPartnerAnywhereDropsTheAnnouncements();
    void partnerGoesAwayAndComesBack();
    void hungPartnerIsLetGoAfterItsUnansweredPokes();
    void hungWindowDoesNotHoldTheSetupUp();
};

void TestDdeClient::init()
{
    folder = std::make_unique<QTemporaryDir>();
    QDir(folder->path()).mkdir("bin");
    qputenv("PATH", file("bin").toUtf8() + ';' + path);
    config = Configuration{};
    config.PrompterLinkEnabled = true;
    configurationFile = folder->filePath("elevra.ini").toStdWString();
    writeBytes(folder->filePath("elevra.ini"), "[Main]\nTelvio Link Enabled=1\n");
}

void TestDdeClient::cleanup()
{
    endPartners();
    folder.reset();
}

void TestDdeClient::announcesInOrderOverOneConversation()
{
    PrompterServe partner;
    QVERIFY(partner.serving());
    PrompterClient client(config, configurationFile);
    QSignalSpy finished(&client, &PrompterClient::setupFinished);
    client.SetupPrompterLink();
    QVERIFY(client.PrompterLinkUp());
    QVERIFY(client.SettingUp());  // the advise start and the request are answered in the event loop
    client.DdeSend(QStringLiteral("Speaker Chair"));
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().first(), true);
    QCOMPARE(client.ItemName(), QStringLiteral("DdeTelvioServerItem"));
    client.DdeSend(QStringLiteral("Speaker Zoë Ünal"));
    QVERIFY(partner.announced(2));
    QCOMPARE(partner.announcements(), (QStringList{"Speaker Chair", "Speaker Zoë Ünal"}));
    QCOMPARE(partner.conversations(), 1);
}

void TestDdeClient::disabledAtStartAttemptsNothingUntilEnabled()
{
    PrompterServe partner;
    QVERIFY(partner.serving());
    config.PrompterLinkEnabled = false;
    PrompterClient client(config, configurationFile);
    client.SetupPrompterLink();
    client.DdeSend(QStringLiteral("Speaker Chair"));
    QVERIFY(!client.PrompterLinkUp());
    QCOMPARE(partner.conversations(), 0);

    config.PrompterLinkEnabled = true;  // as the setup dialog leaves it
    client.DdeSend(QStringLiteral("Speaker Host"));
    QVERIFY(partner.announced(1));
    QCOMPARE(partner.announcements(), QStringList{"Speaker Host"});
    QCOMPARE(partner.conversations(), 1);
}

void TestDdeClient::partnerNotRunningIsStartedOnce()
{
    providePartner();
    QCOMPARE(OthersMayChange(configurationFile), std::string());
    PrompterClient client(config, configurationFile);
    QSignalSpy finished(&client, &PrompterClient::setupFinished);
    client.DdeSend(QStringLiteral("Speaker Chair"));
    QVERIFY(client.SettingUp());
    QVERIFY(finished.wait(15000));
    QCOMPARE(finished.first().first(), true);
    QCOMPARE(readBytes(folder->filePath("partner.args")).trimmed(), "- Vantora Telvio");
    QTRY_VERIFY_WITH_TIMEOUT(readBytes(folder->filePath("partner.out")).contains("Speaker Chair"), 5000);
}

void TestDdeClient::partnerThatOthersMayNameIsNotStarted()
{
    providePartner();
    QVERIFY(openToEveryone(file("elevra.ini")));
    QVERIFY(!OthersMayChange(configurationFile).empty());
    PrompterClient client(config, configurationFile);
    QSignalSpy finished(&client, &PrompterClient::setupFinished);
    client.SetupPrompterLink();
    QTRY_COMPARE(finished.count(), 1);  // connecting is the conversation thread's, answered in the event loop
    QCOMPARE(finished.first().first(), false);
    QTest::qWait(1000);
    QVERIFY(!QFile::exists(folder->filePath("partner.args")));
}

void TestDdeClient::noPartnerAnywhereDropsTheAnnouncements()
{
    PrompterClient client(config, configurationFile);
    QSignalSpy finished(&client, &PrompterClient::setupFinished);
    client.SetupPrompterLink();  // nothing serves it and no program of that name can be started
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first(), false);
    QVERIFY(client.PrompterLinkUp());

    // The link counts as set up, so a partner that comes later is not looked for.
    PrompterServe partner;
    QVERIFY(partner.serving());
    client.DdeSend(QStringLiteral("Speaker Chair"));
    QVERIFY(!client.SettingUp());
    QVERIFY(!client.ConversationOpen());
    QCOMPARE(partner.conversations(), 0);
}

void TestDdeClient::partnerGoesAwayAndComesBack()
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
        first.process.kill();
        QVERIFY(first.process.waitForFinished(5000));
        // Whether the partner's end is told or found at the next poke, the link goes down.
        client.DdeSend(QStringLiteral("Speaker Panel"));
        QTRY_VERIFY_WITH_TIMEOUT(!client.PrompterLinkUp(), 5000);
        QCOMPARE(closed.count(), 1);
    }
    PrompterServe second;
    QVERIFY(second.serving());
    client.DdeSend(QStringLiteral("Speaker Host"));
    QVERIFY(second.announced(1));
    QCOMPARE(second.announcements(), QStringList{"Speaker Host"});
}

// A partner that stops answering must not make the window thread wait on it, nor the pokes
// pile up without end: the conversation is let go once 64 of them are unanswered, and a
// partner that serves later is talked to again.
void TestDdeClient::hungPartnerIsLetGoAfterItsUnansweredPokes()
{
    auto partner = std::make_unique<HungPartner>(config.PrompterLinkName);
    QVERIFY(partner->Registered());
    PrompterClient client(config, configurationFile);
    QSignalSpy finished(&client, &PrompterClient::setupFinished);
    QSignalSpy closed(&client, &PrompterClient::conversationClosed);
    client.SetupPrompterLink();
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().first(), true);
    client.DdeSend(QStringLiteral("Speaker Chair"));
    QVERIFY(partner->Hung());
    QTest::qWait(200);  // the first poke's answer comes home

    // 64 unanswered are borne; the next one lets the partner go.
    QElapsedTimer sending;
    sending.start();
    for (int i = 1; i <= 64; ++i)
        client.DdeSend(QStringLiteral("Speaker %1").arg(i));
    QTest::qWait(500);
    QCOMPARE(closed.count(), 0);
    client.DdeSend(QStringLiteral("Speaker 65"));
    QTRY_COMPARE(closed.count(), 1);
    // Ending the conversation the usual way would wait ten seconds for the partner.
    QVERIFY2(sending.elapsed() < 3000, qPrintable(QString::number(sending.elapsed())));
    QVERIFY(!client.ConversationOpen());

    partner.reset();
    PrompterServe next;
    QVERIFY(next.serving());
    client.DdeSend(QStringLiteral("Speaker Host"));
    QVERIFY(next.announced(1));
    QCOMPARE(next.announcements(), QStringList{"Speaker Host"});
}

// Connecting asks every top-level window and waits for each answer; one that takes no messages
// must not hold the window thread: the set-up ends without a conversation, in its own time.
void TestDdeClient::hungWindowDoesNotHoldTheSetupUp()
{
    HungPartner partner(config.PrompterLinkName);
    QVERIFY(partner.Registered());
    partner.HangNow();
    PrompterClient client(config, configurationFile);
    QSignalSpy finished(&client, &PrompterClient::setupFinished);
    QElapsedTimer sinceSetup;
    sinceSetup.start();
    client.SetupPrompterLink();
    client.DdeSend(QStringLiteral("Speaker Chair"));
    QVERIFY2(sinceSetup.elapsed() < 500, qPrintable(QString::number(sinceSetup.elapsed())));
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().first(), false);
}

QTEST_GUILESS_MAIN(TestDdeClient)
#include "tst_ddeclient.moc"
