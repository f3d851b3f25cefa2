#include "mpris/mprisplayeradaptor.h"

#include "mpris/mprisservice.h"

#include <QDBusError>

namespace quorvela {

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), m_service(service) {
    connect(service, &MprisService::seeked, this, &MprisPlayerAdaptor::Seeked);
}

QString MprisPlayerAdaptor::playbackStatus() const {
    return m_service->playbackStatus();
}

void MprisPlayerAdaptor::setRate(double rate) {
    if (rate == 0.0)
        m_service->pause();
}

QVariantMap MprisPlayerAdaptor::metadata() const {
    return m_service->metadata();
}

double MprisPlayerAdaptor::volume() const {
    return m_service->volume();
}

void MprisPlayerAdaptor::setVolume(double volume) {
    m_service->setVolume(volume);
}

qlonglong MprisPlayerAdaptor::position() const {
    return m_service->positionUs();
}

bool MprisPlayerAdaptor::canGoNext() const {
    return m_service->canGoNext();
}

bool MprisPlayerAdaptor::canGoPrevious() const {
    return m_service->canGoPrevious();
}

bool MprisPlayerAdaptor::hasTrack() const {
    return m_service->hasTrack();
}

void MprisPlayerAdaptor::Next() {
    m_service->next();
}

void MprisPlayerAdaptor::Previous() {
    m_service->previous();
}

void MprisPlayerAdaptor::Pause() {
    m_service->pause();
}

void MprisPlayerAdaptor::PlayPause(const QDBusMessage& call) {
    failIfFalse(m_service->playPause(), call);
}

void MprisPlayerAdaptor::Stop() {
    m_service->stop();
}

void MprisPlayerAdaptor::Play(const QDBusMessage& call) {
    failIfFalse(m_service->play(), call);
}

void MprisPlayerAdaptor::Seek(qlonglong offset) {
    m_service->seek(offset);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
    m_service->setPosition(trackId, position);
}

void MprisPlayerAdaptor::OpenUri(const QString& uri, const QDBusMessage& call) {
    if (const QDBusError refused = m_service->openUri(uri); refused.isValid())
        m_service->replyWithError(call, refused);
}

void MprisPlayerAdaptor::failIfFalse(bool ok, const QDBusMessage& call) {
    // A sound device that cannot be opened is worth telling the client that asked.
    if (!ok)
        m_service->replyWithError(call, QDBusError::Failed, m_service->errorString());
}

} // namespace quorvela
