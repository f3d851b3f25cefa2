#include "audio/decodeahead.h"

#include "audio/audiosource.h"

#include <algorithm>
#include <cstring>

namespace quorvela {

namespace {
// Decoded in pieces of about a tenth of a second: the first piece reaches the buffer at once,
// and a new start never waits long behind a piece of the last.
constexpr qsizetype PieceFrames = 4096;
} // namespace

DecodeAhead::DecodeAhead(FailureHandler failed) : m_failed(std::move(failed)) {}

DecodeAhead::~DecodeAhead() {
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void DecodeAhead::load(SourceMaker make) {
    {
        const std::lock_guard lock(m_mutex);
        dropBuffered();
        m_decoding = false;
        m_makeSource = std::move(make);
        m_replaceSource = true;
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
    }
    m_wake.notify_all();
}

quint64 DecodeAhead::startAt(const AudioFormat& format, qint64 frame) {
    quint64 start = 0;
    {
        const std::lock_guard lock(m_mutex);
        if (format != m_format) {
            m_format = format;
            const qint64 frames = qint64{format.sampleRate()} * BufferMs / 1000;
            m_ring.assign(static_cast<std::size_t>(frames * format.bytesPerFrame()), 0);
        }
        dropBuffered();
        m_startFrame = std::max<qint64>(0, frame);
        m_decoding = format.isValid();
        start = ++m_start;
    }
    m_wake.notify_all();
    return start;
}

void DecodeAhead::halt() {
    const std::lock_guard lock(m_mutex);
    dropBuffered();
    m_decoding = false;
}

void DecodeAhead::setGain(float gain) {
    {
        const std::lock_guard lock(m_mutex);
        if (gain == m_gain)
            return;
        m_gain = gain;
        if (!m_decoding)
            return;
        m_startFrame += m_framesRead;
        dropBuffered();
    }
    m_wake.notify_all();
}

void DecodeAhead::clear() {
    {
        const std::lock_guard lock(m_mutex);
        dropBuffered();
    }
    m_wake.notify_all();
}

void DecodeAhead::dropBuffered() {
    m_readAt = 0;
    m_held = 0;
    m_framesRead = 0;
    m_sourceEnded = false;
    ++m_generation;
}

qsizetype DecodeAhead::freeBytes() const {
    return static_cast<qsizetype>(m_ring.size()) - m_held;
}

qsizetype DecodeAhead::read(char* data, qsizetype maxBytes) {
    bool wake = false;
    qsizetype copied = 0;
    {
        const std::lock_guard lock(m_mutex);
        const int bytesPerFrame = m_format.bytesPerFrame();
        if (bytesPerFrame <= 0)
            return 0;
        const auto size = static_cast<qsizetype>(m_ring.size());
        const qsizetype wanted = std::min(m_held, maxBytes - maxBytes % bytesPerFrame);
        while (copied < wanted) {
            const qsizetype piece = std::min(wanted - copied, size - m_readAt);
            std::memcpy(data + copied, m_ring.data() + m_readAt, static_cast<std::size_t>(piece));
            copied += piece;
            m_readAt = (m_readAt + piece) % size;
        }
        m_held -= copied;
        m_framesRead += copied / bytesPerFrame;
        // The decoding thread sleeps until half the buffer is free, so that it wakes a few
        // times a second and decodes a good stretch each time.
        wake = m_waitingForRoom && freeBytes() >= size / 2;
    }
    if (wake)
        m_wake.notify_all();
    return copied;
}

bool DecodeAhead::atEnd() const {
    const std::lock_guard lock(m_mutex);
    return m_sourceEnded && m_held == 0;
}

void DecodeAhead::write(const char* data, qsizetype bytes) {
    const auto size = static_cast<qsizetype>(m_ring.size());
    qsizetype at = (m_readAt + m_held) % size;
    qsizetype written = 0;
    while (written < bytes) {
        const qsizetype piece = std::min(bytes - written, size - at);
        std::memcpy(m_ring.data() + at, data + written, static_cast<std::size_t>(piece));
        written += piece;
        at = (at + piece) % size;
    }
    m_held += bytes;
}

void DecodeAhead::run() {
    std::vector<char> piece;
    // The generation whose start the source was moved to.
    quint64 positioned = 0;
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        if (m_replaceSource) {
            const SourceMaker make = std::move(m_makeSource);
            m_replaceSource = false;
            positioned = 0;
            // Closing and opening files may wait on the disk.
            lock.unlock();
            m_source.reset();
            std::unique_ptr<AudioSource> source = make ? make() : nullptr;
            lock.lock();
            m_source = std::move(source);
            continue;
        }
        if (!m_decoding) {
            m_wake.wait(lock);
            continue;
        }
        AudioSource* source = m_source.get();
        const quint64 generation = m_generation;
        const AudioFormat format = m_format;
        if (positioned != generation) {
            const qint64 frame = m_startFrame;
            const quint64 start = m_start;
            lock.unlock();
            QString error;
            bool ended = false;
            if (!source)
                // Gone or changed since the engine looked at it.
                error = QStringLiteral("The file cannot be read any more.");
            else if (source->outputFormat() != format && !source->setOutputFormat(format))
                error = source->errorString();
            else
                // A frame beyond the end (a seek past an estimated length) ends the stream.
                ended = !source->seek(frame);
            if (!error.isEmpty())
                m_failed(start, error);
            lock.lock();
            if (generation != m_generation)
                continue; // dropped meanwhile: start over from the newer start
            positioned = generation;
            if (!error.isEmpty())
                m_decoding = false;
            m_sourceEnded = ended;
            continue;
        }
        const int bytesPerFrame = format.bytesPerFrame();
        const qsizetype pieceBytes = PieceFrames * bytesPerFrame;
        if (m_sourceEnded || freeBytes() < std::min<qsizetype>(pieceBytes, m_ring.size())) {
            m_waitingForRoom = !m_sourceEnded;
            m_wake.wait(lock);
            m_waitingForRoom = false;
            continue;
        }
        const qsizetype wanted = std::min(pieceBytes, freeBytes());
        piece.resize(static_cast<std::size_t>(wanted));
        source->setGain(m_gain);
        lock.unlock();
        const qsizetype got = source->read(piece.data(), wanted);
        lock.lock();
        if (generation != m_generation)
            continue; // what was read belongs to a stretch dropped meanwhile
        const qsizetype whole = std::max<qsizetype>(0, got - got % bytesPerFrame);
        if (whole == 0)
            m_sourceEnded = true;
        else
            write(piece.data(), whole);
    }
}

} // namespace quorvela
