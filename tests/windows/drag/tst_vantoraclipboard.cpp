#include "database/VantoraDragDrop.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QtTest>

#include <windows.h>

// The drag message on the platform's own medium: Qt's OLE data object, which drags and the
// clipboard share, read and written with the Win32 clipboard calls another program would use.
class TestVantoraClipboard : public QObject {
    Q_OBJECT

    static UINT Vantora() { return RegisterClipboardFormatW(L"Vantora"); }

    // What the clipboard holds under `format`, as another program reads it.
    static QByteArray Held(UINT format)
    {
        QByteArray bytes;
        if (!OpenClipboard(nullptr))
            return "not opened";
        if (HANDLE data = GetClipboardData(format)) {
            if (const void* block = GlobalLock(data)) {
                bytes = QByteArray(static_cast<const char*>(block), static_cast<qsizetype>(GlobalSize(data)));
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
        return bytes;
    }

    // Puts `bytes` on the clipboard under `format`, as another program offers them.
    static bool Offer(UINT format, const QByteArray& bytes)
    {
        if (!OpenClipboard(nullptr))
            return false;
        EmptyClipboard();
        HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(bytes.size()));
        std::memcpy(GlobalLock(data), bytes.constData(), static_cast<size_t>(bytes.size()));
        GlobalUnlock(data);
        const bool set = SetClipboardData(format, data) != nullptr;
        CloseClipboard();
        return set;
    }

    static QByteArray Record(qint32 count, qint32 size, const QString& identifier)
    {
        QByteArray bytes(520, '\0');
        std::memcpy(bytes.data(), identifier.utf16(), static_cast<size_t>(2 * identifier.size()));
        qToLittleEndian<qint32>(size, bytes.data() + 512);
        qToLittleEndian<qint32>(count, bytes.data() + 516);
        return bytes;
    }

private slots:
    // First, while Qt knows the format only as another program's.
    void aRecordOfferedByAnotherProgramIsReceived();
    void aDragOffersTheRecordUnderTheRegisteredFormat();
};

void TestVantoraClipboard::aDragOffersTheRecordUnderTheRegisteredFormat()
{
    const QString identifier = QString(300, u'é');
    QGuiApplication::clipboard()->setMimeData(MakeDatabaseDragData(7, identifier));
    const QByteArray held = Held(Vantora());
    QCOMPARE(held.size(), 520);
    QCOMPARE(held, Record(7, 255, identifier.left(255)));
    QCOMPARE(held.mid(516), QByteArray("\x07\0\0\0", 4));

    QGuiApplication::clipboard()->setMimeData(MakeDatabaseDragData(0, "Chair"));
    const QByteArray text = Held(CF_UNICODETEXT);
    QCOMPARE(QString::fromUtf16(reinterpret_cast<const char16_t*>(text.constData())), QString("Chair\r\n"));
    QCOMPARE(Held(Vantora()), Record(0, 5, "Chair"));
}

void TestVantoraClipboard::aRecordOfferedByAnotherProgramIsReceived()
{
    QVERIFY(Offer(Vantora(), Record(3, 5, "Panel")));
    const QMimeData* offered = QGuiApplication::clipboard()->mimeData();
    QVERIFY(!VantoraFormatOf(*offered).isEmpty());
    QCOMPARE(ReceivedEntryIndex(*offered), std::optional<int>(3));

    QVERIFY(Offer(Vantora(), Record(50, 5, "Panel")));  // names no entry
    QCOMPARE(ReceivedEntryIndex(*QGuiApplication::clipboard()->mimeData()), std::nullopt);
    QVERIFY(Offer(Vantora(), QByteArray(7000, '\x01')));  // longer than the record: its start only
    QCOMPARE(ReceivedEntryIndex(*QGuiApplication::clipboard()->mimeData()), std::nullopt);
    QVERIFY(Offer(CF_UNICODETEXT, QByteArray("C\0h\0\0\0", 6)));  // text only
    QCOMPARE(ReceivedEntryIndex(*QGuiApplication::clipboard()->mimeData()), std::nullopt);
}

QTEST_MAIN(TestVantoraClipboard)
#include "tst_vantoraclipboard.moc"
