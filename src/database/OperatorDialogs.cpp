#include "OperatorDialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace OperatorDialogs {

bool AskOkCancel(QWidget* parent, const QString& question)
{
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), question,
                    QMessageBox::Ok | QMessageBox::Cancel, parent);
    return box.exec() == QMessageBox::Ok;
}

void ShowWarning(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.exec();
}

QString AskFileToOpen(QWidget* parent, const QString& folder)
{
    QFileDialog dialog(parent, QString(), folder, QStringLiteral("All Files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);  // a new name starts an empty file
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString AskFileToSave(QWidget* parent, const QString& folder, const QString& proposed, QFileDialog::Options options)
{
    QFileDialog dialog(parent, QString(), folder, QStringLiteral("All Files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOptions(dialog.options() | QFileDialog::DontUseNativeDialog | options);
    dialog.selectFile(proposed);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

} // namespace OperatorDialogs
