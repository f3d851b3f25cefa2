#include "info/form3.h"

#include "common/dialogs.h"
#include "common/resources.h"
#include "common/twips.h"
#include "info/helpbrowser.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>
#include <QResizeEvent>

namespace quorvela {

namespace {

constexpr QSize ClientArea = twipsSize(6945, 5445);
constexpr QRect BrowserDesign = twipsRect(0, 0, 6975, 5415);

QStringList& folderOverride() {
    static QStringList folders;
    return folders;
}

Form3::BrowserFactory& factoryOverride() {
    static Form3::BrowserFactory factory;
    return factory;
}

} // namespace

QStringList Form3::helpFolders() {
    if (!folderOverride().isEmpty())
        return folderOverride();
    return {QCoreApplication::applicationDirPath(), QStringLiteral(QUORVELA_DATADIR)};
}

void Form3::setHelpFolders(const QStringList& folders) {
    folderOverride() = folders;
}

void Form3::setBrowserFactory(BrowserFactory factory) {
    factoryOverride() = std::move(factory);
}

QString Form3::helpPageLocation() {
    QStringList candidates;
    for (const QString& folder : helpFolders())
        candidates.append(folder + QLatin1Char('/') + QLatin1String(HelpFileName));
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return candidates.value(0);
}

Form3::Form3(Services services, QWidget* parent) : QWidget(parent), m_services(services) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Help"));
    setWindowIcon(helpIcon());
    resize(ClientArea);

    WebBrowser1 = factoryOverride() ? factoryOverride()(m_services.shell, this)
                                    : new HelpBrowser(m_services.shell, this);
    if (!WebBrowser1) {
        m_services.dialogs.message(
            nullptr,
            QStringLiteral("You need Qt Widgets 6.4 or above to use help! Try e-mailing me"),
            QStringLiteral("Error!"), Dialogs::Icon::Critical);
        return;
    }
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setGeometry(BrowserDesign);
    loadHelpPage();
}

void Form3::loadHelpPage() {
    if (!WebBrowser1->navigate(helpPageLocation()))
        m_services.dialogs.message(this, QStringLiteral("Error!"), QStringLiteral("Error!"),
                                   Dialogs::Icon::Critical);
}

void Form3::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (WebBrowser1)
        WebBrowser1->setGeometry(0, 0, width(), height());
}

void Form3::setVisible(bool visible) {
    // A window without its browser has been reported already; it goes away instead of
    // showing empty, and the next Help command tries again.
    if (visible && creationFailed()) {
        if (testAttribute(Qt::WA_DeleteOnClose))
            deleteLater();
        return;
    }
    QWidget::setVisible(visible);
}

} // namespace quorvela
