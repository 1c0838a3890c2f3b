#include "view/ShowViewWindow.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include <qrencode.h>

#include <memory>

QImage qrCodeImage(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(bytes.constData(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code)
        return {};
    constexpr int Quiet = 4;
    const int width = code->width;
    QImage image(width + 2 * Quiet, width + 2 * Quiet, QImage::Format_Mono);
    image.fill(0);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    for (int y = 0; y < width; ++y)
        for (int x = 0; x < width; ++x)
            if (code->data[y * width + x] & 1)
                image.setPixel(x + Quiet, y + Quiet, 1);
    return image;
}

ShowViewWindow::ShowViewWindow(const QString& controlUrl, const QString& viewUrl, const QString& why, QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("ShowViewWindow"));
    setWindowTitle(QStringLiteral("Show View"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(this);
    hint->setWordWrap(true);
    address_ = new QLabel(this);
    address_->setObjectName(QStringLiteral("ControlUrl"));
    address_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    code_ = new QLabel(this);
    code_->setObjectName(QStringLiteral("ControlCode"));
    code_->setAlignment(Qt::AlignCenter);
    if (controlUrl.isEmpty()) {
        hint->setText(why.isEmpty() ? QStringLiteral("The show view is off.") : why);
        address_->setText(viewUrl);
    } else {
        hint->setText(QStringLiteral("Whoever opens this address can drive the show. The page at %1 only shows it.").arg(viewUrl));
        address_->setText(controlUrl);
        const QImage image = qrCodeImage(controlUrl);
        if (!image.isNull())
            code_->setPixmap(QPixmap::fromImage(image.scaled(image.size() * 6, Qt::KeepAspectRatio, Qt::FastTransformation)));
    }
    layout->addWidget(hint);
    layout->addWidget(address_);
    layout->addWidget(code_);
}
