// Memory over a long session: switches between three tracks many times by double-clicking
// them in the real window, as a listener would, and prints how much resident memory (and
// heap in use) each switch leaves behind, and the peak. Prints figures, checks nothing.
//
//   bench_memory [SWITCHES] [--device] [--warmup N] [--interval MS] [--settle S]
//
// SWITCHES (default 2000) are counted after a warm-up of 100. The null output plays by
// default; --device plays to the default sound device instead (run it on a private sound
// server: bench/private_pulse.sh bench_memory --device). --interval is how long each track
// plays before the next double-click (default 10 ms). --settle idles that long after the
// warm-up and again at the end before the figures are taken (default 0, 32 s for the device).
#include "audio/playbackengine.h"
#include "benchtools.h"
#include "common/dialogs.h"
#include "common/shell.h"
#include "player/form1.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"
#include "widgets/filelistbox.h"
#include "widgets/mediaplayer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>

using namespace quorvela;
using bench::run;
using bench::spin;

namespace {

struct Memory {
    long residentKb = -1;
    long peakKb = -1;
};

Memory memory() {
    Memory m;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return m;
    for (const QByteArray& line : status.readAll().split('\n')) {
        auto value = [&](int skip) { return line.mid(skip).trimmed().split(' ').first().toLong(); };
        if (line.startsWith("VmRSS:"))
            m.residentKb = value(6);
        else if (line.startsWith("VmHWM:"))
            m.peakKb = value(6);
    }
    return m;
}

// Bytes the program holds from malloc, summed over every arena: unlike the resident size it
// does not depend on when the allocator gives pages back.
double heapInUseKb() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd) / 1024.0;
}

// Counts the window's messages instead of showing them: a modal box would stop the run.
class CountingDialogs final : public Dialogs {
public:
    int messages = 0;
    using Dialogs::message;
    void message(QWidget*, const QString&, const QString&, Icon, const QString&) override {
        ++messages;
    }
    QString chooseFolder(QWidget*, const QString&) override { return {}; }
    QString openFile(QWidget*, const QString&) override { return {}; }
    QString saveFile(QWidget*, const QString&, const QString&) override { return {}; }
    std::optional<QColor> chooseColor(QWidget*, const QColor&) override { return std::nullopt; }
};

void doubleClickRow(FileListBox* list, int row) {
    const QModelIndex index = list->model()->index(row, 0);
    const QPoint at = list->visualRect(index).center();
    // A list view needs the press of a first click before it takes a double-click.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
}

int usage() {
    std::fprintf(stderr, "usage: bench_memory [SWITCHES] [--device] [--warmup N] [--interval MS] "
                         "[--settle S]\n");
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    int switches = 2000;
    int warmup = 100;
    int intervalMs = 10;
    // libpulse keeps the request of each stopped stream's drain until its 30 s reply timeout
    // (the server drops the answer once the stream is gone): the device's figures are taken
    // after that much idle time too.
    int settleS = -1;
    bool device = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        bool ok = true;
        if (arg == "--device")
            device = true;
        else if (arg == "--warmup" && i + 1 < argc)
            warmup = QByteArray(argv[++i]).toInt(&ok);
        else if (arg == "--interval" && i + 1 < argc)
            intervalMs = QByteArray(argv[++i]).toInt(&ok);
        else if (arg == "--settle" && i + 1 < argc)
            settleS = QByteArray(argv[++i]).toInt(&ok);
        else
            switches = arg.toInt(&ok);
        if (!ok || switches <= 0 || warmup < 0 || intervalMs < 0 || settleS < -1)
            return usage();
    }
    if (settleS < 0)
        settleS = device ? 32 : 0;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (device)
        qunsetenv("QUORVELA_AUDIO_OUTPUT");
    else
        qputenv("QUORVELA_AUDIO_OUTPUT", "null");
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    QApplication app(argc, argv);

    const QString music = dir.filePath(QStringLiteral("music"));
    QDir().mkpath(music);
    const QString wav = dir.filePath(QStringLiteral("tone.wav"));
    for (int track = 0; track < 3; ++track) {
        const QString mp3 = QDir(music).filePath(QStringLiteral("track %1.mp3").arg(track + 1));
        if (!run(QStringLiteral("sox"),
                 {"-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "5", "sine",
                  QString::number(330 * (track + 1)), "vol", "0.5"}) ||
            !run(QStringLiteral("lame"), {"--quiet", "-b", "128", wav, mp3})) {
            std::fprintf(stderr, "bench_memory: sox and lame are needed to make the tracks\n");
            return 1;
        }
    }

    SettingsStore settings;
    settings.save(settings::Application, settings::Section, settings::LastFolder, music);
    CountingDialogs dialogs;
    DesktopShell shell;
    PlaybackEngine engine;
    Form1 window({dialogs, shell, settings, engine});
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || window.File1->count() != 3) {
        std::fprintf(stderr, "bench_memory: the window did not list the three tracks\n");
        return 1;
    }
    spin(200);

    int next = 0;
    auto play = [&](int count) {
        for (int i = 0; i < count; ++i) {
            doubleClickRow(window.File1, next++ % 3);
            spin(intervalMs);
        }
    };
    std::printf("output %s, %d ms per track, warm-up %d switches, settling %d s\n",
                device ? "sound device" : "null", intervalMs, warmup, settleS);
    play(warmup);
    spin(settleS * 1000);
    const Memory before = memory();
    const double heapBefore = heapInUseKb();
    QElapsedTimer clock;
    clock.start();
    const int step = std::max(1, switches / 4);
    for (int done = 0; done < switches;) {
        const int count = std::min(step, switches - done);
        play(count);
        done += count;
        const Memory now = memory();
        std::printf("  after %5d switches: RSS %7.1f MiB   heap in use %7.1f MiB\n", done,
                    now.residentKb / 1024.0, heapInUseKb() / 1024.0);
        std::fflush(stdout);
    }
    if (dialogs.messages > 0 || window.MediaPlayer1->state() != MediaPlayer::State::Playing) {
        std::fprintf(stderr, "bench_memory: playing failed (%d messages): %s\n", dialogs.messages,
                     qPrintable(window.MediaPlayer1->errorString()));
        return 1;
    }
    std::printf("%d switches in %.1f s\n", switches, clock.elapsed() / 1000.0);
    auto report = [&](const char* when) {
        const Memory now = memory();
        const double heap = heapInUseKb();
        std::printf("%s:\n", when);
        std::printf("  RSS          %.1f -> %.1f MiB   %+.3f KiB per switch\n",
                    before.residentKb / 1024.0, now.residentKb / 1024.0,
                    static_cast<double>(now.residentKb - before.residentKb) / switches);
        std::printf("  heap in use  %.1f -> %.1f MiB   %+.3f KiB per switch\n", heapBefore / 1024.0,
                    heap / 1024.0, (heap - heapBefore) / switches);
    };
    report("right after the last switch");
    if (settleS > 0) {
        spin(settleS * 1000);
        report(qPrintable(QStringLiteral("after %1 s more").arg(settleS)));
    }
    std::printf("peak RSS       %.1f MiB\n", memory().peakKb / 1024.0);
    return 0;
}
