#pragma once

#include "audio/playbackengine.h"
#include "mpris/artcache.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

#include <functional>

namespace quorvela {

// The player as the desktop's media controls see it (MPRIS: media keys, the sound menu, the
// lock screen, phone remotes). A second client of the playback engine beside the window's
// own controls: every command goes to the same engine, so the window follows by itself.
class MprisService : public QObject {
    Q_OBJECT
public:
    // What the service asks of the window it belongs to.
    struct Window {
        std::function<void()> raise;
        std::function<void()> quit;
        // Opens a URI as the command line opens a file; the error to answer with when it
        // names nothing the player opens.
        std::function<QDBusError(const QString& uri)> openUri;
    };

    // What Next and Previous play: the entries around the one the window started last, in the
    // list it was started from.
    struct Neighbours {
        std::function<bool()> hasNext;
        std::function<bool()> hasPrevious;
        std::function<void()> playNext;
        std::function<void()> playPrevious;
    };
    // Once more than this has been heard, Previous starts the track again instead.
    static constexpr double PreviousRestartsAfterSeconds = 3.0;

    static constexpr const char* ObjectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char* BusNameBase = "org.mpris.MediaPlayer2.quorvela";

    MprisService(PlaybackEngine* engine, Window window, ArtCache artCache = ArtCache(),
                 QObject* parent = nullptr);
    ~MprisService() override;

    // Exports the service on the connection under the player's bus name, or under the name
    // of this instance when another player holds it. False, quietly, when neither works.
    [[nodiscard]] bool registerOn(QDBusConnection connection);
    // The bus name taken; empty before registerOn() succeeded.
    [[nodiscard]] QString busName() const { return m_busName; }

    // org.mpris.MediaPlayer2
    void raise();
    void quit();
    // The error to answer with when the window does not open what the URI names.
    [[nodiscard]] QDBusError openUri(const QString& uri);

    // org.mpris.MediaPlayer2.Player
    [[nodiscard]] QString playbackStatus() const;
    [[nodiscard]] QVariantMap metadata() const { return m_metadata; }
    [[nodiscard]] double volume() const;
    void setVolume(double volume);
    [[nodiscard]] qint64 positionUs() const;
    [[nodiscard]] bool hasTrack() const;
    // False when playing could not start; errorString() says why.
    [[nodiscard]] bool play();
    void pause();
    [[nodiscard]] bool playPause();
    void stop();
    void seek(qint64 offsetUs);
    void setPosition(const QDBusObjectPath& trackId, qint64 positionUs);
    [[nodiscard]] QString errorString() const;
    void setNeighbours(Neighbours neighbours);
    // Announces CanGoNext and CanGoPrevious if they changed; for the window, whenever the
    // entry it played or its list changes.
    void neighboursChanged();
    [[nodiscard]] bool canGoNext() const;
    [[nodiscard]] bool canGoPrevious() const;
    // Each does nothing where there is no entry to go to.
    void next();
    void previous();

    // Answers a call from a client with an error instead of the usual empty reply.
    void replyWithError(const QDBusMessage& call, QDBusError::ErrorType type, const QString& text);
    void replyWithError(const QDBusMessage& call, const QDBusError& error);

    // The id of the open file: a new one for every opening.
    [[nodiscard]] QDBusObjectPath trackId() const;

signals:
    // The properties of one interface that changed, with their new values.
    void propertiesChanged(const QString& interfaceName, const QVariantMap& changed);
    void seeked(qint64 positionUs);

private:
    void readTrack();
    void updateLength();
    void publishChanges();
    [[nodiscard]] QVariantMap playerProperties() const;
    void sendPropertiesChanged(const QString& interfaceName, const QVariantMap& changed);

    QPointer<PlaybackEngine> m_engine;
    Window m_window;
    Neighbours m_neighbours;
    ArtCache m_artCache;
    QVariantMap m_metadata;
    // What clients were last told, so that only changes are announced.
    QVariantMap m_published;
    QDBusConnection m_connection;
    QString m_busName;
};

} // namespace quorvela
