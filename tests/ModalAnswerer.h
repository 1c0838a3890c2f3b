#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

// Stands in for the operator at modal boxes: records what each one said and answers it with
// the next scripted answer (Yes/OK when the script has run out; a file dialog gets the next
// scripted file name, or is cancelled).
class ModalAnswerer : public QObject {
public:
    ModalAnswerer()
    {
        connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::answer);
        timer_.start(10);
    }

    QStringList seen;                  // box texts, and "dialog:" + folder for file dialogs
    QList<QMessageBox::StandardButton> buttons;
    QStringList fileNames;

private:
    void answer()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == last_)
            return;
        // A file dialog fills in its proposed name once its folder has loaded; answer after that.
        if (qobject_cast<QFileDialog*>(modal) && (modal != pending_ || shown_.elapsed() < 300)) {
            if (modal != pending_) {
                pending_ = modal;
                shown_.start();
            }
            return;
        }
        last_ = modal;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen << box->text();
            const QMessageBox::StandardButton button = buttons.isEmpty() ? QMessageBox::NoButton : buttons.takeFirst();
            if (QAbstractButton* b = box->button(button != QMessageBox::NoButton ? button : QMessageBox::Yes))
                b->click();
            else
                box->button(QMessageBox::Ok)->click();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            seen << "dialog:" + dialog->directory().absolutePath() + " proposing " + dialog->selectedFiles().value(0);
            if (fileNames.isEmpty()) {
                dialog->reject();
            } else {
                // Typed into the name box, as an operator would.
                if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit"))
                    edit->setText(fileNames.takeFirst());
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            }
        }
    }

    QTimer timer_;
    QPointer<QWidget> last_;
    QPointer<QWidget> pending_;
    QElapsedTimer shown_;
};
