#pragma once

#include <QFileDialog>
#include <QString>

class QWidget;

// The file dialogs that the operator answers over `parent`.
namespace OperatorDialogs {

// A file to read in `folder`, which need not exist; empty when cancelled.
QString askFileToOpen(QWidget* parent, const QString& folder);
// A file to write in `folder`, proposing `proposed`, with `options` besides the non-native
// dialog; empty when cancelled.
QString askFileToSave(QWidget* parent, const QString& folder, const QString& proposed,
                      QFileDialog::Options options = {});

} // namespace OperatorDialogs
