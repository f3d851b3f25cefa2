#pragma once

#include <QTextBrowser>

namespace quorvela {

class Shell;

// The browser of the Help window. Pages on disk open in place; links to the web and e-mail
// addresses go to the user's own programs.
class HelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpBrowser(Shell& shell, QWidget* parent = nullptr);

    // Shows the page at location, a local file path. A page that is not there is reported
    // inside the browser, not as a failure; false means the request could not be made at all.
    [[nodiscard]] virtual bool navigate(const QString& location);

    // What the browser shows for a page it cannot find.
    [[nodiscard]] static QString notFoundHtml(const QString& location);

private:
    void followLink(const QUrl& url);
    void showLocalPage(const QString& file, const QUrl& url);

    Shell& m_shell;
};

} // namespace quorvela
