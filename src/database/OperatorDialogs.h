#pragma once

#include <QFileDialog>
#include <QString>

class QWidget;

// The questions and file dialogs that the database and run order windows show over `parent`.
namespace OperatorDialogs {

// An OK/Cancel question; true for OK.
bool AskOkCancel(QWidget* parent, const QString& question);
void ShowWarning(QWidget* parent, const QString& text);
// A file to read in `folder`, which need not exist; empty when cancelled.
QString AskFileToOpen(QWidget* parent, const QString& folder);
// A file to write in `folder`, proposing `proposed`, with `options` besides the non-native
// dialog; empty when cancelled.
QString AskFileToSave(QWidget* parent, const QString& folder, const QString& proposed,
                      QFileDialog::Options options = {});

} // namespace OperatorDialogs
