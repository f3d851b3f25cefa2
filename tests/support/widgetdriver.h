#pragma once

class QAbstractItemView;

namespace quorvela {
class Form1;
}

namespace quorvela::test {

// Waits until the window has read and listed every playlist it was asked to load (they are
// read off its thread); false after 10 s.
[[nodiscard]] bool waitForLoads(const Form1& window);

// Double-clicks a row as a person would: Qt 6.4 needs the click before the double-click for a
// list to report it.
void doubleClickRow(QAbstractItemView* view, int row);

} // namespace quorvela::test
