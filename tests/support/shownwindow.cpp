#include "support/shownwindow.h"

#include "widgets/filelistbox.h"
#include "settings/settingskeys.h"

#include <QTest>

namespace quorvela::test {

QString ShownWindow::open(const QString& folder, const QString& name) {
    m_environment.store(settings::LastFolder, folder);
    m_window = std::make_unique<Form1>(m_environment.services());
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        return QStringLiteral("the window was never shown");
    if (!m_window->File1->entries().contains(name))
        return QStringLiteral("%1 is not listed in %2").arg(name, folder);
    return {};
}

} // namespace quorvela::test
