#include "components/mp3decoder.h"

#include <QFile>
#include <QFileInfo>

#include <mpg123.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quorvela {

namespace {

// A damaged stretch longer than libmpg123's resync window makes it give up on one call;
// calling again searches on. This many consecutive failures end the stream instead.
constexpr int MaxConsecutiveErrors = 64;

mpg123_handle* newHandle() {
    // A no-op since libmpg123 1.27, needed before it.
    static const int initialised = mpg123_init();
    if (initialised != MPG123_OK)
        return nullptr;
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (!handle)
        return nullptr;
    // Tags carry nothing the player shows, so they are skipped unparsed however big they are.
    mpg123_param(handle, MPG123_FLAGS,
                 MPG123_GAPLESS | MPG123_FORCE_FLOAT | MPG123_SKIP_ID3V2 | MPG123_QUIET, 0.0);
    return handle;
}

bool openHandle(mpg123_handle* handle, const QString& path) {
    return mpg123_open(handle, QFile::encodeName(path).constData()) == MPG123_OK;
}

} // namespace

Mp3Decoder::Mp3Decoder() = default;

Mp3Decoder::~Mp3Decoder() {
    close();
}

void Mp3Decoder::close() {
    if (m_handle) {
        mpg123_close(m_handle);
        mpg123_delete(m_handle);
        m_handle = nullptr;
    }
    m_rate = 0;
    m_channels = 0;
    m_length = -1;
    m_lengthExact = false;
    m_atEnd = false;
    m_haveFirstFrame = false;
    m_firstSamples = nullptr;
    m_firstCount = 0;
}

bool Mp3Decoder::fail(const QString& message) {
    close();
    m_error = message;
    return false;
}

bool Mp3Decoder::open(const QString& path) {
    close();
    m_error.clear();
    const QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("The file does not exist."));
    if (!info.isFile())
        return fail(QStringLiteral("This is not a file."));
    if (info.size() == 0)
        return fail(QStringLiteral("The file is empty."));
    if (QFile probe(path); !probe.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("The file cannot be read."));

    m_handle = newHandle();
    if (!m_handle)
        return fail(QStringLiteral("The MPEG decoder could not be started."));
    if (!openHandle(m_handle, path))
        return fail(QStringLiteral("The file cannot be read."));

    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(m_handle, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
        channels <= 0)
        return fail(QStringLiteral("The file holds no MPEG audio."));
    m_rate = static_cast<int>(rate);
    m_channels = channels;

    // A header-like pattern is not enough: random bytes or a tag on its own must not pass as
    // a track, so one frame has to decode to real samples.
    const std::span<const float> first = decodeFrame();
    if (first.empty())
        return fail(QStringLiteral("The file holds no MPEG audio."));
    m_haveFirstFrame = true;
    m_firstSamples = first.data();
    m_firstCount = first.size();

    // libmpg123 calls a constant bit rate file's positions accurate even without a frame
    // count, and its length then still holds the encoder's delay and padding. The encoder
    // delay is known only from a LAME/Info header, which also carries the frame count.
    m_length = mpg123_length(m_handle);
    long encoderDelay = -1;
    double ignored = 0.0;
    m_lengthExact =
        mpg123_getstate(m_handle, MPG123_ENC_DELAY, &encoderDelay, &ignored) == MPG123_OK &&
        encoderDelay >= 0 && m_length >= 0;
    if (m_length < 0)
        m_length = -1;
    return true;
}

void Mp3Decoder::readFormat() {
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(m_handle, &rate, &channels, &encoding) == MPG123_OK && rate > 0 &&
        channels > 0) {
        m_rate = static_cast<int>(rate);
        m_channels = channels;
    }
}

std::span<const float> Mp3Decoder::decodeFrame() {
    if (!m_handle || m_atEnd)
        return {};
    if (m_haveFirstFrame) {
        m_haveFirstFrame = false;
        return {m_firstSamples, m_firstCount};
    }
    int errors = 0;
    for (;;) {
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        size_t bytes = 0;
        const int result = mpg123_decode_frame(m_handle, &frameNumber, &audio, &bytes);
        if (result == MPG123_NEW_FORMAT) {
            readFormat();
            continue;
        }
        if (result == MPG123_OK) {
            errors = 0;
            const std::size_t count = bytes / sizeof(float);
            // The Info frame and trimmed encoder delay give frames without samples.
            if (count > 0 && audio)
                return {reinterpret_cast<const float*>(static_cast<const void*>(audio)), count};
            continue;
        }
        if (result == MPG123_DONE)
            break;
        if (++errors >= MaxConsecutiveErrors)
            break;
    }
    m_atEnd = true;
    return {};
}

bool Mp3Decoder::seek(qint64 frame) {
    if (!m_handle)
        return false;
    m_haveFirstFrame = false;
    m_atEnd = false;
    return mpg123_seek(m_handle, static_cast<off_t>(qMax<qint64>(0, frame)), SEEK_SET) >= 0;
}

namespace {

// The scan reads through these, so that a cancelled scan fails its next read instead of
// running on to the end of a long file on slow storage.
struct ScanInput {
    int fd = -1;
    const std::atomic<bool>* cancel = nullptr;
};

mpg123_ssize_t scanRead(void* handle, void* buffer, size_t bytes) {
    auto* input = static_cast<ScanInput*>(handle);
    if (input->cancel && input->cancel->load(std::memory_order_relaxed))
        return -1;
    for (;;) {
        const ssize_t got = ::read(input->fd, buffer, bytes);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

off_t scanSeek(void* handle, off_t offset, int whence) {
    return ::lseek(static_cast<ScanInput*>(handle)->fd, offset, whence);
}

} // namespace

qint64 Mp3Decoder::scanLength(const QString& path, const std::atomic<bool>* cancel) {
    ScanInput input{::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC), cancel};
    if (input.fd < 0)
        return -1;
    qint64 length = -1;
    if (mpg123_handle* handle = newHandle()) {
        if (mpg123_replace_reader_handle(handle, scanRead, scanSeek, nullptr) == MPG123_OK &&
            mpg123_open_handle(handle, &input) == MPG123_OK && mpg123_scan(handle) == MPG123_OK)
            length = mpg123_length(handle);
        mpg123_close(handle);
        mpg123_delete(handle);
    }
    ::close(input.fd);
    if (cancel && cancel->load())
        return -1;
    return length < 0 ? -1 : length;
}

} // namespace quorvela
