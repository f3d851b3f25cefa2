#include "components/mediaplayer.h"

#include <QFile>
#include <QFileInfo>

namespace quorvela {

// A silent stand-in until decoding and output land: it accepts readable files and plays
// nothing.
MediaPlayer::MediaPlayer(QWidget* parent) : QWidget(parent) {}

MediaPlayer::~MediaPlayer() = default;

bool MediaPlayer::setFileName(const QString& path) {
    const QFileInfo info(path);
    QFile file(path);
    const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(3) : QByteArray();
    const bool looksLikeMpeg = head.startsWith("ID3") ||
                               (head.size() >= 2 && static_cast<unsigned char>(head[0]) == 0xFF &&
                                (static_cast<unsigned char>(head[1]) & 0xE0) == 0xE0);
    if (!info.isFile() || !looksLikeMpeg) {
        m_error = QStringLiteral("cannot open %1").arg(path);
        return false;
    }
    m_fileName = path;
    m_error.clear();
    return true;
}

bool MediaPlayer::play() {
    if (m_fileName.isEmpty())
        return false;
    const auto old = m_state;
    m_state = State::Playing;
    emit playStateChange(static_cast<int>(old), static_cast<qint32>(m_state));
    return true;
}

void MediaPlayer::stop() {
    const auto old = m_state;
    m_state = State::Stopped;
    emit playStateChange(static_cast<int>(old), static_cast<qint32>(m_state));
}

double MediaPlayer::currentPosition() const {
    return 0.0;
}

double MediaPlayer::duration() const {
    return 0.0;
}

} // namespace quorvela
