// Playback costs: CPU to play a minute of MP3 against decoding it alone, the player window's
// CPU while idle, and the time from the user's double-click to the first sample. Plays in real
// time (about 75 s in all); prints figures, checks nothing.
//   bench_playback            the null output: first sample = handed to the output
//   bench_playback --device   the sound device (run it on a private server:
//                             bench/private_pulse.sh build/bench/bench_playback --device);
//                             first sample = the server's clock says the device played it
#include "audio/deviceaudiooutput.h"
#include "audio/mp3decoder.h"
#include "audio/nullaudiooutput.h"
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
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

using namespace quorvela;
using bench::run;
using bench::spin;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The null output, noting (on its own thread) when the first sample reaches it.
class TimingOutput final : public NullAudioOutput {
public:
    explicit TimingOutput(QElapsedTimer& clock) : m_clock(clock) {}
    std::atomic<qint64> firstSampleNs{-1};

protected:
    void consume(const char*, qsizetype size) override {
        qint64 none = -1;
        if (size > 0)
            firstSampleNs.compare_exchange_strong(none, m_clock.nsecsElapsed());
    }

private:
    QElapsedTimer& m_clock;
};

// Waits until the engine's output says a sample was heard; its time on clock in ms, or -1.
double waitForFirstSample(const PlaybackEngine& engine, const TimingOutput* timing,
                          const QElapsedTimer& clock) {
    while (clock.elapsed() < 5000) {
        if (timing && timing->firstSampleNs >= 0)
            return timing->firstSampleNs / 1e6;
        if (!timing && engine.position() > 0.0)
            return clock.nsecsElapsed() / 1e6;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return -1.0;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    const bool device = argc > 1 && QByteArray(argv[1]) == "--device";
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    QApplication app(argc, argv);

    const QString music = dir.filePath(QStringLiteral("music"));
    QDir().mkpath(music);
    const QString wav = dir.filePath(QStringLiteral("minute.wav"));
    const QString mp3 = QDir(music).filePath(QStringLiteral("minute.mp3"));
    if (!run(QStringLiteral("sox"), {"-R", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth",
                                     "60", "sine", "300-3000", "vol", "0.5"}) ||
        !run(QStringLiteral("lame"), {"--quiet", "-b", "128", wav, mp3})) {
        std::fprintf(stderr, "bench_playback: sox and lame are needed to make the test file\n");
        return 1;
    }

    // Decoding alone to the 16-bit samples every output takes, pulled as fast as it goes:
    // the player's own work per sample, without any waiting. Best of three.
    double decodeCpu = 1e9;
    qint64 decodedFrames = 0;
    for (int round = 0; round < 3; ++round) {
        const double start = cpuSeconds();
        Mp3Decoder decoder;
        if (!decoder.open(mp3))
            return 1;
        decodedFrames = 0;
        QByteArray buffer(44100, '\0');
        for (qsizetype got = 0; (got = decoder.read(buffer.data(), buffer.size())) > 0;)
            decodedFrames += got / 4;
        decodeCpu = std::min(decodeCpu, cpuSeconds() - start);
    }
    std::printf("decode alone:        %.1f ms CPU for %.3f s of audio (%.0fx real time)\n",
                decodeCpu * 1e3, decodedFrames / 44100.0, decodedFrames / 44100.0 / decodeCpu);

    // The window idle, its 60 ms timer ticking.
    SettingsStore settings;
    settings.save(settings::Application, settings::Section, settings::LastFolder, music);
    DesktopDialogs dialogs;
    DesktopShell shell;
    PlaybackEngine engine(device ? std::unique_ptr<AudioOutput>(new DeviceAudioOutput)
                                 : std::make_unique<NullAudioOutput>());
    Form1 window({dialogs, shell, settings, engine});
    window.show();
    spin(500);
    constexpr int IdleMs = 10000;
    double cpu = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    spin(IdleMs);
    const double idleCpu = cpuSeconds() - cpu;
    const double idleShare = idleCpu / (wall.elapsed() / 1000.0);
    std::printf("window idle:         %.1f ms CPU in %.1f s = %.3f %% of a core\n", idleCpu * 1e3,
                wall.elapsed() / 1000.0, idleShare * 100.0);

    // From the double-click's action (the entry selected, the window's handler run) to the
    // first sample; and from open() + play() on an engine of its own.
    QElapsedTimer clock;
    std::vector<double> fromClick;
    std::vector<double> fromPlay;
    const int row = window.File1->entries().indexOf(QStringLiteral("minute.mp3"));
    window.File1->setCurrentIndex(window.File1->model()->index(row, 0));
    for (int round = 0; round < 7; ++round) {
        TimingOutput* timing = nullptr;
        if (!device) {
            auto output = std::make_unique<TimingOutput>(clock);
            timing = output.get();
            engine.setAudioOutput(std::move(output));
        }
        clock.start();
        window.playFromFolderList();
        fromClick.push_back(waitForFirstSample(engine, timing, clock));
        engine.stop();
        spin(50);

        PlaybackEngine bare(device ? std::unique_ptr<AudioOutput>(new DeviceAudioOutput)
                                   : std::make_unique<TimingOutput>(clock));
        auto* bareTiming = device ? nullptr : static_cast<TimingOutput*>(bare.audioOutput());
        if (!bare.open(mp3))
            return 1;
        // The first stream of a new output also connects to the server; time the second.
        if (device && (!bare.play() || waitForFirstSample(bare, nullptr, clock) < 0))
            return 1;
        bare.stop();
        clock.start();
        if (!bare.play())
            return 1;
        fromPlay.push_back(waitForFirstSample(bare, bareTiming, clock));
        spin(50);
    }
    std::printf("first sample:        %.2f ms from the double-click (median of 7, worst %.2f), "
                "%.2f ms from open+play, %s\n",
                median(fromClick), *std::max_element(fromClick.begin(), fromClick.end()),
                median(fromPlay), device ? "heard by the server's clock" : "handed to the output");
    engine.stop();
    spin(500);

    // A minute played in real time through the null output, by the window as the user would
    // have it: shown, its clock ticking, the player's slider moving.
    if (!device)
        engine.setAudioOutput(std::make_unique<NullAudioOutput>());
    MediaPlayer* player = window.MediaPlayer1;
    cpu = cpuSeconds();
    wall.restart();
    window.playFromFolderList();
    if (player->state() != MediaPlayer::State::Playing)
        return 1;
    QEventLoop loop;
    QObject::connect(player, &MediaPlayer::playStateChange, &loop, [&] {
        if (player->state() == MediaPlayer::State::Stopped)
            loop.quit();
    });
    loop.exec();
    const double playCpu = cpuSeconds() - cpu;
    const double playWall = wall.elapsed() / 1000.0;
    const double timerCost = idleShare * playWall;
    std::printf("window playing:      %.1f ms CPU in %.2f s wall (%.2fx decode alone)\n",
                playCpu * 1e3, playWall, playCpu / decodeCpu);
    std::printf("target:              player <= 1.5 x decode + timer = %.1f ms: %s\n",
                (1.5 * decodeCpu + timerCost) * 1e3,
                playCpu <= 1.5 * decodeCpu + timerCost ? "met" : "NOT met");
    std::printf("targets:             idle < 0.3 %%: %s; first sample < 30 ms: %s\n",
                idleShare < 0.003 ? "met" : "NOT met", median(fromClick) < 30 ? "met" : "NOT met");
    return 0;
}
