#include "app/mediacontrols.h"

#include "common/localpath.h"
#include "common/sessionbus.h"
#include "mpris/mprisservice.h"
#include "mpris/sleepinhibitor.h"
#include "player/form1.h"
#include "player/openitem.h"
#include "player/playedentry.h"
#include "player/startupnotice.h"

#include <QDBusMessage>

#include <utility>

namespace quorvela {

std::unique_ptr<MprisService> publishMediaControls(Form1& window, PlaybackEngine& engine) {
    if (!sessionBusNamed())
        return nullptr;
    MprisService::Window player;
    player.raise = [&window] { bringForward(window); };
    player.quit = [&window] { window.exitProgram(); };
    player.openUri = [&window](const QString& uri) {
        // Only what the service says it plays; a folder would stop the track and refill the
        // folder list, which no media control expects of opening a track.
        const OpenItem item = examineOpenItem(uri);
        if (item.missing)
            return QDBusError(QDBusMessage::createError(
                QStringLiteral("org.freedesktop.DBus.Error.FileNotFound"),
                QStringLiteral("%1 does not exist.").arg(readablePath(item.path))));
        if (item.kind != OpenKind::Mp3 && item.kind != OpenKind::Playlist)
            return QDBusError(QDBusError::NotSupported,
                              QStringLiteral("Quorvela opens MP3 files and M3U and PLS "
                                             "playlists on this computer."));
        window.opener().openSoon({uri});
        return QDBusError();
    };
    auto service = std::make_unique<MprisService>(&engine, std::move(player));
    offerNextAndPrevious(*service, window);
    if (!service->registerOn(QDBusConnection::sessionBus()))
        return nullptr;
    // On the same bus, and gone with the service.
    new SleepInhibitor(engine, QDBusConnection::sessionBus(), service.get());
    return service;
}

void offerNextAndPrevious(MprisService& service, Form1& window) {
    PlayedEntry& played = window.playedEntry();
    service.setNeighbours({[&played] { return played.nextRow() >= 0; },
                           [&played] { return played.previousRow() >= 0; },
                           [&] { window.playNeighbour(played.nextRow()); },
                           [&] { window.playNeighbour(played.previousRow()); }});
    QObject::connect(&played, &PlayedEntry::changed, &service, &MprisService::neighboursChanged);
}

} // namespace quorvela
