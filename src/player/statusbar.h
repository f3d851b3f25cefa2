#pragma once

#include <QStatusBar>

class QLabel;
class QTimer;

namespace quorvela {

// The player's status line: the program's name and version, today's date and the time of day.
// The date and time keep themselves current, refreshed when the minute turns.
class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    [[nodiscard]] QLabel* panel(int number) const;

private:
    void refreshClock();

    QLabel* m_panels[3] = {};
    QTimer* m_clock = nullptr;
};

} // namespace quorvela
