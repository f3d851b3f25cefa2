#include "audio/reportqueue.h"

#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace quorvela {

ReportQueue::ReportQueue(QObject* parent)
    : QObject(parent), m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (m_wakeFd < 0)
        qFatal("Quorvela: no eventfd for the sound thread's reports");
    m_wake = new QSocketNotifier(m_wakeFd, QSocketNotifier::Read, this);
    connect(m_wake, &QSocketNotifier::activated, this, &ReportQueue::deliver);
}

ReportQueue::~ReportQueue() {
    *m_alive = false;
    delete m_wake;
    ::close(m_wakeFd);
}

void ReportQueue::post(std::function<void()> work) {
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(work));
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

void ReportQueue::deliver() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(m_wakeFd, &count, sizeof count);
    // Woken inside a function of its own that runs an event loop: the outer delivery takes
    // what came meanwhile once that function is done.
    if (m_delivering)
        return;
    m_delivering = true;
    const std::shared_ptr<bool> alive = m_alive;
    for (;;) {
        std::vector<std::function<void()>> work;
        {
            const std::lock_guard lock(m_mutex);
            work.swap(m_queue);
        }
        if (work.empty())
            break;
        for (const auto& run : work) {
            run();
            if (!*alive)
                return;
        }
    }
    m_delivering = false;
}

} // namespace quorvela
