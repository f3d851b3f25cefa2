#include "player/statusbar.h"

#include "common/shownvalue.h"
#include "common/twips.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QSizeGrip>
#include <QTimer>

namespace quorvela {

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent), m_clock(new QTimer(this)) {
    setSizeGripEnabled(true);
    if (auto* grip = findChild<QSizeGrip*>())
        grip->setAccessibleName(QStringLiteral("Resize the window"));
    struct Panel {
        const char* name;
        int widthTwips;
    };
    constexpr Panel panels[] = {{"Panel1", 1260}, {"Panel2", 1440}, {"Panel3", 1440}};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromUtf8(panels[i].name));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setContentsMargins(2, 0, 2, 0);
        // Panels are at least as wide as designed; the desktop's font may need more room.
        label->setMinimumWidth(twipsToPixels(panels[i].widthTwips));
        addWidget(label);
        m_panels[i] = label;
    }
    m_panels[0]->setText(QStringLiteral("Quorvela v1.00"));
    setShownValueName(m_panels[1], QStringLiteral("Date"));
    setShownValueName(m_panels[2], QStringLiteral("Time"));

    m_clock->setSingleShot(true);
    m_clock->setTimerType(Qt::CoarseTimer);
    connect(m_clock, &QTimer::timeout, this, &StatusBar::refreshClock);
    refreshClock();
}

QLabel* StatusBar::panel(int number) const {
    return number >= 1 && number <= 3 ? m_panels[number - 1] : nullptr;
}

void StatusBar::refreshClock() {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    showValue(m_panels[1], locale.toString(now.date(), QLocale::ShortFormat));
    // The clock shows hours and minutes only, so it needs waking once a minute.
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    timeFormat.remove(QStringLiteral(":ss"));
    showValue(m_panels[2], locale.toString(now.time(), timeFormat));
    // Wake again just after the next minute begins.
    const int msIntoMinute = now.time().second() * 1000 + now.time().msec();
    m_clock->start(60'000 - msIntoMinute + 50);
}

} // namespace quorvela
