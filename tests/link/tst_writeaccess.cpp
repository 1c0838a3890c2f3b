#include "TestFiles.h"
#include "link/WriteAccess.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

// Who else may change a configuration file, on real folders, files and links handed to other
// users and groups.
class TestWriteAccess : public QObject {
    Q_OBJECT

private slots:
    void othersWhoMayChangeTheFile();
};

void TestWriteAccess::othersWhoMayChangeTheFile()
{
    if (::geteuid() != 0)
        QSKIP("needs to hand files to other users");
    constexpr uid_t User = 4250, Other = 65534;
    constexpr gid_t Group = 4242;
    const auto own = [](const QString& path, uid_t owner, gid_t group, mode_t mode) {
        const QByteArray native = QFile::encodeName(path);
        return ::lchown(native.constData(), owner, group) == 0 && (QFileInfo(path).isSymLink() || ::chmod(native.constData(), mode) == 0);
    };
    const auto link = [](const char* target, const QString& path) {
        return ::symlink(target, QFile::encodeName(path).constData()) == 0;
    };
    struct Row {
        const char* name;
        uid_t user;
        // Lays out `folder`/elevra.ini, a file of the user's, and the row's change.
        std::function<bool(const QString& folder)> change;
        QString who;  // where the reason starts, relative to `folder`, and its text
        QString why;
    };
    const QList<Row> rows{
        {"closed to others", User, [](const QString&) { return true; }, {}, {}},
        {"its group may write it", User, [&](const QString& f) { return own(f + "/elevra.ini", User, Group, 0664); },
         "/elevra.ini", "its group may write it"},
        {"the user's private group", 0, [&](const QString& f) { return own(f + "/elevra.ini", 0, 0, 0664); }, {}, {}},
        {"anybody may write it", User, [&](const QString& f) { return own(f + "/elevra.ini", User, Group, 0646); },
         "/elevra.ini", "anybody may write it"},
        {"another user's file", User, [&](const QString& f) { return own(f + "/elevra.ini", Other, Group, 0600); },
         "/elevra.ini", "belongs to another user"},
        {"another user's folder", User, [&](const QString& f) { return own(f, Other, Group, 0755); }, "", "belongs to another user"},
        {"a folder others may write", User, [&](const QString& f) { return own(f, 0, Group, 0777); }, "", "anybody may write it"},
        {"a sticky folder", User, [&](const QString& f) { return own(f, 0, Group, 01777); }, {}, {}},
        {"another user's link in a sticky folder", User,
         [&](const QString& f) {
             return QFile::rename(f + "/elevra.ini", f + "/real.ini") && link("real.ini", f + "/elevra.ini")
                    && own(f + "/elevra.ini", Other, Group, 0) && own(f, 0, Group, 03775);
         },
         "", "its group may write it"},
        {"a link into a folder its group may write", User,
         [&](const QString& f) {
             return QDir(f).mkdir("shared") && QFile::rename(f + "/elevra.ini", f + "/shared/elevra.ini")
                    && link("shared/elevra.ini", f + "/elevra.ini") && own(f + "/shared", 0, Group, 02775);
         },
         "/shared", "its group may write it"},
        {"a link back up to a safe file", User,
         [&](const QString& f) {
             return QDir(f).mkdir("sub") && QFile::rename(f + "/elevra.ini", f + "/real.ini")
                    && link("sub/../real.ini", f + "/elevra.ini");
         },
         {}, {}},
    };

    QTemporaryDir base;
    QVERIFY(::chmod(QFile::encodeName(base.path()).constData(), 0755) == 0);
    for (const Row& row : rows) {
        const QString folder = base.filePath(row.name);
        QVERIFY(QDir().mkdir(folder));
        writeBytes(folder + "/elevra.ini", "[Main]\n");
        QVERIFY(own(folder + "/elevra.ini", row.user, row.user, 0600));
        QVERIFY2(row.change(folder), row.name);
        const std::string why = OthersMayChange(QFile::encodeName(folder + "/elevra.ini").toStdString(), row.user);
        const QString expected = row.why.isEmpty() ? QString() : folder + row.who + ": " + row.why;
        QVERIFY2(QString::fromStdString(why) == expected, qPrintable(QStringLiteral("%1: %2").arg(row.name, QString::fromStdString(why))));
    }
}

QTEST_GUILESS_MAIN(TestWriteAccess)
#include "tst_writeaccess.moc"
