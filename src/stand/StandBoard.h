#pragma once

#include "stand/GlassDrag.h"
#include "stand/StandAppearance.h"
#include "stand/StandLayout.h"
#include "stand/TStand.h"

#include <QObject>
#include <QRect>
#include <QString>

// What the stand window shows: the stand records, their geometry and texts, the current
// speaker and the glass drag. The window renders from here and forwards its input here.
class StandBoard : public QObject {
    Q_OBJECT

public:
    explicit StandBoard(QObject* parent = nullptr);

    const TStand& stand(int i) const { return Stands[i]; }
    const TStands& allStands() const { return Stands; }
    int StandsDisplayed() const { return standsDisplayed_; }
    bool isDisplayed(int i) const { return i < standsDisplayed_; }
    const QString& CurrentSpeaker() const { return currentSpeaker_; }
    const StandLayout::RightHandLayout& layout() const { return layout_; }
    StandAppearance appearance(int i) const { return appearanceFor(Stands[i].online); }

    QRect glassRect(int i) const;
    QRect positionRect(int i) const;
    QRect columnRect(int i) const;
    QRect baseRect(int i) const;
    QRect dataRect(int i) const;
    QRect levelRect(int i) const;
    QRect nudgeUpRect(int i) const;
    QRect nudgeDownRect(int i) const;

    // Shows the first count stands, hides the rest and lays out the right-hand controls.
    void SetStandsDisplayed(int count);
    // Start-up, after the first SetStandHeights: every glass sits on top of its column.
    void placeGlassesOnColumns();

    void SetStandHeights(bool update_level);
    void SetTargetHeight(int n);
    void SetStandOnline(int n);   // marks it online and shows it so
    void SetStandOffline(int n);
    void ClearTargets();

    // The height shown in the target panel of stand number 1..8; 0 outside that range.
    int ReadTargetHeight(int stand_number) const;

    // For the controller and the takes of the other windows.
    void setActual(int n, int height);
    void storeTarget(int n, int height) { Stands[n].target = height; }
    void setLevelText(int n, const QString& text);
    void setDataText(int n, const QString& text);
    void setCurrentSpeaker(const QString& text);

    // Glass mouse events; y is the mouse position within stand s's glass.
    void BeginGlassDrag(int s, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, bool doubleClick, int y);
    void glassMouseMove(int s, int y);
    void DragGlass(int s, int y);
    void EndGlassDrag();
    const GlassDrag& drag() const { return drag_; }

signals:
    void standChanged(int index);
    void layoutChanged();
    void currentSpeakerChanged(const QString& text);
    void glassRaised(int index);       // bring that glass to the front
    void draggingChanged(bool dragging);  // vertical sizing cursor while true

private:
    void placeColumn(TStand& stand, int height);

    TStands Stands;
    int standsDisplayed_ = StandCount;
    QString currentSpeaker_;
    StandLayout::RightHandLayout layout_ = StandLayout::LayoutControls(StandCount);
    GlassDrag drag_;
};
