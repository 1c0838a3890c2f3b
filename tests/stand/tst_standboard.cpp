#include "stand/StandBoard.h"

#include <QSignalSpy>
#include <QTest>

class TestStandBoard : public QObject {
    Q_OBJECT

private slots:
    void layoutFollowsStandCount_data();
    void layoutFollowsStandCount();
    void rightHandControlsForEightStands();
    void changingStandCount();
    void firstLayout();
    void heightsAndTargetsPlaceTheSquares_data();
    void heightsAndTargetsPlaceTheSquares();
    void offlineGreysAndZeroes();
    void clearTargetsOnlyTouchesDisplay();
    void readTargetHeight();
    void pressesThatStartADrag_data();
    void pressesThatStartADrag();
    void dragMovesGlassAndLevel();
    void dragRefusedBeyondLimits_data();
    void dragRefusedBeyondLimits();
};

void TestStandBoard::layoutFollowsStandCount_data()
{
    QTest::addColumn<int>("stands");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("runOrderLeft");
    QTest::addColumn<int>("takeLeft");
    QTest::addColumn<int>("clientWidth");

    QTest::newRow("1 stand") << 1 << 64 << 88 << 198 << 266;
    QTest::newRow("3 stands") << 3 << 160 << 184 << 294 << 362;
    QTest::newRow("8 stands") << 8 << 400 << 424 << 534 << 602;
}

void TestStandBoard::layoutFollowsStandCount()
{
    QFETCH(int, stands);
    QFETCH(int, x);
    QFETCH(int, runOrderLeft);
    QFETCH(int, takeLeft);
    QFETCH(int, clientWidth);

    StandBoard board;
    board.SetStandsDisplayed(stands);
    const StandLayout::RightHandLayout& l = board.layout();
    QCOMPARE(l.x, x);
    QCOMPARE(l.runOrderButton.left(), runOrderLeft);
    QCOMPARE(l.databaseButton.left(), runOrderLeft);
    for (const QRect& r : {l.takeButton, l.homeButton, l.abortButton, l.setupButton, l.helpButton, l.aboutButton,
                           l.exitButton})
        QCOMPARE(r.left(), takeLeft);
    QCOMPARE(l.clientWidth, clientWidth);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(board.isDisplayed(i), i < stands);
}

void TestStandBoard::rightHandControlsForEightStands()
{
    StandBoard board;
    const StandLayout::RightHandLayout& l = board.layout();
    QCOMPARE(l.actualHeightLabel, QPoint(400, 268));
    QCOMPARE(l.targetHeightLabel, QPoint(400, 300));
    QCOMPARE(l.currentSpeaker, QRect(408, 32, 185, 28));
    QCOMPARE(l.currentSpeakerLabel, QPoint(440, 8));
    QCOMPARE(l.panel1, QRect(400, 188, 121, 25));
    QCOMPARE(l.panel3, QRect(400, 240, 121, 25));
    QCOMPARE(l.runOrderButton, QRect(424, 128, 90, 25));
    QCOMPARE(l.databaseButton, QRect(424, 160, 90, 25));
    QCOMPARE(l.takeButton, QRect(534, 96, 60, 25));
    QCOMPARE(l.exitButton, QRect(534, 336, 60, 25));
}

void TestStandBoard::changingStandCount()
{
    StandBoard board;
    QSignalSpy layout(&board, &StandBoard::layoutChanged);
    board.SetStandsDisplayed(3);
    QCOMPARE(board.layout().clientWidth, 362);
    QVERIFY(board.isDisplayed(2));
    QVERIFY(!board.isDisplayed(3));
    board.SetStandsDisplayed(8);
    QCOMPARE(board.layout().clientWidth, 602);
    QVERIFY(board.isDisplayed(7));
    QCOMPARE(layout.size(), 2);

    board.SetStandsDisplayed(12);
    QCOMPARE(board.StandsDisplayed(), 8);
}

void TestStandBoard::firstLayout()
{
    StandBoard board;
    board.SetStandsDisplayed(3);
    // Stand 2 (index 1) in the definition's geometry: the column fills the gap to the base.
    QCOMPARE(board.columnRect(1), QRect(69, 176, 6, 56));
    QCOMPARE(board.glassRect(1), QRect(56, 104, 32, 32));
    QCOMPARE(board.positionRect(1), QRect(56, 144, 32, 32));
    QCOMPARE(board.baseRect(7), QRect(344, 232, 32, 25));
    QCOMPARE(board.nudgeDownRect(7), QRect(350, 348, 20, 16));

    board.SetStandHeights(true);
    board.placeGlassesOnColumns();
    QCOMPARE(board.glassRect(1), QRect(56, 200, 32, 32));
    QCOMPARE(board.columnRect(1), QRect(69, 232, 6, 0));
    QCOMPARE(board.stand(1).data, QStringLiteral("0"));
    // Hidden stands were not redrawn and keep their first-layout column.
    QCOMPARE(board.glassRect(5).top(), 144);
}

void TestStandBoard::heightsAndTargetsPlaceTheSquares_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("top");

    QTest::newRow("0") << 0 << 200;
    QTest::newRow("50") << 50 << 100;
    QTest::newRow("99") << 99 << 2;
}

void TestStandBoard::heightsAndTargetsPlaceTheSquares()
{
    QFETCH(int, height);
    QFETCH(int, top);

    StandBoard board;
    board.setActual(4, height);
    board.SetStandHeights(false);
    QCOMPARE(board.positionRect(4).top(), top);
    QCOMPARE(board.columnRect(4).height(), 2 * height);
    QCOMPARE(board.columnRect(4).bottom() + 1, StandLayout::BaseTop);
    QCOMPARE(board.stand(4).data, QStringLiteral("0"));  // not updated without update_level

    board.storeTarget(4, height);
    board.SetTargetHeight(4);
    QCOMPARE(board.glassRect(4).top(), top);
    QCOMPARE(board.stand(4).level, QString::number(height));
}

void TestStandBoard::offlineGreysAndZeroes()
{
    StandBoard board;
    board.setActual(2, 60);
    board.SetStandOnline(2);
    board.storeTarget(2, 60);
    board.SetTargetHeight(2);
    board.SetStandHeights(true);
    QVERIFY(board.appearance(2).enabled);
    QCOMPARE(board.appearance(2).positionFill, StandColour::Yellow);

    board.SetStandOffline(2);
    const TStand& s = board.stand(2);
    QVERIFY(!s.online);
    QCOMPARE(s.actual, 0);
    QCOMPARE(s.data, QStringLiteral("0"));
    QCOMPARE(board.columnRect(2).height(), 0);
    QCOMPARE(board.positionRect(2).top(), 200);
    QVERIFY(!board.appearance(2).enabled);
    QCOMPARE(board.appearance(2).panelText, StandColour::Gray);
    // The target and its glass stay, and the glass can still be dragged.
    QCOMPARE(s.level, QStringLiteral("60"));
    QCOMPARE(board.glassRect(2).top(), 80);
    board.BeginGlassDrag(2, Qt::LeftButton, Qt::NoModifier, false, 10);
    board.glassMouseMove(2, 12);
    QCOMPARE(s.level, QStringLiteral("58"));
}

void TestStandBoard::clearTargetsOnlyTouchesDisplay()
{
    StandBoard board;
    board.SetStandsDisplayed(2);
    for (int i : {0, 1, 2}) {
        board.storeTarget(i, 40);
        board.SetTargetHeight(i);
    }
    board.ClearTargets();
    QCOMPARE(board.stand(1).level, QStringLiteral("0"));
    QCOMPARE(board.glassRect(1).top(), 200);
    QCOMPARE(board.stand(1).target, 40);
    QCOMPARE(board.stand(2).level, QStringLiteral("40"));  // not displayed
}

void TestStandBoard::readTargetHeight()
{
    StandBoard board;
    board.setLevelText(0, QStringLiteral(" 42 "));
    board.setLevelText(7, QStringLiteral("17"));
    QCOMPARE(board.ReadTargetHeight(1), 42);
    QCOMPARE(board.ReadTargetHeight(8), 17);
    QCOMPARE(board.ReadTargetHeight(0), 0);
    QCOMPARE(board.ReadTargetHeight(9), 0);
    board.setLevelText(0, QStringLiteral("n/a"));
    QCOMPARE(board.ReadTargetHeight(1), 0);
}

void TestStandBoard::pressesThatStartADrag_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("doubleClick");
    QTest::addColumn<bool>("drags");

    QTest::newRow("left alone") << int(Qt::LeftButton) << int(Qt::NoModifier) << false << true;
    QTest::newRow("keypad flag is no key") << int(Qt::LeftButton) << int(Qt::KeypadModifier) << false << true;
    QTest::newRow("right") << int(Qt::RightButton) << int(Qt::NoModifier) << false << false;
    QTest::newRow("left and right") << int(Qt::LeftButton | Qt::RightButton) << int(Qt::NoModifier) << false << false;
    QTest::newRow("shift") << int(Qt::LeftButton) << int(Qt::ShiftModifier) << false << false;
    QTest::newRow("ctrl") << int(Qt::LeftButton) << int(Qt::ControlModifier) << false << false;
    QTest::newRow("alt") << int(Qt::LeftButton) << int(Qt::AltModifier) << false << false;
    QTest::newRow("double click") << int(Qt::LeftButton) << int(Qt::NoModifier) << true << false;
}

void TestStandBoard::pressesThatStartADrag()
{
    QFETCH(int, buttons);
    QFETCH(int, modifiers);
    QFETCH(bool, doubleClick);
    QFETCH(bool, drags);

    StandBoard board;
    board.SetStandHeights(true);
    board.placeGlassesOnColumns();
    QSignalSpy raised(&board, &StandBoard::glassRaised);
    QSignalSpy cursor(&board, &StandBoard::draggingChanged);

    board.BeginGlassDrag(3, Qt::MouseButtons(buttons), Qt::KeyboardModifiers(modifiers), doubleClick, 20);
    QCOMPARE(raised.size(), 1);
    QCOMPARE(raised.at(0).at(0).toInt(), 3);
    QCOMPARE(board.drag().Dragging, drags);
    QCOMPARE(cursor.size(), drags ? 1 : 0);

    board.glassMouseMove(3, 10);
    QCOMPARE(board.stand(3).level, drags ? QStringLiteral("10") : QStringLiteral("0"));
}

void TestStandBoard::dragMovesGlassAndLevel()
{
    StandBoard board;
    board.SetStandHeights(true);
    board.placeGlassesOnColumns();
    QSignalSpy cursor(&board, &StandBoard::draggingChanged);

    board.BeginGlassDrag(0, Qt::LeftButton, Qt::NoModifier, false, 20);
    board.glassMouseMove(0, 15);  // up 5: glass up 10 pixels
    QCOMPARE(board.glassRect(0).top(), 190);
    QCOMPARE(board.stand(0).level, QStringLiteral("5"));
    QVERIFY(board.drag().DragSkipMove);

    // The move right after a step is skipped but still becomes the new reference.
    board.glassMouseMove(0, 30);
    QCOMPARE(board.glassRect(0).top(), 190);
    QVERIFY(!board.drag().DragSkipMove);
    QCOMPARE(board.drag().DragLastY, 30);
    board.glassMouseMove(0, 28);
    QCOMPARE(board.stand(0).level, QStringLiteral("7"));
    QCOMPARE(board.stand(0).target, 0);

    board.EndGlassDrag();
    QVERIFY(!board.drag().Dragging);
    QCOMPARE(cursor.size(), 2);
    QCOMPARE(cursor.last().at(0).toBool(), false);
    board.glassMouseMove(0, 0);
    QCOMPARE(board.stand(0).level, QStringLiteral("7"));
}

void TestStandBoard::dragRefusedBeyondLimits_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("dy");      // mouse movement; the glass moves twice as far
    QTest::addColumn<QString>("level");

    QTest::newRow("below 0") << 0 << 1 << "0";
    QTest::newRow("down to exactly 0") << 3 << 3 << "0";
    QTest::newRow("past 0 as a whole") << 3 << 4 << "3";
    QTest::newRow("above 99") << 99 << -1 << "99";
    QTest::newRow("up to exactly 99") << 90 << -9 << "99";
    QTest::newRow("past 99 as a whole") << 90 << -10 << "90";
}

void TestStandBoard::dragRefusedBeyondLimits()
{
    QFETCH(int, target);
    QFETCH(int, dy);
    QFETCH(QString, level);

    StandBoard board;
    board.storeTarget(0, target);
    board.SetTargetHeight(0);
    const int topBefore = board.glassRect(0).top();

    board.BeginGlassDrag(0, Qt::LeftButton, Qt::NoModifier, false, 16);
    board.glassMouseMove(0, 16 + dy);
    QCOMPARE(board.stand(0).level, level);
    const bool moved = level != QString::number(target);
    QCOMPARE(board.glassRect(0).top(), moved ? topBefore + 2 * dy : topBefore);
    QCOMPARE(board.drag().DragSkipMove, moved);
}

QTEST_APPLESS_MAIN(TestStandBoard)
#include "tst_standboard.moc"
