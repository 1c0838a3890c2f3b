#pragma once

#include "shell/HelpFile.h"

#include <QTextBrowser>
#include <QWidget>

class QTreeWidget;

// Shows the pages of a help file: links and images are read from the file itself.
class HelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    HelpBrowser(const HelpFile& file, QWidget* parent);

    static QUrl urlOf(const QString& page);

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    const HelpFile& file_;
};

// The help window: the file's table of contents beside the page of the chosen topic.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    HelpWindow(QString helpFileName, QWidget* owner);

    // Shows the page of a help context. A missing or damaged file, or a context that the file
    // does not map, is told in a message box and leaves the window as it was.
    bool showHelpContext(int context);

    // The page on show, as a path inside the help file.
    QString currentPage() const;

private:
    bool openFile();
    void fillContents();
    void selectInContents(const QUrl& url);
    void showFailure(const QString& text);

    QString fileName_;
    HelpFile file_;
    QTreeWidget* contents_ = nullptr;
    HelpBrowser* browser_ = nullptr;
};
