#include "info/helpbrowser.h"

#include "common/shell.h"

#include <QDir>
#include <QFileInfo>
#include <QPalette>
#include <QTextDocument>
#include <QUrl>

namespace quorvela {

HelpBrowser::HelpBrowser(Shell& shell, QWidget* parent) : QTextBrowser(parent), m_shell(shell) {
    // Every link comes through followLink, which decides where it opens.
    setOpenExternalLinks(false);
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &HelpBrowser::followLink);
    // The page's own colours (headings, table heads, notes) are drawn for a light page, so it
    // is shown as one, as a browser shows it, under a dark colour scheme too.
    QPalette page = palette();
    page.setColor(QPalette::Base, Qt::white);
    page.setColor(QPalette::Text, Qt::black);
    setPalette(page);
    // Links would take the scheme's link colour, pale on a dark scheme.
    document()->setDefaultStyleSheet(QStringLiteral("a { color: #1e4f9c; }"));
}

bool HelpBrowser::navigate(const QString& location) {
    if (location.isEmpty())
        return false;
    // The location may hold doubled separators (a program folder at the root gives one); a
    // file URL would read a leading pair as a host name, so the path is tidied first.
    const QString file = QDir::cleanPath(location);
    showLocalPage(file, QUrl::fromLocalFile(file));
    return true;
}

QString HelpBrowser::notFoundHtml(const QString& location) {
    return QStringLiteral("<html><body><h2>Help page not found</h2>"
                          "<p>The help page could not be opened. It was looked for here:</p>"
                          "<p><tt>%1</tt></p>"
                          "<p>Reinstalling Quorvela puts it back. Help &gt; Go to website and "
                          "Help &gt; E-mail for help still work.</p></body></html>")
        .arg(location.toHtmlEscaped());
}

void HelpBrowser::showLocalPage(const QString& file, const QUrl& url) {
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable()) {
        setHtml(notFoundHtml(file));
        return;
    }
    setSource(url);
}

void HelpBrowser::followLink(const QUrl& url) {
    if (url.isLocalFile() || url.scheme().isEmpty()) {
        // A link within the current page only moves to its anchor.
        if (url.adjusted(QUrl::RemoveFragment) == source().adjusted(QUrl::RemoveFragment)) {
            setSource(url);
            return;
        }
        showLocalPage(url.toLocalFile(), url);
        return;
    }
    m_shell.openUrl(url);
}

} // namespace quorvela
