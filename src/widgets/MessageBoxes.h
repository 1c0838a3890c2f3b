#pragma once

#include <QString>

class QWidget;

// The program's message boxes. Each but the notice waits for the operator; the title is the
// application's name unless one is given.
namespace MessageBoxes {

void showWarning(QWidget* parent, const QString& text, const QString& title = {});
void showCritical(QWidget* parent, const QString& text, const QString& title = {});
// True for OK.
bool askOkCancel(QWidget* parent, const QString& question);
// True for Yes.
bool askYesNo(QWidget* parent, const QString& question);
// A warning that waits for nobody and is deleted when closed.
void showNotice(QWidget* parent, const QString& text, const QString& title = {});

} // namespace MessageBoxes
