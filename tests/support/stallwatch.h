#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

namespace quorvela::test {

// Measures the longest time the event loop went without serving a 10 ms timer, since it was
// made: how long a window would have stood still.
class StallWatch {
public:
    StallWatch() {
        QObject::connect(&m_ticker, &QTimer::timeout,
                         [this] { m_longestMs = std::max(m_longestMs, m_sinceTick.restart()); });
        m_sinceTick.start();
        m_ticker.start(10);
    }
    [[nodiscard]] qint64 longestMs() const { return m_longestMs; }

private:
    QTimer m_ticker;
    QElapsedTimer m_sinceTick;
    qint64 m_longestMs = 0;
};

} // namespace quorvela::test
