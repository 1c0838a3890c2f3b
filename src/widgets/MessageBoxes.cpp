#include "widgets/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace MessageBoxes {

namespace {

QString titleOr(const QString& title)
{
    return title.isEmpty() ? QApplication::applicationName() : title;
}

int ask(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
        QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, titleOr(title), text, buttons, parent);
    return box.exec();
}

} // namespace

void showWarning(QWidget* parent, const QString& text, const QString& title)
{
    ask(parent, QMessageBox::Warning, title, text, QMessageBox::Ok);
}

void showCritical(QWidget* parent, const QString& text, const QString& title)
{
    ask(parent, QMessageBox::Critical, title, text, QMessageBox::Ok);
}

bool askOkCancel(QWidget* parent, const QString& question)
{
    return ask(parent, QMessageBox::Question, {}, question, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

bool askYesNo(QWidget* parent, const QString& question)
{
    return ask(parent, QMessageBox::Question, {}, question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void showNotice(QWidget* parent, const QString& text, const QString& title)
{
    auto* notice = new QMessageBox(QMessageBox::Warning, titleOr(title), text, QMessageBox::Ok, parent);
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->setModal(false);
    notice->show();
}

} // namespace MessageBoxes
