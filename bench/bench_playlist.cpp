// Loads generated playlist files through the playlist panel into the real window's list and
// prints the time taken, the longest time the window's thread stood still meanwhile (a 10 ms
// timer that could not run), and the growth of the process's memory. Each file is loaded in a
// fresh child process, so memory freed by one run does not flatter the next.
#include "audio/playbackengine.h"
#include "common/dialogs.h"
#include "common/shell.h"
#include "player/form1.h"
#include "player/playlistpanel.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

#include <cstdio>

using namespace quorvela;

namespace {

// A value of /proc/self/status in kB ("VmRSS", "VmHWM").
long statusKb(const char* key) {
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// About 60 bytes an entry, with the variety of a real music collection.
bool writeEntries(const QString& path, int count) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QRandomGenerator random(42);
    QByteArray bytes;
    bytes.reserve(qsizetype(count) * 62);
    for (int i = 0; i < count; ++i) {
        bytes += "/home/listener/Music/Artist ";
        bytes += QByteArray::number(random.bounded(100000)).rightJustified(5, '0');
        bytes += "/Album ";
        bytes += QByteArray::number(random.bounded(100)).rightJustified(2, '0');
        bytes += "/Track ";
        bytes += QByteArray::number(i).rightJustified(7, '0');
        bytes += ".mp3\r\n";
    }
    return file.write(bytes) == bytes.size();
}

bool writeSingleLine(const QString& path, qsizetype size) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'a').prepend('/')) > 0;
}

bool writeBinary(const QString& path, qsizetype size) {
    QFile file(path);
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(7);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == size;
}

// The child: load one file into a fresh window and report.
int loadOne(const QString& path, const QString& label) {
    QTemporaryDir home;
    SettingsStore settings(home.filePath(QStringLiteral("quorvela.ini")));
    DesktopDialogs dialogs;
    DesktopShell shell;
    PlaybackEngine engine;
    Form1 form({dialogs, shell, settings, engine});
    form.show();
    QCoreApplication::processEvents();
    auto* panel = form.findChild<PlaylistPanel*>();
    if (!panel)
        return 2;

    const long rssBefore = statusKb("VmRSS");
    QElapsedTimer sinceTick;
    qint64 longestStallMs = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestStallMs = std::max(longestStallMs, sinceTick.restart()); });
    ticker.start(10);
    QElapsedTimer timer;
    timer.start();
    sinceTick.start();
    bool loaded = false;
    panel->loadFile(path, [&](bool, qsizetype) { loaded = true; });
    while (!loaded)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 loadMs = timer.elapsed();
    // Until the window has painted the list again and is ready for the next event.
    form.List1->viewport()->repaint();
    QCoreApplication::processEvents();
    const qint64 readyMs = timer.elapsed();
    longestStallMs = std::max(longestStallMs, sinceTick.elapsed());
    const long rssAfter = statusKb("VmRSS");
    const long peak = statusKb("VmHWM");
    std::printf("%-22s %10lld entries  load %6lld ms  ready %6lld ms  longest stall %5lld ms  "
                "RSS +%7.1f MB  peak +%7.1f MB\n",
                qPrintable(label), static_cast<long long>(form.playlistModel()->rowCount()),
                static_cast<long long>(loadMs), static_cast<long long>(readyMs),
                static_cast<long long>(longestStallMs), (rssAfter - rssBefore) / 1024.0,
                (peak - rssBefore) / 1024.0);
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--load"))
        return loadOne(args.at(2), args.at(3));

    QTemporaryDir dir;
    struct Case {
        QString label;
        QString file;
        bool made;
    };
    QList<Case> cases;
    for (const int count : {10'000, 100'000, 1'000'000}) {
        const QString file = dir.filePath(QStringLiteral("list%1.m3u").arg(count));
        cases.append({QStringLiteral("%1 entries").arg(count), file, writeEntries(file, count)});
    }
    const QString single = dir.filePath(QStringLiteral("single.m3u"));
    cases.append(
        {QStringLiteral("50 MB single line"), single, writeSingleLine(single, 50 * 1024 * 1024)});
    const QString junk = dir.filePath(QStringLiteral("junk.m3u"));
    cases.append({QStringLiteral("30 MB random bytes"), junk, writeBinary(junk, 30'000'000)});
    const QString binary = dir.filePath(QStringLiteral("binary.m3u"));
    cases.append(
        {QStringLiteral("50 MB random bytes"), binary, writeBinary(binary, 50 * 1024 * 1024)});

    for (const Case& c : cases) {
        if (!c.made) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(c.file));
            return 1;
        }
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {"--load", c.file, c.label});
        if (!child.waitForFinished(-1) || child.exitCode() != 0)
            std::fprintf(stderr, "%s: the load failed\n", qPrintable(c.label));
    }
    return 0;
}
