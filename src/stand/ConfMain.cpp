#include "ConfMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

TConferenceForm::TConferenceForm(const Paths& paths) : QWidget(nullptr), data_(paths)
{
    FormCreate();
}

void TConferenceForm::FormCreate()
{
    setWindowTitle(QStringLiteral("Conference Stand Control"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(605, 373);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(16);
    setFont(font);

    data_.load();
    move(data_.config.mainLeft, data_.config.mainTop);

    BasePanel = new QWidget(this);
    BasePanel->setObjectName(QStringLiteral("BasePanel"));
    BasePanel->setGeometry(rect());

    ExitBtn = new QPushButton(QStringLiteral("Close"), BasePanel);
    ExitBtn->setObjectName(QStringLiteral("ExitBtn"));
    ExitBtn->setGeometry(526, 336, 60, 25);
    connect(ExitBtn, &QPushButton::clicked, this, &TConferenceForm::ExitBtnClick);
}

void TConferenceForm::ExitBtnClick()
{
    close();
}

void TConferenceForm::closeEvent(QCloseEvent* event)
{
    event->ignore();
    FormCloseQuery();
    event->accept();
}

void TConferenceForm::FormCloseQuery()
{
    closeDatabase(data_, *this);
    closeRunOrder(data_, *this);
    data_.config.mainTop = y();
    data_.config.mainLeft = x();
    saveConfiguration(data_);
}

bool TConferenceForm::confirm(const QString& question)
{
    return QMessageBox::question(this, QApplication::applicationName(), question, QMessageBox::Yes | QMessageBox::No)
           == QMessageBox::Yes;
}

QString TConferenceForm::saveFileName(const QString& folder, const QString& proposed)
{
    QFileDialog dialog(this, QString(), folder, QStringLiteral("All Files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectFile(proposed);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                   : QString();
}
