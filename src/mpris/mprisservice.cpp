#include "mpris/mprisservice.h"

#include "audio/tagreader.h"
#include "common/localpath.h"
#include "mpris/mprisplayeradaptor.h"
#include "mpris/mprisrootadaptor.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace quorvela {

namespace {

const QString PlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

constexpr double MicrosecondsPerSecond = 1'000'000.0;

qint64 toMicroseconds(double seconds) {
    return std::llround(seconds * MicrosecondsPerSecond);
}

} // namespace

MprisService::MprisService(PlaybackEngine* engine, Window window, ArtCache artCache,
                           QObject* parent)
    : QObject(parent), m_engine(engine), m_window(std::move(window)),
      m_artCache(std::move(artCache)), m_connection(QStringLiteral("quorvela-mpris-unconnected")) {
    // The two interfaces; the bus finds them as this object's children.
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    connect(engine, &PlaybackEngine::stateChanged, this, &MprisService::publishChanges);
    connect(engine, &PlaybackEngine::trackChanged, this, [this] {
        readTrack();
        publishChanges();
    });
    connect(engine, &PlaybackEngine::durationChanged, this, [this] {
        updateLength();
        publishChanges();
    });
    connect(engine, &PlaybackEngine::volumeChanged, this, &MprisService::publishChanges);
    connect(engine, &PlaybackEngine::seeked, this,
            [this](double seconds) { emit seeked(toMicroseconds(seconds)); });
    connect(this, &MprisService::propertiesChanged, this, &MprisService::sendPropertiesChanged);
    if (engine->isOpen())
        readTrack();
    m_published = playerProperties();
}

MprisService::~MprisService() {
    if (!m_busName.isEmpty()) {
        m_connection.unregisterObject(QString::fromLatin1(ObjectPath));
        m_connection.unregisterService(m_busName);
    }
}

bool MprisService::registerOn(QDBusConnection connection) {
    if (!m_busName.isEmpty() || !connection.isConnected())
        return false;
    const QString path = QString::fromLatin1(ObjectPath);
    if (!connection.registerObject(path, this, QDBusConnection::ExportAdaptors))
        return false;
    // The convention for a second running instance of the same player.
    const QString base = QString::fromLatin1(BusNameBase);
    for (const QString& name :
         {base, base + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid())}) {
        if (connection.registerService(name)) {
            m_connection = connection;
            m_busName = name;
            return true;
        }
    }
    connection.unregisterObject(path);
    return false;
}

void MprisService::raise() {
    if (m_window.raise)
        m_window.raise();
}

void MprisService::quit() {
    // Later, so that the caller gets its answer before the program ends.
    if (m_window.quit)
        QMetaObject::invokeMethod(
            this, [this] { m_window.quit(); }, Qt::QueuedConnection);
}

QDBusError MprisService::openUri(const QString& uri) {
    if (!m_window.openUri)
        return {QDBusError::NotSupported, QStringLiteral("Quorvela has no window to open it.")};
    return m_window.openUri(uri);
}

QString MprisService::playbackStatus() const {
    if (!m_engine)
        return QStringLiteral("Stopped");
    switch (m_engine->state()) {
    case PlaybackEngine::State::Playing:
        return QStringLiteral("Playing");
    case PlaybackEngine::State::Paused:
        return QStringLiteral("Paused");
    case PlaybackEngine::State::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

double MprisService::volume() const {
    return m_engine ? m_engine->volume() / 100.0 : 0.0;
}

void MprisService::setVolume(double volume) {
    if (!m_engine || !std::isfinite(volume))
        return;
    m_engine->setVolume(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 100.0)));
}

qint64 MprisService::positionUs() const {
    return m_engine ? toMicroseconds(m_engine->position()) : 0;
}

bool MprisService::hasTrack() const {
    return m_engine && m_engine->isOpen();
}

bool MprisService::play() {
    // With nothing open there is nothing to play, and that is no failure.
    return !hasTrack() || m_engine->play();
}

void MprisService::pause() {
    if (m_engine)
        m_engine->pause();
}

bool MprisService::playPause() {
    if (hasTrack() && m_engine->state() == PlaybackEngine::State::Playing) {
        m_engine->pause();
        return true;
    }
    return play();
}

void MprisService::stop() {
    if (m_engine)
        m_engine->stop();
}

void MprisService::seek(qint64 offsetUs) {
    if (!hasTrack() || m_engine->state() == PlaybackEngine::State::Stopped)
        return;
    const double target = std::max(0.0, m_engine->position() + offsetUs / MicrosecondsPerSecond);
    // Seeking past the end goes to the next track; there is none, so playing stops.
    const double length = m_engine->duration();
    if (length > 0.0 && target > length) {
        m_engine->stop();
        return;
    }
    (void)m_engine->seek(target);
}

void MprisService::setPosition(const QDBusObjectPath& trackId, qint64 positionUs) {
    // A position meant for an earlier track, or outside this one, is ignored.
    if (!hasTrack() || trackId != this->trackId() || positionUs < 0)
        return;
    const double target = positionUs / MicrosecondsPerSecond;
    const double length = m_engine->duration();
    if (length > 0.0 && target > length)
        return;
    (void)m_engine->seek(target);
}

QString MprisService::errorString() const {
    return m_engine ? m_engine->errorString() : QString();
}

void MprisService::setNeighbours(Neighbours neighbours) {
    m_neighbours = std::move(neighbours);
    publishChanges();
}

void MprisService::neighboursChanged() {
    publishChanges();
}

bool MprisService::canGoNext() const {
    return m_neighbours.hasNext && m_neighbours.hasNext();
}

bool MprisService::canGoPrevious() const {
    return m_neighbours.hasPrevious && m_neighbours.hasPrevious();
}

void MprisService::next() {
    if (canGoNext())
        m_neighbours.playNext();
}

void MprisService::previous() {
    if (!canGoPrevious())
        return;
    // As peers do: a track heard for a while starts again, and the one before it is a second
    // press away.
    if (hasTrack() && m_engine->state() != PlaybackEngine::State::Stopped &&
        m_engine->position() > PreviousRestartsAfterSeconds) {
        (void)m_engine->seek(0.0);
        return;
    }
    m_neighbours.playPrevious();
}

void MprisService::replyWithError(const QDBusMessage& call, QDBusError::ErrorType type,
                                  const QString& text) {
    replyWithError(call, QDBusError(type, text));
}

void MprisService::replyWithError(const QDBusMessage& call, const QDBusError& error) {
    if (call.type() != QDBusMessage::MethodCallMessage || m_busName.isEmpty())
        return;
    call.setDelayedReply(true);
    m_connection.send(call.createErrorReply(error));
}

QDBusObjectPath MprisService::trackId() const {
    if (!hasTrack())
        return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    return QDBusObjectPath(QStringLiteral("/org/quorvela/track/%1").arg(m_engine->trackSerial()));
}

void MprisService::readTrack() {
    m_metadata.clear();
    if (!hasTrack())
        return;
    const QString path = m_engine->fileName();
    const TrackTags tags = readTrackTags(path);
    m_metadata.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId()));
    // A valid URI, the name's bytes escaped even where they are not UTF-8 (see
    // common/localpath.h); the title shows the name readably.
    m_metadata.insert(QStringLiteral("xesam:url"), fileUriOf(path));
    QString title = tags.title;
    if (title.isEmpty()) {
        title = readablePath(path.section(QLatin1Char('/'), -1));
        if (title.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive))
            title.chop(4);
    }
    m_metadata.insert(QStringLiteral("xesam:title"), title);
    if (!tags.artists.isEmpty())
        m_metadata.insert(QStringLiteral("xesam:artist"), tags.artists);
    if (!tags.album.isEmpty())
        m_metadata.insert(QStringLiteral("xesam:album"), tags.album);
    if (tags.trackNumber > 0)
        m_metadata.insert(QStringLiteral("xesam:trackNumber"), tags.trackNumber);
    if (const QUrl art = m_artCache.store(tags.picture, tags.pictureMime); art.isValid())
        m_metadata.insert(QStringLiteral("mpris:artUrl"), fileUriOf(art.toLocalFile()));
    updateLength();
}

void MprisService::updateLength() {
    if (m_metadata.isEmpty() || !m_engine)
        return;
    const double length = m_engine->duration();
    if (length > 0.0)
        m_metadata.insert(QStringLiteral("mpris:length"), toMicroseconds(length));
    else
        m_metadata.remove(QStringLiteral("mpris:length"));
}

QVariantMap MprisService::playerProperties() const {
    const bool track = hasTrack();
    return {
        {QStringLiteral("PlaybackStatus"), playbackStatus()},
        {QStringLiteral("Metadata"), m_metadata},
        {QStringLiteral("Volume"), volume()},
        {QStringLiteral("CanPlay"), track},
        {QStringLiteral("CanPause"), track},
        {QStringLiteral("CanSeek"), track},
        {QStringLiteral("CanGoNext"), canGoNext()},
        {QStringLiteral("CanGoPrevious"), canGoPrevious()},
    };
}

void MprisService::publishChanges() {
    const QVariantMap now = playerProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (m_published.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    m_published = now;
    if (!changed.isEmpty())
        emit propertiesChanged(PlayerInterface, changed);
}

void MprisService::sendPropertiesChanged(const QString& interfaceName, const QVariantMap& changed) {
    if (m_busName.isEmpty())
        return;
    QDBusMessage message = QDBusMessage::createSignal(
        QString::fromLatin1(ObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    message << interfaceName << changed << QStringList();
    m_connection.send(message);
}

} // namespace quorvela
