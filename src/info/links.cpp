#include "info/links.h"

#include "common/dialogs.h"
#include "common/shell.h"

#include <QUrl>

namespace quorvela {

QString webSiteAddress() {
    return QStringLiteral(QUORVELA_WEBSITE);
}

QString mailAddressAndSubject() {
    return QStringLiteral(QUORVELA_EMAIL "?subject=Quorvela");
}

void OpenWebSite(Shell& shell, Dialogs& dialogs, QWidget* parent) {
    if (shell.openUrl(QUrl(webSiteAddress())))
        return;
    dialogs.message(parent,
                    QStringLiteral("The web site %1 could not be opened: no program to open "
                                   "web pages was found.")
                        .arg(webSiteAddress()),
                    QStringLiteral("Quorvela"), Dialogs::Icon::Critical);
}

void OpenMailLink(Shell& shell, Dialogs& dialogs, QWidget* parent) {
    if (shell.openUrl(QUrl(QStringLiteral("mailto:") + mailAddressAndSubject())))
        return;
    dialogs.message(parent,
                    QStringLiteral("An e-mail to %1 could not be started: no e-mail program "
                                   "was found.")
                        .arg(QStringLiteral(QUORVELA_EMAIL)),
                    QStringLiteral("Quorvela"), Dialogs::Icon::Critical);
}

} // namespace quorvela
