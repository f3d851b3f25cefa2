#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QSocketNotifier;

namespace quorvela {

// Carries work from other threads to the thread that owns the queue: post() from anywhere,
// and each posted function runs there, from the event loop. Through a plain mutex and an
// eventfd rather than Qt's queued calls, so that no Qt object is touched off its thread and the
// thread sanitizer sees every hand-over. What is still queued when the queue goes is dropped;
// posting then is the poster's fault, so stop posting threads first.
//
// The order: functions run one at a time, each to its end, in the order they were posted.
// One that runs a nested event loop (a modal box) holds back every later one until it
// returns; so a function that waits on the user should leave that part to a queued call.
class ReportQueue final : public QObject {
    Q_OBJECT
public:
    explicit ReportQueue(QObject* parent = nullptr);
    ~ReportQueue() override;
    ReportQueue(const ReportQueue&) = delete;
    ReportQueue& operator=(const ReportQueue&) = delete;

    void post(std::function<void()> work);

private:
    void deliver();

    std::mutex m_mutex;
    std::vector<std::function<void()>> m_queue;
    int m_wakeFd = -1;
    QSocketNotifier* m_wake = nullptr;
    bool m_delivering = false;
    // Cleared when the queue goes, which a delivered function may make happen.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace quorvela
