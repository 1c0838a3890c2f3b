#include "DataFolder.h"
#include "PrompterProcess.h"

#include <QSocketNotifier>
#include <QtTest>

#include <unistd.h>

// The real program with its link, as the prompting application meets it.
class TestPrompterProgram : public QObject {
    Q_OBJECT

    struct Program {
        QProcess process;
        QByteArray log;

        explicit Program(const DataFolder& folder)
        {
            QObject::connect(&process, &QProcess::readyReadStandardError, [this] { log += process.readAllStandardError(); });
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QT_QPA_PLATFORM", "offscreen");
            process.setProcessEnvironment(env);
            process.start(ELEVRA_EXECUTABLE, {});
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

private slots:
    void servesWhileItRunsAndRemovesItsSocket();
    void enabledLinkOpensItsConversationAtStart();
    void unusableRuntimeFolderLeavesTheStandsRunning();
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

QTEST_GUILESS_MAIN(TestPrompterProgram)
#include "tst_prompterprogram.moc"
