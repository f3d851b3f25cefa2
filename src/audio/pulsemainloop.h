#pragma once

#include <pulse/mainloop-api.h>

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace quorvela {

// libpulse's main loop interface served by Qt's event loop on the thread that owns this
// object: file descriptors through QSocketNotifier, timers through QTimer. Every libpulse
// callback then runs on that thread between other events, so the sound device's requests for
// samples need no lock and no thread of their own.
//
// Destroy it only after every context made on it was released.
class PulseMainloop final : public QObject {
    Q_OBJECT
public:
    explicit PulseMainloop(QObject* parent = nullptr);
    ~PulseMainloop() override;
    PulseMainloop(const PulseMainloop&) = delete;
    PulseMainloop& operator=(const PulseMainloop&) = delete;

    [[nodiscard]] pa_mainloop_api* api() { return &m_api; }

    // Serves libpulse's events by itself, without Qt's event loop, until done() is true or
    // timeoutMs have passed; true when done() came true. For the short waits a start needs
    // (the server's answer to a connection or a new stream), where going back to the event
    // loop would let the window act in the middle of an operation.
    bool runUntil(const std::function<bool()>& done, int timeoutMs);

    // While on, what the server sends is read whenever the event loop wakes for something
    // else (the window's clock wakes it many times a second), and at the latest LazyReadMs
    // after the last look, instead of every message waking the program on its own. Only for
    // a stream that holds far more than that ahead of the device.
    void setLazyReads(bool on);
    static constexpr int LazyReadMs = 100;

private:
    static pa_io_event* ioNew(pa_mainloop_api* api, int fd, pa_io_event_flags_t events,
                              pa_io_event_cb_t callback, void* userdata);
    static void ioEnable(pa_io_event* event, pa_io_event_flags_t events);
    static void ioFree(pa_io_event* event);
    static void ioSetDestroy(pa_io_event* event, pa_io_event_destroy_cb_t callback);
    static pa_time_event* timeNew(pa_mainloop_api* api, const struct timeval* when,
                                  pa_time_event_cb_t callback, void* userdata);
    static void timeRestart(pa_time_event* event, const struct timeval* when);
    static void timeFree(pa_time_event* event);
    static void timeSetDestroy(pa_time_event* event, pa_time_event_destroy_cb_t callback);
    static pa_defer_event* deferNew(pa_mainloop_api* api, pa_defer_event_cb_t callback,
                                    void* userdata);
    static void deferEnable(pa_defer_event* event, int enabled);
    static void deferFree(pa_defer_event* event);
    static void deferSetDestroy(pa_defer_event* event, pa_defer_event_destroy_cb_t callback);
    static void quit(pa_mainloop_api* api, int retval);

    void dispatchIo(pa_io_event* event, pa_io_event_flags_t flags);
    // Polls the descriptors libpulse waits on for up to waitMs and runs the callbacks of
    // those that are ready; output is left out when inputOnly. False when poll failed.
    bool serviceDescriptors(int waitMs, bool inputOnly);
    void readLazily();
    void dispatchTime(pa_time_event* event);
    void dispatchDefers();
    void runDefers();
    [[nodiscard]] bool anyDeferEnabled() const;
    void updateDeferTimer();
    // Marks a freed event dead and tells libpulse; events freed while a callback runs are
    // deleted once the outermost one has returned.
    template <typename Event> void release(Event* event);
    void enterDispatch() { ++m_dispatchDepth; }
    void leaveDispatch();
    void collectGarbage();

    pa_mainloop_api m_api{};
    std::vector<std::unique_ptr<pa_io_event>> m_ios;
    std::vector<std::unique_ptr<pa_time_event>> m_times;
    std::vector<std::unique_ptr<pa_defer_event>> m_defers;
    QTimer m_deferTimer;
    QTimer m_lazyTimer;
    QMetaObject::Connection m_lazyWake;
    bool m_lazyReads = false;
    int m_dispatchDepth = 0;
    bool m_haveGarbage = false;
    bool m_inDefers = false;
};

} // namespace quorvela
