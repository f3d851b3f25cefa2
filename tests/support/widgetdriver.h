#pragma once

class QAbstractItemView;

namespace quorvela::test {

// Double-clicks a row as a person would: Qt 6.4 needs the click before the double-click for a
// list to report it.
void doubleClickRow(QAbstractItemView* view, int row);

} // namespace quorvela::test
