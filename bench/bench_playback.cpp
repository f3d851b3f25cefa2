// Playback costs: CPU to play a minute of MP3 against decoding it alone, the player window's
// CPU while idle, and the time from the user's double-click to the first sample handed to the
// audio output. Plays in real time (about 75 s in all); prints figures, checks nothing.
#include "benchtools.h"
#include "common/dialogs.h"
#include "common/shell.h"
#include "audio/decodersource.h"
#include "widgets/filelistbox.h"
#include "widgets/mediaplayer.h"
#include "audio/mp3decoder.h"
#include "audio/nullaudiooutput.h"
#include "player/form1.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
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

// The null output, noting when the first sample reaches it.
class TimingOutput final : public NullAudioOutput {
public:
    explicit TimingOutput(QElapsedTimer& clock) : m_clock(clock) {}
    qint64 firstSampleNs = -1;

protected:
    void consume(const char* data, qint64 size) override {
        if (firstSampleNs < 0 && size > 0)
            firstSampleNs = m_clock.nsecsElapsed();
        NullAudioOutput::consume(data, size);
    }

private:
    QElapsedTimer& m_clock;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
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

    // Decoding alone, best of three.
    double decodeCpu = 1e9;
    qint64 decodedFrames = 0;
    for (int round = 0; round < 3; ++round) {
        const double start = cpuSeconds();
        Mp3Decoder decoder;
        if (!decoder.open(mp3))
            return 1;
        decodedFrames = 0;
        for (auto chunk = decoder.decodeFrame(); !chunk.empty(); chunk = decoder.decodeFrame())
            decodedFrames += static_cast<qint64>(chunk.size()) / decoder.channels();
        decodeCpu = std::min(decodeCpu, cpuSeconds() - start);
    }
    std::printf("decode alone:        %.1f ms CPU for %.3f s of audio (%.0fx real time)\n",
                decodeCpu * 1e3, decodedFrames / 44100.0, decodedFrames / 44100.0 / decodeCpu);

    // Decoding plus the conversion to what the output takes, pulled as fast as it goes: the
    // player's own work per sample, without any waiting. A device takes the file's own rate;
    // one that refuses it gets a high-quality conversion to its own.
    auto pipeline = [&](int rate) {
        double best = 1e9;
        for (int round = 0; round < 3; ++round) {
            const double start = cpuSeconds();
            Mp3Decoder decoder;
            if (!decoder.open(mp3))
                return -1.0;
            AudioFormat format;
            format.setSampleRate(rate);
            format.setChannelCount(2);
            format.setSampleFormat(AudioFormat::Int16);
            DecoderSource source(decoder);
            source.begin(format);
            QByteArray buffer(19200, '\0');
            while (source.read(buffer.data(), buffer.size()) > 0) {
            }
            best = std::min(best, cpuSeconds() - start);
        }
        return best;
    };
    const double pipelineCpu = pipeline(44100);
    const double convertedCpu = pipeline(48000);
    if (pipelineCpu < 0 || convertedCpu < 0)
        return 1;
    std::printf("decode + 16-bit:     %.1f ms CPU (%.2fx decode alone), at the file's 44.1 kHz\n",
                pipelineCpu * 1e3, pipelineCpu / decodeCpu);
    std::printf("decode + to 48 kHz:  %.1f ms CPU (%.2fx decode alone), for an output that "
                "refuses 44.1 kHz\n",
                convertedCpu * 1e3, convertedCpu / decodeCpu);

    // The window idle, its 60 ms timer ticking.
    SettingsStore settings;
    settings.save(settings::Application, settings::Section, settings::LastFolder, music);
    DesktopDialogs dialogs;
    DesktopShell shell;
    Form1 window({dialogs, shell, settings});
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
    // first sample the output gets; and from setFileName() + play() on a bare player.
    QElapsedTimer clock;
    std::vector<double> fromClick;
    std::vector<double> fromPlay;
    const int row = window.File1->entries().indexOf(QStringLiteral("minute.mp3"));
    window.File1->setCurrentIndex(window.File1->model()->index(row, 0));
    for (int round = 0; round < 7; ++round) {
        auto output = std::make_unique<TimingOutput>(clock);
        TimingOutput* timing = output.get();
        window.MediaPlayer1->setAudioOutput(std::move(output));
        clock.start();
        window.playFromFolderList();
        fromClick.push_back(timing->firstSampleNs / 1e6);
        window.MediaPlayer1->stop();

        MediaPlayer bare(std::make_unique<TimingOutput>(clock));
        auto* bareTiming = static_cast<TimingOutput*>(bare.audioOutput());
        clock.start();
        if (!bare.setFileName(mp3) || !bare.play())
            return 1;
        fromPlay.push_back(bareTiming->firstSampleNs / 1e6);
        spin(50);
    }
    std::printf("first sample:        %.2f ms from the double-click (median of 7, worst %.2f), "
                "%.2f ms from setFileName+play\n",
                median(fromClick), *std::max_element(fromClick.begin(), fromClick.end()),
                median(fromPlay));
    window.MediaPlayer1->stop();
    spin(500);

    // A minute played in real time through the null output, by the window as the user would
    // have it: shown, its clock ticking, the player's slider moving.
    window.MediaPlayer1->setAudioOutput(std::make_unique<NullAudioOutput>());
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
