#include "DataFolder.h"
#include "ModalAnswerer.h"
#include "StandsOnline.h"
#include "StandsimRun.h"
#include "database/ConfData.h"
#include "database/DatabaseGrid.h"
#include "shell/ConfMain.h"
#include "shell/ElevraApplication.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>


// The database window beside the real main window, driven as the operator drives it.
class TestConfDataScreen : public QObject {
    Q_OBJECT

    struct Window {
        TConferenceForm& form;
        TConfDataScreen* screen = form.findChild<TConfDataScreen*>("ConfDataScreen");
        DatabaseGrid* grid = form.findChild<DatabaseGrid*>("DatabaseGrid");

        template <typename T = QToolButton>
        T* control(const QString& name) const
        {
            T* found = screen->findChild<T*>(name);
            if (!found)
                qFatal("no control %s", qPrintable(name));
            return found;
        }
        void click(const QString& button) const { QTest::mouseClick(control(button), Qt::LeftButton); }
        QPoint cell(int row, int column = 1) const
        {
            return grid->visualRect(grid->model()->index(row - 1, column)).center();
        }
        void press(int row) const { QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell(row)); }
        const TPreset& entry(int index) const { return form.programData().Presets[static_cast<size_t>(index)]; }
        QString level(int i) const { return form.findChild<QLabel*>(QString("Stand%1Level").arg(i))->text(); }
    };

    static void showDatabase(TConferenceForm& form)
    {
        QTest::mouseClick(form.findChild<QPushButton*>("DatabaseBtn"), Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowExposed(form.findChild<TConfDataScreen*>()));
    }

    QTemporaryDir scratch;

private slots:
    void layoutToggleAndWriteBack();
    void storeLoadAndTakeAgainstStandsim();
};

void TestConfDataScreen::layoutToggleAndWriteBack()
{
    DataFolder folder;
    writeBytes(folder.path("elevra.ini"),
               "[Main]\nStands Displayed=3\n[Database]\nTop=30\nLeft=40\nWidth=500\nHeight=300\nVisible=1\nC1=120\n");
    TConferenceForm form(folder.paths());
    form.show();
    Window w{form};
    auto* DatabaseBtn = form.findChild<QPushButton*>("DatabaseBtn");
    QVERIFY(w.screen->isVisible());
    QVERIFY(DatabaseBtn->isEnabled() && DatabaseBtn->isChecked());
    QCOMPARE(w.screen->size(), QSize(500, 300));
    QCOMPARE(w.screen->windowTitle(), QString("Database: DBase0"));
    QCOMPARE(w.screen->property("helpContext").toInt(), 20);
    QVERIFY(w.screen->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(w.control("ClearBtn")->geometry(), QRect(456, 8, 38, 25));
    QCOMPARE(w.control("ClearBtn")->toolTip(), QString("Clear the speaker database"));
    QCOMPARE(w.grid->geometry(), QRect(0, 41, 500, 259));
    // Entry 0 in every target panel, the three displayed and the five hidden.
    QCOMPARE(w.level(3), QString("45"));
    QCOMPARE(w.control<QLineEdit>("SavePresetIdData")->text(), QString("Chair"));

    const auto filled = [&w] {
        int sum = 0;
        for (int i = 0; i < 10; ++i)
            sum += w.grid->columnWidth(i);
        return sum == w.grid->viewport()->width();
    };
    QCOMPARE(w.grid->columnWidths()[1], 120);
    QVERIFY(filled());
    w.grid->horizontalHeader()->resizeSection(2, 41);  // the operator widens "S1"
    QVERIFY(filled());

    w.screen->close();
    QVERIFY(!w.screen->isVisible());
    QVERIFY(!DatabaseBtn->isChecked());
    QTest::mouseClick(DatabaseBtn, Qt::LeftButton);
    QVERIFY(w.screen->isVisible());
    QTest::mouseClick(DatabaseBtn, Qt::LeftButton);
    QVERIFY(!w.screen->isVisible());
    w.screen->show();
    w.screen->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.screen));
    DatabaseBtn->setChecked(false);  // raised while the window shows
    form.activateWindow();
    QTRY_VERIFY(DatabaseBtn->isChecked());

    w.screen->resize(420, 250);
    form.close();
    const QByteArray ini = readBytes(folder.path("elevra.ini"));
    for (const char* line : {"C1=120\n", "C2=40\n", "C8=20\n", "Width=420\n", "Height=250\n", "Visible=1\n"})
        QVERIFY2(ini.contains(line), line);
}

void TestConfDataScreen::storeLoadAndTakeAgainstStandsim()
{
    DataFolder folder;
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=3\n");
    StandsimRun sim;
    QVERIFY(sim.start({"--stands", "8", "--speed", "60", "--heights", "10,20,30"}, scratch.filePath("store.log")));
    folder.linkCom1(sim.line);
    TConferenceForm form(folder.paths());
    form.show();
    showDatabase(form);
    Window w{form};
    ModalAnswerer answerer;
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {10, 20, 30}), 10000);

    // Actual heights, trimmed identifier.
    w.press(6);
    QLineEdit* box = w.control<QLineEdit>("SavePresetIdData");
    box->selectAll();
    QTest::keyClicks(box, "  Guest  Two ");
    w.click("StoreBtn");
    QCOMPARE(answerer.seen, QStringList{"Store the current stand heights as speaker 6?"});
    QCOMPARE(w.entry(5).preset, (std::array<std::uint8_t, 8>{10, 20, 30, 0, 0, 0, 0, 0}));
    QCOMPARE(w.entry(5).preset_id, QString("Guest  Two"));

    // Target heights, as a double-click put them there, all eight of them.
    form.programData().config.DatabaseFromTarget = true;
    w.press(4);
    QTest::mouseDClick(w.grid->viewport(), Qt::LeftButton, {}, w.cell(4));
    QCOMPARE(w.level(7), QString("56"));
    QCOMPARE(box->text(), QString("Guest Reader"));
    w.press(7);
    w.click("StoreBtn");
    QCOMPARE(w.entry(6).preset, (std::array<std::uint8_t, 8>{70, 68, 66, 64, 62, 60, 58, 56}));
    QCOMPARE(w.entry(6).preset_id, QString("No Name"));

    // Load sets all eight targets and sends nothing.
    const qsizetype stand1Frames = sim.frames().count("*1A");
    w.press(1);
    w.click("LoadBtn");
    QCOMPARE(form.board().stand(3).target, 45);

    // Take moves the three displayed stands only and shows the speaker.
    w.press(2);
    w.click("TakeBtn");
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {55, 50, 52}), 15000);
    QCOMPARE(form.findChild<QLabel*>("CurrentSpeaker")->text(), QString("Keynote Speaker"));
    QCOMPARE(form.board().stand(3).target, 45);
    const QByteArray frames = sim.frames();
    QCOMPARE(frames.count("*1A"), stand1Frames + 1);
    QVERIFY(frames.contains("*1A1432"));  // 55 × 94
    QVERIFY(frames.contains("*3A1318"));  // 52 × 94
    QVERIFY(!frames.contains("*4A"));
}

int main(int argc, char** argv)
{
    ElevraApplication app(argc, argv);
    TestConfDataScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_confdatascreen.moc"
