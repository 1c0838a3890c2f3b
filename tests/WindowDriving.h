#pragma once

#include <QApplication>
#include <QMimeData>
#include <QtTest>

#include <memory>

// What tests of windows do as the operator would: find a control, carry a grid row away,
// drop data on a widget.

template <typename T = QWidget>
T* control(QWidget* parent, const QString& name)
{
    T* found = parent->findChild<T*>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

// The drag data a grid with a drag runner (the database grid) makes when the operator drags
// row `row` (counted from 1) beyond the drag distance.
template <typename Grid>
std::unique_ptr<QMimeData> dragFromRow(Grid* grid, int row)
{
    std::unique_ptr<QMimeData> dragged;
    grid->setDragRunner([&dragged](QMimeData* mime) { dragged.reset(mime); });
    const QPoint from = grid->visualRect(grid->model()->index(row - 1, 1)).center();
    const QPoint to = from + QPoint(QApplication::startDragDistance() + 1, 0);
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, grid->viewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(grid->viewport(), &move);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, to);
    return dragged;
}

// A drop as the platform delivers it: entering, then dropping on `target` at `at`. True when
// the target took both.
inline bool dropOn(const QMimeData& mime, QWidget* target, QPoint at)
{
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return enter.isAccepted() && drop.isAccepted();
}
