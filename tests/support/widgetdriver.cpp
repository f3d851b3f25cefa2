#include "support/widgetdriver.h"

#include "player/form1.h"
#include "player/playlistpanel.h"

#include <QAbstractItemView>
#include <QTest>

namespace quorvela::test {

bool waitForLoads(const Form1& window) {
    const auto* panel = window.findChild<PlaylistPanel*>();
    return panel && QTest::qWaitFor([panel] { return !panel->isLoading(); }, 10000);
}

void doubleClickRow(QAbstractItemView* view, int row) {
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    const QPoint at = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
}

} // namespace quorvela::test
