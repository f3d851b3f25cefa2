#include "audio/mp3decoder.h"

#include "common/localpath.h"

#include <mpg123.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

} // namespace

// libmpg123 reads each frame's header and then its body, two system calls for every 26 ms of
// sound; through this it takes the file in large pieces. A cancelled scan fails its next read
// instead of running on to the end of a long file on slow storage.
struct DecoderInput {
    static constexpr std::size_t Size = std::size_t{64} * 1024;

    explicit DecoderInput(int descriptor, const std::atomic<bool>* cancelled = nullptr)
        : fd(descriptor), cancel(cancelled) {}
    ~DecoderInput() {
        if (fd >= 0)
            ::close(fd);
    }
    DecoderInput(const DecoderInput&) = delete;
    DecoderInput& operator=(const DecoderInput&) = delete;

    int fd = -1;
    const std::atomic<bool>* cancel = nullptr;
    std::unique_ptr<unsigned char[]> buffer = std::make_unique<unsigned char[]>(Size);
    off_t bufferStart = 0; // where buffer[0] is in the file; the descriptor is at its end
    std::size_t used = 0;  // bytes of the buffer handed out
    std::size_t held = 0;  // bytes in the buffer

    static mpg123_ssize_t read(void* self, void* out, size_t bytes) {
        auto* in = static_cast<DecoderInput*>(self);
        if (in->cancel && in->cancel->load(std::memory_order_relaxed))
            return -1;
        if (in->used == in->held) {
            in->bufferStart += static_cast<off_t>(in->held);
            in->used = in->held = 0;
            ssize_t got = 0;
            do
                got = ::read(in->fd, in->buffer.get(), Size);
            while (got < 0 && errno == EINTR);
            if (got <= 0)
                return got;
            in->held = static_cast<std::size_t>(got);
        }
        const std::size_t n = std::min(bytes, in->held - in->used);
        std::memcpy(out, in->buffer.get() + in->used, n);
        in->used += n;
        return static_cast<mpg123_ssize_t>(n);
    }

    static off_t seek(void* self, off_t offset, int whence) {
        auto* in = static_cast<DecoderInput*>(self);
        off_t target = 0;
        if (whence == SEEK_SET) {
            target = offset;
        } else if (whence == SEEK_CUR) {
            target = in->bufferStart + static_cast<off_t>(in->used) + offset;
        } else if (whence == SEEK_END) {
            struct stat status {};
            if (fstat(in->fd, &status) < 0)
                return -1;
            target = status.st_size + offset;
        } else {
            errno = EINVAL;
            return -1;
        }
        if (target < 0) {
            errno = EINVAL;
            return -1;
        }
        // Within what is buffered (libmpg123 asks where it is, and steps back over a header)
        // nothing needs reading again.
        if (target >= in->bufferStart && target <= in->bufferStart + static_cast<off_t>(in->held)) {
            in->used = static_cast<std::size_t>(target - in->bufferStart);
            return target;
        }
        if (::lseek(in->fd, target, SEEK_SET) < 0)
            return -1;
        in->bufferStart = target;
        in->used = in->held = 0;
        return target;
    }
};

namespace {

// Opens path for handle to read through input; the input must outlive the handle's use.
bool openThrough(mpg123_handle* handle, std::unique_ptr<DecoderInput>& input, const QString& path,
                 const std::atomic<bool>* cancel = nullptr) {
    const int fd = ::open(localPathBytes(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    input = std::make_unique<DecoderInput>(fd, cancel);
    return mpg123_replace_reader_handle(handle, &DecoderInput::read, &DecoderInput::seek,
                                        nullptr) == MPG123_OK &&
           mpg123_open_handle(handle, input.get()) == MPG123_OK;
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
    m_input.reset();
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
    // By the bytes of the name, which need not be UTF-8.
    struct stat status {};
    if (::stat(localPathBytes(path).constData(), &status) < 0)
        return fail(errno == ENOENT ? QStringLiteral("The file does not exist.")
                                    : QStringLiteral("The file cannot be read."));
    if (!S_ISREG(status.st_mode))
        return fail(QStringLiteral("This is not a file."));
    if (status.st_size == 0)
        return fail(QStringLiteral("The file is empty."));

    m_handle = newHandle();
    if (!m_handle)
        return fail(QStringLiteral("The MPEG decoder could not be started."));
    if (!openThrough(m_handle, m_input, path))
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

qint64 Mp3Decoder::scanLength(const QString& path, const std::atomic<bool>* cancel) {
    qint64 length = -1;
    if (mpg123_handle* handle = newHandle()) {
        std::unique_ptr<DecoderInput> input;
        if (openThrough(handle, input, path, cancel) && mpg123_scan(handle) == MPG123_OK)
            length = mpg123_length(handle);
        mpg123_close(handle);
        mpg123_delete(handle);
    }
    if (cancel && cancel->load())
        return -1;
    return length < 0 ? -1 : length;
}

} // namespace quorvela
