// How long the player takes to start: from the start of main() to the window painted, with a
// folder of a thousand MP3 names remembered, and the memory it holds then. Runs each case in a
// fresh process so caches of an earlier run do not flatter the next; prints figures, checks
// nothing.
#include "audio/playbackengine.h"
#include "common/dialogs.h"
#include "common/shell.h"
#include "player/form1.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace quorvela;

namespace {

long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// One start in this process: the figures go to standard output as one line.
int startOnce(int argc, char* argv[], const QString& folder) {
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    const qint64 appNs = clock.nsecsElapsed();
    DesktopDialogs dialogs;
    DesktopShell shell;
    SettingsStore settings;
    settings.save(settings::Application, settings::Section, settings::LastFolder, folder);
    PlaybackEngine engine;
    Form1 window({dialogs, shell, settings, engine});
    const qint64 builtNs = clock.nsecsElapsed();
    window.show();
    window.repaint();
    QApplication::processEvents();
    const qint64 shownNs = clock.nsecsElapsed();
    std::printf("application %6.1f ms   window built %6.1f ms   shown and painted %6.1f ms   "
                "RSS %6.1f MB\n",
                static_cast<double>(appNs) / 1e6, static_cast<double>(builtNs) / 1e6,
                static_cast<double>(shownNs) / 1e6, static_cast<double>(residentKb()) / 1024.0);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 3 && QByteArray(argv[1]) == "--once")
        return startOnce(1, argv, QString::fromLocal8Bit(argv[2]));

    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("Music"));
    QDir().mkpath(folder);
    for (int i = 0; i < 1000; ++i) {
        QFile file(QStringLiteral("%1/%2 track.mp3").arg(folder).arg(i));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
    }
    for (const char* output : {"null", ""}) {
        std::printf("audio output %s:\n", *output ? output : "default device");
        std::fflush(stdout);
        for (int run = 0; run < 3; ++run) {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
            if (*output)
                env.insert(QStringLiteral("QUORVELA_AUDIO_OUTPUT"), QString::fromUtf8(output));
            else
                env.remove(QStringLiteral("QUORVELA_AUDIO_OUTPUT"));
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedOutputChannel);
            child.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--once"), folder});
            child.waitForFinished(60000);
        }
    }
    return 0;
}
