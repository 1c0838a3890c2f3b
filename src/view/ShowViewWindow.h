#pragma once

#include <QImage>
#include <QWidget>

class QLabel;

// The address of the show view for the operator to hand on: the control address as text and
// as a QR code, or why there is none.
class ShowViewWindow : public QWidget {
    Q_OBJECT
public:
    // `controlUrl` empty: `why` says why there is nothing to show.
    ShowViewWindow(const QString& controlUrl, const QString& viewUrl, const QString& why, QWidget* parent = nullptr);

private:
    QLabel* address_ = nullptr;
    QLabel* code_ = nullptr;
};

// The QR code of `text`, one pixel a module with a quiet zone of four around it; a null image
// when it cannot be encoded.
QImage qrCodeImage(const QString& text);
