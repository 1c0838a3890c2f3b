#include "DataFolder.h"
#include "PrompterProcess.h"

#include <QSocketNotifier>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

// The real program with its link, as the prompting application meets it.
class TestPrompterProgram : public QObject {
    Q_OBJECT

    struct Program {
        QProcess process;
        QByteArray log;

        // `user` runs it, when given, as its own group and none other.
        explicit Program(const DataFolder& folder, QProcessEnvironment env = QProcessEnvironment::systemEnvironment(),
                         uid_t user = uid_t(-1))
        {
            QObject::connect(&process, &QProcess::readyReadStandardError, [this] { log += process.readAllStandardError(); });
            env.insert("QT_QPA_PLATFORM", "offscreen");
            process.setProcessEnvironment(env);
            if (user == uid_t(-1))
                process.start(ELEVRA_EXECUTABLE, {});
            else
                process.start("setpriv", asUser(user) << ELEVRA_EXECUTABLE);
            // The main window polls the stands once it runs, so the first poll on COM1 tells
            // that the start is over.
            QByteArray polled;
            QSocketNotifier line(folder.com1FarEnd(), QSocketNotifier::Read);
            QObject::connect(&line, &QSocketNotifier::activated, [&] {
                char bytes[64];
                const ssize_t n = ::read(folder.com1FarEnd(), bytes, sizeof bytes);
                if (n > 0)
                    polled.append(bytes, n);
            });
            started = QTest::qWaitFor([&] { return polled.contains("*1Q"); }, 10000);
        }
        bool end()
        {
            process.terminate();
            return QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, 10000)
                   && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        }
        ~Program()
        {
            if (process.state() != QProcess::NotRunning)
                process.kill();
            process.waitForFinished(5000);
        }
        bool started = false;
    };

    static QStringList asUser(uid_t user)
    {
        return {QStringLiteral("--reuid=%1").arg(user), QStringLiteral("--regid=%1").arg(user), "--clear-groups"};
    }

    // The folder that holds the data folder, Quillon/Vantora.
    static QString rootOf(const DataFolder& folder) { return QDir(folder.dataFolder() + "../..").canonicalPath(); }

private slots:
    void servesWhileItRunsAndRemovesItsSocket();
    void enabledLinkOpensItsConversationAtStart();
    void unusableRuntimeFolderLeavesTheStandsRunning();
    void partnerThatAnotherUserNamedIsNotRun();
    void namesThatAnotherUserTookInTmpBlockNothing();
};

void TestPrompterProgram::servesWhileItRunsAndRemovesItsSocket()
{
    DataFolder folder;
    Program program(folder);
    QVERIFY(program.started);
    QCOMPARE(prompterTake("Chair"), 0);
    QCOMPARE(prompterTake("nobody at all"), 0);
    QVERIFY(program.end());
    QVERIFY(!QFile::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/dde/elevra"));
    QCOMPARE(prompterTake("Chair"), 2);
}

void TestPrompterProgram::enabledLinkOpensItsConversationAtStart()
{
    DataFolder folder;
    writeBytes(folder.path("elevra.ini"), "[Main]\nTelvio Link Enabled=1\n");
    PrompterServe partner;
    QVERIFY(partner.serving());
    Program program(folder);
    QVERIFY(program.started);
    QVERIFY(QTest::qWaitFor([&] { return partner.conversations() == 1; }, 5000));
    QVERIFY(program.end());
    QVERIFY(QTest::qWaitFor([&] { return partner.log.contains("conversation ended"); }, 5000));
}

void TestPrompterProgram::unusableRuntimeFolderLeavesTheStandsRunning()
{
    DataFolder folder;
    QVERIFY(QDir().mkdir(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/dde"));
    QVERIFY(QFile::setPermissions(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/dde",
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    Program program(folder);
    QVERIFY(program.started);
    QVERIFY(program.end());
    QCOMPARE(program.log.count("The prompter link is not served"), 1);
    QVERIFY(program.log.contains("other users may enter it"));
}

void TestPrompterProgram::partnerThatAnotherUserNamedIsNotRun()
{
    if (::geteuid() != 0)
        QSKIP("needs a second user");
    // The data folder as the package shares it with the group; a member of the group names
    // a command as the partner, and this user's program finds nothing serving that name.
    constexpr gid_t Operators = 4242;
    constexpr uid_t Member = 4243;
    DataFolder folder;
    const QByteArray ini = QFile::encodeName(folder.path("elevra.ini"));
    const QString ran = rootOf(folder) + "/partner-ran";
    QVERIFY(::chmod(QFile::encodeName(rootOf(folder)).constData(), 0755) == 0);
    QVERIFY(::chown(QFile::encodeName(folder.dataFolder()).constData(), 0, Operators) == 0);
    QVERIFY(::chmod(QFile::encodeName(folder.dataFolder()).constData(), 03775) == 0);
    QVERIFY(::chown(ini.constData(), 0, Operators) == 0 && ::chmod(ini.constData(), 0664) == 0);
    QProcess member;
    member.start("setpriv", {QStringLiteral("--reuid=%1").arg(Member), QStringLiteral("--regid=%1").arg(Operators), "--clear-groups",
                             "sh", "-c", "printf '%s\\n' \"$@\" > \"$0\"", ini, "[Main]", "Telvio Link Enabled=1",
                             "Telvio Link Name=sh -c \"cd && id -u > partner-ran\" #"});
    QVERIFY(member.waitForFinished(5000));
    QCOMPARE(member.exitCode(), 0);
    QVERIFY(readBytes(ini).contains("Telvio Link Name=sh -c"));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", rootOf(folder));
    Program program(folder, env);
    QVERIFY(program.started);
    QVERIFY2(QTest::qWaitFor([&] { return program.log.contains("The partner is not started: "); }, 5000), program.log.constData());
    QVERIFY2(program.log.contains(ini + ": its group may write it"), program.log.constData());
    QVERIFY(program.end());
    QVERIFY(!QFile::exists(ran));
}

void TestPrompterProgram::namesThatAnotherUserTookInTmpBlockNothing()
{
    if (::geteuid() != 0)
        QSKIP("needs two users");
    // Without a runtime folder the user's names are in /tmp. Another user took them first and
    // holds the lock in a lock file that anybody may open.
    constexpr uid_t User = 4246, Other = 4247;
    const QString taken = QStringLiteral("/tmp/elevra-%1").arg(User);
    QDir(taken).removeRecursively();  // left by an interrupted run
    // Qt's own runtime folder for a user without a name is /tmp/runtime-.
    const QString qtRuntime = QStringLiteral("/tmp/runtime-");
    struct Remove {
        QString taken, qtRuntime;
        ~Remove()
        {
            QDir(taken).removeRecursively();
            struct stat status {};
            if (::lstat(QFile::encodeName(qtRuntime).constData(), &status) == 0 && status.st_uid == User)
                QDir(qtRuntime).removeRecursively();
        }
    } remove{taken, qtRuntime};
    QProcess other;
    other.start("setpriv", asUser(Other) << "sh" << "-c"
                               << "mkdir -m 0777 \"$0\" && exec 9<> \"$0/Elevra Control\" && chmod 0666 \"$0/Elevra Control\""
                                  " && flock 9 && echo held && exec sleep 600"
                               << taken);
    QVERIFY(other.waitForReadyRead(5000));
    QCOMPARE(other.readAllStandardOutput(), "held\n");

    DataFolder folder;
    const QString home = rootOf(folder) + "/home";
    QVERIFY(QDir().mkdir(home));
    QProcess handOver;
    handOver.start("chown", {"-R", QStringLiteral("%1:%1").arg(User), rootOf(folder), QFile::symLinkTarget(folder.path("ports/COM1"))});
    QVERIFY(handOver.waitForFinished(5000) && handOver.exitCode() == 0);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("XDG_RUNTIME_DIR");
    env.insert("HOME", home);

    Program program(folder, env, User);
    QVERIFY2(program.started, program.log.constData());
    QProcess take;
    take.setProcessEnvironment(env);
    take.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    take.start("setpriv", asUser(User) << PROMPTER_EXECUTABLE << "take" << "Chair");
    QVERIFY(QTest::qWaitFor([&] { return take.state() == QProcess::NotRunning; }, 10000));
    QCOMPARE(take.exitCode(), 0);
    QVERIFY(QFile::exists(home + "/.elevra-runtime/Elevra Control"));
    QVERIFY(program.end());
    other.kill();
    other.waitForFinished(5000);
}

QTEST_GUILESS_MAIN(TestPrompterProgram)
#include "tst_prompterprogram.moc"
