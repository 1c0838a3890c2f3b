#include "shell/About.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace {

const QColor Maroon(0x80, 0x00, 0x00);

QLabel* centredLabel(QWidget* parent, const char* name, const QString& text = QString())
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Maroon);
    label->setPalette(p);
    return label;
}

} // namespace

TAboutBox::TAboutBox(const VersionInfo& version, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Help About"));
    setModal(false);

    TitlePanel = new QWidget(this);
    TitlePanel->setObjectName(QStringLiteral("TitlePanel"));
    SoftwareVersionLabel = centredLabel(TitlePanel, "SoftwareVersionLabel");
    DateLabel = centredLabel(TitlePanel, "DateLabel");
    CopyrightLabel = centredLabel(TitlePanel, "CopyrightLabel");

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/shell/about.png")));
    Image1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    OkPanel = new QWidget(this);
    OkPanel->setObjectName(QStringLiteral("OkPanel"));
    OKBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), OkPanel);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &TAboutBox::OKBtnClick);

    PhonePanelUK = centredLabel(this, "PhonePanelUK", QStringLiteral("UK: +44 (0)20 7946 0321"));
    PhonePanelUS = centredLabel(this, "PhonePanelUS", QStringLiteral("US: +1 (555) 010 0321"));
    WebPanel = centredLabel(this, "WebPanel", QStringLiteral("Web: www.elevra.example"));
    EMailPanel = centredLabel(this, "EMailPanel", QStringLiteral("E-mail: support@elevra.example"));

    FormCreate(version);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
}

void TAboutBox::FormCreate(const VersionInfo& version)
{
    QFont font;
    font.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif")});
    font.setBold(true);
    font.setPointSize(12);
    setFont(font);

    const bool large = QGuiApplication::primaryScreen() && qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch()) == 120;
    const int labelHeight = large ? 26 : 19;
    const int contactHeight = large ? 26 : 20;
    const int okPanelHeight = large ? 50 : 34;
    const int imageHeight = 227;
    const QSize button = large ? QSize(70, 34) : QSize(70, 28);
    // The window is 450 wide at 96 dpi; the frame around it is the window manager's.
    const int width = large ? 618 : 450;

    const int titleHeight = 3 * labelHeight + 8;
    const int height = titleHeight + 4 * contactHeight + okPanelHeight + imageHeight + 1;
    setFixedSize(width, height);

    TitlePanel->setGeometry(0, 0, width, titleHeight);
    int y = 4;
    for (QLabel* label : {SoftwareVersionLabel, DateLabel, CopyrightLabel}) {
        label->setGeometry(0, y, width, labelHeight);
        y += labelHeight;
    }
    Image1->setGeometry(0, titleHeight, width, imageHeight);

    // Bottom-aligned from the foot up: the contact lines, then the OK panel above them.
    y = height;
    for (QLabel* panel : {EMailPanel, WebPanel, PhonePanelUS, PhonePanelUK}) {
        y -= contactHeight;
        panel->setGeometry(0, y, width, contactHeight);
    }
    OkPanel->setGeometry(0, y - okPanelHeight, width, okPanelHeight);
    OKBtn->setGeometry((width - button.width()) / 2, (okPanelHeight - button.height()) / 2, button.width(), button.height());

    SoftwareVersionLabel->setText(QStringLiteral("Software Version: ") + version.FileVersion);
    DateLabel->setText(QStringLiteral("Date: ") + version.InternalName);
    CopyrightLabel->setText(version.LegalCopyright);
}

void TAboutBox::OKBtnClick()
{
    close();
}
