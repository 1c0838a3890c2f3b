#include "shell/HelpWindow.h"

#include "widgets/MessageBoxes.h"

#include <QHBoxLayout>
#include <QSplitter>
#include <QTreeWidget>

namespace {

constexpr auto Scheme = "help";

} // namespace

HelpBrowser::HelpBrowser(const HelpFile& file, QWidget* parent) : QTextBrowser(parent), file_(file)
{
    setObjectName(QStringLiteral("HelpPage"));
}

QUrl HelpBrowser::urlOf(const QString& page)
{
    QUrl url;
    url.setScheme(QLatin1String(Scheme));
    url.setPath(page);
    return url;
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name)
{
    const QByteArray bytes = name.scheme() == QLatin1String(Scheme) ? file_.read(name.path()) : QByteArray();
    if (bytes.isEmpty() && type == QTextDocument::HtmlResource)
        return QStringLiteral("<p>This page is not in the help file: %1</p>").arg(name.toString().toHtmlEscaped());
    return bytes;
}

HelpWindow::HelpWindow(QString helpFileName, QWidget* owner)
    : QWidget(owner, Qt::Window), fileName_(std::move(helpFileName))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(820, 560);

    auto* splitter = new QSplitter(this);
    contents_ = new QTreeWidget(splitter);
    contents_->setObjectName(QStringLiteral("HelpContents"));
    contents_->setHeaderHidden(true);
    browser_ = new HelpBrowser(file_, splitter);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 600});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);

    connect(contents_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        const QString page = item->data(0, Qt::UserRole).toString();
        if (!page.isEmpty())
            browser_->setSource(HelpBrowser::urlOf(page));
    });
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::selectInContents);
}

bool HelpWindow::openFile()
{
    // Opened again each time, so that a help file put right while the program runs is read.
    if (!file_.open(fileName_)) {
        showFailure(file_.errorString());
        return false;
    }
    setWindowTitle(file_.title().isEmpty() ? QStringLiteral("Help") : file_.title());
    fillContents();
    return true;
}

bool HelpWindow::showHelpContext(int context)
{
    if (!openFile())
        return false;
    const QString page = file_.pageForContext(context);
    if (page.isEmpty()) {
        showFailure(QStringLiteral("The help file %1 has no topic for help context %2").arg(fileName_).arg(context));
        return false;
    }
    browser_->setSource(HelpBrowser::urlOf(page));
    show();
    raise();
    activateWindow();
    return true;
}

QString HelpWindow::currentPage() const
{
    return browser_->source().path();
}

void HelpWindow::fillContents()
{
    contents_->clear();
    QList<QTreeWidgetItem*> parents;
    for (const HelpTopic& topic : file_.contents()) {
        const int depth = qMin(topic.depth, int(parents.size()));
        parents.resize(depth);
        auto* item = parents.isEmpty() ? new QTreeWidgetItem(contents_) : new QTreeWidgetItem(parents.last());
        item->setText(0, topic.name);
        item->setData(0, Qt::UserRole, topic.page);
        parents.append(item);
    }
    contents_->expandAll();
}

void HelpWindow::selectInContents(const QUrl& url)
{
    for (QTreeWidgetItemIterator it(contents_); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toString() == url.path()) {
            contents_->setCurrentItem(*it);
            return;
        }
}

void HelpWindow::showFailure(const QString& text)
{
    MessageBoxes::showWarning(isVisible() ? this : parentWidget(), text);
}
