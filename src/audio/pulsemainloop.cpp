#include "audio/pulsemainloop.h"

#include <QAbstractEventDispatcher>
#include <QDeadlineTimer>
#include <QSocketNotifier>

#include <poll.h>
#include <sys/time.h>
#include <time.h>

#include <algorithm>
#include <limits>

// libpulse declares these types and leaves their contents to the main loop.
struct pa_io_event {
    quorvela::PulseMainloop* loop = nullptr;
    int fd = -1;
    pa_io_event_flags_t events = PA_IO_EVENT_NULL;
    pa_io_event_cb_t callback = nullptr;
    pa_io_event_destroy_cb_t destroy = nullptr;
    void* userdata = nullptr;
    std::unique_ptr<QSocketNotifier> reader;
    std::unique_ptr<QSocketNotifier> writer;
    bool dead = false;
};

struct pa_time_event {
    quorvela::PulseMainloop* loop = nullptr;
    pa_time_event_cb_t callback = nullptr;
    pa_time_event_destroy_cb_t destroy = nullptr;
    void* userdata = nullptr;
    struct timeval when {}; // as libpulse gave it, handed back to the callback
    qint64 dueNs = -1;      // on the monotonic clock; -1 when not armed
    QTimer timer;
    bool dead = false;
};

struct pa_defer_event {
    quorvela::PulseMainloop* loop = nullptr;
    pa_defer_event_cb_t callback = nullptr;
    pa_defer_event_destroy_cb_t destroy = nullptr;
    void* userdata = nullptr;
    bool enabled = false;
    bool dead = false;
};

namespace quorvela {

namespace {

// libpulse marks a time given on the monotonic clock with this bit in tv_usec; a time without
// it is on the wall clock.
constexpr suseconds_t MonotonicFlag = suseconds_t(1) << 30;

qint64 monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The monotonic time at which libpulse's timeval falls due.
qint64 dueNsOf(const struct timeval& when) {
    if (when.tv_usec & MonotonicFlag)
        return qint64(when.tv_sec) * 1'000'000'000 + qint64(when.tv_usec & ~MonotonicFlag) * 1000;
    timeval wall{};
    gettimeofday(&wall, nullptr);
    const qint64 fromNowNs = (qint64(when.tv_sec) - wall.tv_sec) * 1'000'000'000 +
                             (qint64(when.tv_usec) - wall.tv_usec) * 1000;
    return monotonicNs() + fromNowNs;
}

PulseMainloop* loopOf(pa_mainloop_api* api) {
    return static_cast<PulseMainloop*>(api->userdata);
}

} // namespace

PulseMainloop::PulseMainloop(QObject* parent) : QObject(parent) {
    m_api.userdata = this;
    m_api.io_new = &PulseMainloop::ioNew;
    m_api.io_enable = &PulseMainloop::ioEnable;
    m_api.io_free = &PulseMainloop::ioFree;
    m_api.io_set_destroy = &PulseMainloop::ioSetDestroy;
    m_api.time_new = &PulseMainloop::timeNew;
    m_api.time_restart = &PulseMainloop::timeRestart;
    m_api.time_free = &PulseMainloop::timeFree;
    m_api.time_set_destroy = &PulseMainloop::timeSetDestroy;
    m_api.defer_new = &PulseMainloop::deferNew;
    m_api.defer_enable = &PulseMainloop::deferEnable;
    m_api.defer_free = &PulseMainloop::deferFree;
    m_api.defer_set_destroy = &PulseMainloop::deferSetDestroy;
    m_api.quit = &PulseMainloop::quit;
    // A defer event runs on every pass of the loop while it is enabled.
    m_deferTimer.setInterval(0);
    connect(&m_deferTimer, &QTimer::timeout, this, &PulseMainloop::dispatchDefers);
    m_lazyTimer.setSingleShot(true);
    m_lazyTimer.setInterval(LazyReadMs);
    connect(&m_lazyTimer, &QTimer::timeout, this, &PulseMainloop::readLazily);
}

PulseMainloop::~PulseMainloop() = default;

template <typename Event> void PulseMainloop::release(Event* event) {
    event->dead = true;
    if (event->destroy)
        event->destroy(&m_api, event, event->userdata);
    // Deleted at once only outside every callback: one of them may still hold the event.
    m_haveGarbage = true;
    if (m_dispatchDepth == 0)
        collectGarbage();
}

// ---- I/O events

pa_io_event* PulseMainloop::ioNew(pa_mainloop_api* api, int fd, pa_io_event_flags_t events,
                                  pa_io_event_cb_t callback, void* userdata) {
    PulseMainloop* loop = loopOf(api);
    auto event = std::make_unique<pa_io_event>();
    event->loop = loop;
    event->fd = fd;
    event->callback = callback;
    event->userdata = userdata;
    pa_io_event* e = event.get();
    event->reader = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    event->writer = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    connect(event->reader.get(), &QSocketNotifier::activated, loop,
            [loop, e] { loop->dispatchIo(e, PA_IO_EVENT_INPUT); });
    connect(event->writer.get(), &QSocketNotifier::activated, loop,
            [loop, e] { loop->dispatchIo(e, PA_IO_EVENT_OUTPUT); });
    loop->m_ios.push_back(std::move(event));
    ioEnable(e, events);
    return e;
}

void PulseMainloop::ioEnable(pa_io_event* event, pa_io_event_flags_t events) {
    if (event->dead)
        return;
    event->events = events;
    event->reader->setEnabled((events & PA_IO_EVENT_INPUT) != 0 && !event->loop->m_lazyReads);
    event->writer->setEnabled((events & PA_IO_EVENT_OUTPUT) != 0);
}

void PulseMainloop::ioFree(pa_io_event* event) {
    if (event->dead)
        return;
    event->reader->setEnabled(false);
    event->writer->setEnabled(false);
    event->loop->release(event);
}

void PulseMainloop::ioSetDestroy(pa_io_event* event, pa_io_event_destroy_cb_t callback) {
    event->destroy = callback;
}

void PulseMainloop::dispatchIo(pa_io_event* event, pa_io_event_flags_t flags) {
    if (event->dead || !(event->events & flags))
        return;
    enterDispatch();
    event->callback(&m_api, event, event->fd, flags, event->userdata);
    leaveDispatch();
}

// ---- time events

pa_time_event* PulseMainloop::timeNew(pa_mainloop_api* api, const struct timeval* when,
                                      pa_time_event_cb_t callback, void* userdata) {
    PulseMainloop* loop = loopOf(api);
    auto event = std::make_unique<pa_time_event>();
    event->loop = loop;
    event->callback = callback;
    event->userdata = userdata;
    pa_time_event* e = event.get();
    event->timer.setSingleShot(true);
    event->timer.setTimerType(Qt::PreciseTimer);
    connect(&event->timer, &QTimer::timeout, loop, [loop, e] { loop->dispatchTime(e); });
    loop->m_times.push_back(std::move(event));
    timeRestart(e, when);
    return e;
}

void PulseMainloop::timeRestart(pa_time_event* event, const struct timeval* when) {
    if (event->dead)
        return;
    if (!when) {
        event->dueNs = -1;
        event->timer.stop();
        return;
    }
    event->when = *when;
    event->dueNs = dueNsOf(*when);
    const qint64 waitMs = std::max<qint64>(0, (event->dueNs - monotonicNs() + 999'999) / 1'000'000);
    event->timer.start(static_cast<int>(std::min<qint64>(waitMs, std::numeric_limits<int>::max())));
}

void PulseMainloop::timeFree(pa_time_event* event) {
    if (event->dead)
        return;
    event->timer.stop();
    event->loop->release(event);
}

void PulseMainloop::timeSetDestroy(pa_time_event* event, pa_time_event_destroy_cb_t callback) {
    event->destroy = callback;
}

void PulseMainloop::dispatchTime(pa_time_event* event) {
    if (event->dead || event->dueNs < 0)
        return;
    event->dueNs = -1;
    event->timer.stop();
    enterDispatch();
    event->callback(&m_api, event, &event->when, event->userdata);
    leaveDispatch();
}

// ---- defer events

pa_defer_event* PulseMainloop::deferNew(pa_mainloop_api* api, pa_defer_event_cb_t callback,
                                        void* userdata) {
    PulseMainloop* loop = loopOf(api);
    auto event = std::make_unique<pa_defer_event>();
    event->loop = loop;
    event->callback = callback;
    event->userdata = userdata;
    event->enabled = true;
    pa_defer_event* e = event.get();
    loop->m_defers.push_back(std::move(event));
    loop->updateDeferTimer();
    return e;
}

void PulseMainloop::deferEnable(pa_defer_event* event, int enabled) {
    if (event->dead)
        return;
    event->enabled = enabled != 0;
    event->loop->updateDeferTimer();
}

void PulseMainloop::deferFree(pa_defer_event* event) {
    if (event->dead)
        return;
    event->enabled = false;
    PulseMainloop* loop = event->loop; // release() may delete the event
    loop->release(event);
    loop->updateDeferTimer();
}

void PulseMainloop::deferSetDestroy(pa_defer_event* event, pa_defer_event_destroy_cb_t callback) {
    event->destroy = callback;
}

void PulseMainloop::updateDeferTimer() {
    // Inside a callback the defer events run before it returns; no timer is needed then.
    const bool any = m_dispatchDepth == 0 && anyDeferEnabled();
    if (any && !m_deferTimer.isActive())
        m_deferTimer.start();
    else if (!any)
        m_deferTimer.stop();
}

void PulseMainloop::dispatchDefers() {
    enterDispatch();
    runDefers();
    leaveDispatch();
}

void PulseMainloop::runDefers() {
    // A callback may add or free events: walk a snapshot, skipping what died meanwhile.
    std::vector<pa_defer_event*> now;
    for (const auto& e : m_defers)
        if (e->enabled && !e->dead)
            now.push_back(e.get());
    for (pa_defer_event* e : now)
        if (e->enabled && !e->dead)
            e->callback(&m_api, e, e->userdata);
}

void PulseMainloop::quit(pa_mainloop_api*, int) {
    // The program's own event loop decides when to end, not the sound library.
}

// ---- bookkeeping

void PulseMainloop::leaveDispatch() {
    if (m_dispatchDepth == 1 && !m_inDefers) {
        // What a callback queued (libpulse sends and parses through defer events) runs in
        // this same pass of the event loop rather than costing the program another wake-up.
        m_inDefers = true;
        for (int round = 0; round < 8 && anyDeferEnabled(); ++round)
            runDefers();
        m_inDefers = false;
    }
    if (--m_dispatchDepth == 0 && m_haveGarbage)
        collectGarbage();
    if (m_dispatchDepth == 0)
        updateDeferTimer();
}

bool PulseMainloop::anyDeferEnabled() const {
    return std::any_of(m_defers.begin(), m_defers.end(),
                       [](const auto& e) { return e->enabled && !e->dead; });
}

void PulseMainloop::collectGarbage() {
    m_haveGarbage = false;
    std::erase_if(m_ios, [](const auto& e) { return e->dead; });
    std::erase_if(m_times, [](const auto& e) { return e->dead; });
    std::erase_if(m_defers, [](const auto& e) { return e->dead; });
}

bool PulseMainloop::runUntil(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        if (anyDeferEnabled()) {
            dispatchDefers();
            continue;
        }
        qint64 waitNs = deadline.remainingTimeNSecs();
        const qint64 now = monotonicNs();
        for (const auto& e : m_times)
            if (!e->dead && e->dueNs >= 0)
                waitNs = std::min(waitNs, std::max<qint64>(0, e->dueNs - now));
        const int waitMs = static_cast<int>((waitNs + 999'999) / 1'000'000);
        enterDispatch();
        const bool polled = serviceDescriptors(waitMs, false);
        if (!polled) {
            leaveDispatch();
            return false;
        }
        const qint64 after = monotonicNs();
        std::vector<pa_time_event*> due;
        for (const auto& e : m_times)
            if (!e->dead && e->dueNs >= 0 && e->dueNs <= after)
                due.push_back(e.get());
        for (pa_time_event* e : due)
            dispatchTime(e);
        leaveDispatch();
    }
    return true;
}

bool PulseMainloop::serviceDescriptors(int waitMs, bool inputOnly) {
    std::vector<pollfd> fds;
    std::vector<pa_io_event*> polled;
    for (const auto& e : m_ios) {
        short wanted = 0;
        if (e->events & PA_IO_EVENT_INPUT)
            wanted |= POLLIN;
        if ((e->events & PA_IO_EVENT_OUTPUT) && !inputOnly)
            wanted |= POLLOUT;
        if (e->dead || wanted == 0)
            continue;
        fds.push_back({e->fd, wanted, 0});
        polled.push_back(e.get());
    }
    if (poll(fds.data(), fds.size(), waitMs) < 0 && errno != EINTR)
        return false;
    for (std::size_t i = 0; i < fds.size(); ++i) {
        pa_io_event* e = polled[i];
        const short got = fds[i].revents;
        if (got == 0 || e->dead)
            continue;
        int flags = PA_IO_EVENT_NULL;
        if (got & POLLIN)
            flags |= PA_IO_EVENT_INPUT;
        if (got & POLLOUT)
            flags |= PA_IO_EVENT_OUTPUT;
        if (got & POLLHUP)
            flags |= PA_IO_EVENT_HANGUP;
        if (got & (POLLERR | POLLNVAL))
            flags |= PA_IO_EVENT_ERROR;
        e->callback(&m_api, e, e->fd, static_cast<pa_io_event_flags_t>(flags), e->userdata);
    }
    return true;
}

// ---- lazy reading

void PulseMainloop::setLazyReads(bool on) {
    if (on == m_lazyReads)
        return;
    m_lazyReads = on;
    for (const auto& e : m_ios)
        if (!e->dead)
            e->reader->setEnabled((e->events & PA_IO_EVENT_INPUT) != 0 && !on);
    if (on) {
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
            m_lazyWake = connect(dispatcher, &QAbstractEventDispatcher::awake, this,
                                 &PulseMainloop::readLazily);
        m_lazyTimer.start();
    } else {
        disconnect(m_lazyWake);
        m_lazyTimer.stop();
    }
}

void PulseMainloop::readLazily() {
    if (!m_lazyReads || m_dispatchDepth > 0)
        return;
    // The wake that brought us here may have been this timer or anything else; either way
    // the next look is due a full interval from now.
    m_lazyTimer.start();
    enterDispatch();
    serviceDescriptors(0, true);
    leaveDispatch();
}

} // namespace quorvela
