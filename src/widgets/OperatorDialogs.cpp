#include "widgets/OperatorDialogs.h"


namespace OperatorDialogs {

QString askFileToOpen(QWidget* parent, const QString& folder)
{
    QFileDialog dialog(parent, QString(), folder, QStringLiteral("All Files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);  // a new name starts an empty file
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString askFileToSave(QWidget* parent, const QString& folder, const QString& proposed, QFileDialog::Options options)
{
    QFileDialog dialog(parent, QString(), folder, QStringLiteral("All Files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOptions(dialog.options() | QFileDialog::DontUseNativeDialog | options);
    dialog.selectFile(proposed);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

} // namespace OperatorDialogs
