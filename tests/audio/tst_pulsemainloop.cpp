#include "audio/pulsemainloop.h"

#include <QtTest>

#include <unistd.h>

using namespace quorvela;

namespace {

// One end of a pipe watched through libpulse's interface, as libpulse watches its socket.
struct WatchedPipe {
    int fds[2] = {-1, -1};
    int reads = 0;
    pa_io_event* event = nullptr;

    explicit WatchedPipe(PulseMainloop& loop) {
        if (pipe(fds) != 0)
            return;
        event = loop.api()->io_new(
            loop.api(), fds[0], PA_IO_EVENT_INPUT,
            [](pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* self) {
                char byte = 0;
                if (read(fd, &byte, 1) == 1)
                    ++static_cast<WatchedPipe*>(self)->reads;
            },
            this);
    }
    ~WatchedPipe() {
        close(fds[0]);
        close(fds[1]);
    }
    WatchedPipe(const WatchedPipe&) = delete;
    WatchedPipe& operator=(const WatchedPipe&) = delete;

    void send() { QCOMPARE(write(fds[1], "x", 1), 1); }
};

} // namespace

class tst_PulseMainloop : public QObject {
    Q_OBJECT
private slots:
    // Read lazily, a message waits for the loop's next wake, whatever woke it, and is read
    // even when nothing else wakes the loop at all. Either path lost leaves the sound
    // server's requests unanswered and the stream runs dry.
    void lazyReadsStillArrive() {
        PulseMainloop loop;
        WatchedPipe pipe(loop);
        QVERIFY(pipe.event);

        pipe.send();
        QTRY_COMPARE_WITH_TIMEOUT(pipe.reads, 1, 1000);

        loop.setLazyReads(true);
        pipe.send();
        QTRY_COMPARE_WITH_TIMEOUT(pipe.reads, 2, 20 * PulseMainloop::LazyReadMs);

        pipe.send();
        bool other = false;
        QMetaObject::invokeMethod(
            &loop, [&other] { other = true; }, Qt::QueuedConnection);
        while (!other)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCOMPARE(pipe.reads, 3);

        loop.setLazyReads(false);
        pipe.send();
        QTRY_COMPARE_WITH_TIMEOUT(pipe.reads, 4, 1000);
        loop.api()->io_free(pipe.event);
    }
};

QTEST_GUILESS_MAIN(tst_PulseMainloop)
#include "tst_pulsemainloop.moc"
