#include "info/links.h"

#include "common/shell.h"

#include <QUrl>

namespace quorvela {

QString webSiteAddress() {
    return QStringLiteral(QUORVELA_WEBSITE);
}

QString mailAddressAndSubject() {
    return QStringLiteral(QUORVELA_EMAIL "?subject=Quorvela");
}

void OpenWebSite(Shell& shell) {
    shell.openUrl(QUrl(webSiteAddress()));
}

void OpenMailLink(Shell& shell) {
    shell.openUrl(QUrl(QStringLiteral("mailto:") + mailAddressAndSubject()));
}

} // namespace quorvela
