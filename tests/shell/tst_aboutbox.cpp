#include "DataFolder.h"
#include "shell/About.h"
#include "shell/ConfMain.h"
#include "shell/Splash.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

// The about box as the main window's About button opens it, at 96 pixels per inch.
class TestAboutBox : public QObject {
    Q_OBJECT
private slots:
    void aboutTwiceOpensTwoBoxesEachClosingItself();
    void boxWithoutVersionValuesShowsThePrefixes();
    void picturesAreBuiltIn();
};

void TestAboutBox::aboutTwiceOpensTwoBoxesEachClosingItself()
{
    DataFolder folder;
    TConferenceForm form(folder.paths());
    form.show();
    auto* about = form.findChild<QPushButton*>("AboutBtn");
    QVERIFY(about->isEnabled());
    about->click();
    about->click();
    const QList<TAboutBox*> boxes = form.findChildren<TAboutBox*>();
    QCOMPARE(boxes.size(), 2);

    const VersionInfo version = VersionInfo::ofProgram();
    QVERIFY(!version.FileVersion.isEmpty() && !version.InternalName.isEmpty() && !version.LegalCopyright.isEmpty());
    for (TAboutBox* box : boxes) {
        QVERIFY(box->isVisible());
        QVERIFY(!box->isModal());
        QCOMPARE(box->windowTitle(), QStringLiteral("Help About"));
        QCOMPARE(box->findChild<QLabel*>("SoftwareVersionLabel")->text(), "Software Version: " + version.FileVersion);
        QCOMPARE(box->findChild<QLabel*>("DateLabel")->text(), "Date: " + version.InternalName);
        QCOMPARE(box->findChild<QLabel*>("CopyrightLabel")->text(), version.LegalCopyright);
        // Title 3 × 19 + 8, four contact lines of 20, the OK panel 34, the picture 227, and 1.
        QCOMPARE(box->size(), QSize(450, 65 + 80 + 34 + 227 + 1));
        QCOMPARE(box->findChild<QWidget*>("Image1")->geometry(), QRect(0, 65, 450, 227));
        QCOMPARE(box->findChild<QLabel*>("Image1")->pixmap().size(), QSize(618, 267));
        QCOMPARE(box->findChild<QWidget*>("OkPanel")->geometry(), QRect(0, 293, 450, 34));
        QCOMPARE(box->findChild<QPushButton*>("OKBtn")->geometry(), QRect(190, 3, 70, 28));
        QCOMPARE(box->findChild<QWidget*>("EMailPanel")->geometry(), QRect(0, 387, 450, 20));
        QVERIFY(!box->findChild<QLabel*>("WebPanel")->text().isEmpty());
    }

    QPointer<TAboutBox> first = boxes[0];
    QPointer<TAboutBox> second = boxes[1];
    first->findChild<QPushButton*>("OKBtn")->click();
    QTRY_VERIFY(first.isNull());
    QVERIFY(second && second->isVisible());
    second->findChild<QPushButton*>("OKBtn")->click();
    QTRY_VERIFY(second.isNull());
    QVERIFY(form.isVisible());
}

void TestAboutBox::boxWithoutVersionValuesShowsThePrefixes()
{
    QPointer<TAboutBox> box = new TAboutBox(VersionInfo{}, nullptr);
    QCOMPARE(box->findChild<QLabel*>("SoftwareVersionLabel")->text(), QStringLiteral("Software Version: "));
    QCOMPARE(box->findChild<QLabel*>("DateLabel")->text(), QStringLiteral("Date: "));
    QCOMPARE(box->findChild<QLabel*>("CopyrightLabel")->text(), QString());
    box->close();
    QTRY_VERIFY(box.isNull());
}

// The splash and about pictures are linked into every program that uses the shell.
void TestAboutBox::picturesAreBuiltIn()
{
    TSplashForm splash;
    QCOMPARE(splash.findChild<QLabel*>("SplashImage")->pixmap().size(), QSize(400, 267));
}

QTEST_MAIN(TestAboutBox)
#include "tst_aboutbox.moc"
