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

// Tags carry nothing the player shows, so they are skipped unparsed however big they are.
constexpr long DecoderFlags = MPG123_GAPLESS | MPG123_SKIP_ID3V2;

} // namespace

mpg123_handle* newMpg123Handle(long flags) {
    // A no-op since libmpg123 1.27, needed before it.
    static const int initialised = mpg123_init();
    if (initialised != MPG123_OK)
        return nullptr;
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (handle)
        mpg123_param(handle, MPG123_FLAGS, flags | MPG123_QUIET, 0.0);
    return handle;
}

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

void Mp3Decoder::closeHandle() {
    if (m_handle) {
        mpg123_close(m_handle);
        mpg123_delete(m_handle);
        m_handle = nullptr;
    }
    m_input.reset();
    m_atEnd = false;
}

void Mp3Decoder::close() {
    closeHandle();
    m_path.clear();
    m_format = {};
    m_rate = 0;
    m_channels = 0;
    m_length = -1;
    m_lengthExact = false;
}

bool Mp3Decoder::fail(const QString& message) {
    close();
    m_error = message;
    return false;
}

bool Mp3Decoder::openHandle(const AudioFormat& format) {
    m_handle = newMpg123Handle(DecoderFlags);
    if (!m_handle)
        return false;
    mpg123_format_none(m_handle);
    if (format.isValid()) {
        // One format throughout: libmpg123 converts whatever the file holds to it.
        if (mpg123_param(m_handle, MPG123_FORCE_RATE, format.sampleRate(), 0.0) != MPG123_OK ||
            mpg123_format(m_handle, format.sampleRate(),
                          format.channelCount() == 1 ? MPG123_MONO : MPG123_STEREO,
                          MPG123_ENC_SIGNED_16) != MPG123_OK)
            return false;
    } else {
        const long* rates = nullptr;
        std::size_t count = 0;
        mpg123_rates(&rates, &count);
        for (std::size_t i = 0; i < count; ++i)
            mpg123_format(m_handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    if (!openThrough(m_handle, m_input, m_path))
        return false;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(m_handle, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
        channels <= 0)
        return false;
    m_format.setSampleRate(static_cast<int>(rate));
    m_format.setChannelCount(channels);
    m_format.setSampleFormat(AudioFormat::Int16);
    if (!format.isValid()) {
        // Later parts of a stream glued together from several files, and frames whose damaged
        // headers claim another rate or channel count, keep this format.
        mpg123_param(m_handle, MPG123_FORCE_RATE, rate, 0.0);
        mpg123_format_none(m_handle);
        mpg123_format(m_handle, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_SIGNED_16);
    }
    m_appliedGain = 1.0f;
    return true;
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

    m_path = path;
    if (!openHandle({})) {
        if (!m_handle)
            return fail(QStringLiteral("The MPEG decoder could not be started."));
        return fail(m_input ? QStringLiteral("The file holds no MPEG audio.")
                            : QStringLiteral("The file cannot be read."));
    }
    m_rate = m_format.sampleRate();
    m_channels = m_format.channelCount();

    // A header-like pattern is not enough: random bytes or a tag on its own must not pass as
    // a track, so one frame has to decode to real samples. Then back to the start, so that
    // the volume set by the time playing starts applies from the first sample.
    constexpr qsizetype FramesChecked = 1152;
    QByteArray first(FramesChecked * m_format.bytesPerFrame(), Qt::Uninitialized);
    if (decode(first.data(), first.size()) == 0)
        return fail(QStringLiteral("The file holds no MPEG audio."));
    if (!seek(0))
        return fail(QStringLiteral("The file cannot be read."));

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

bool Mp3Decoder::setOutputFormat(const AudioFormat& format) {
    if (!m_handle || format == m_format)
        return m_handle != nullptr;
    if (format.sampleFormat() != AudioFormat::Int16 || format.channelCount() < 1 ||
        format.channelCount() > 2)
        return fail(QStringLiteral("The sound cannot be decoded to the output's format."));
    // A handle takes a new format only at its start: the file is opened again.
    closeHandle();
    if (!openHandle(format) || m_format != format)
        return fail(QStringLiteral("The sound cannot be converted to %1 Hz, %2 channels.")
                        .arg(format.sampleRate())
                        .arg(format.channelCount()));
    return true;
}

qsizetype Mp3Decoder::decode(char* data, qsizetype maxBytes) {
    qsizetype filled = 0;
    int errors = 0;
    while (filled < maxBytes && !m_atEnd) {
        std::size_t done = 0;
        const int result = mpg123_read(m_handle, reinterpret_cast<unsigned char*>(data + filled),
                                       static_cast<std::size_t>(maxBytes - filled), &done);
        filled += static_cast<qsizetype>(done);
        if (result == MPG123_OK || result == MPG123_NEW_FORMAT) {
            if (done > 0)
                errors = 0;
            continue;
        }
        if (result == MPG123_DONE || ++errors >= MaxConsecutiveErrors)
            m_atEnd = true;
    }
    return filled;
}

qsizetype Mp3Decoder::read(char* data, qsizetype maxBytes) {
    const int bytesPerFrame = m_format.bytesPerFrame();
    if (!m_handle || bytesPerFrame <= 0)
        return 0;
    const float gain = m_gain.load(std::memory_order_relaxed);
    if (gain != m_appliedGain) {
        mpg123_volume(m_handle, static_cast<double>(gain));
        m_appliedGain = gain;
    }
    const qsizetype filled = decode(data, maxBytes - maxBytes % bytesPerFrame);
    // A stream cut off mid-frame would shift every later frame by a sample.
    return filled - filled % bytesPerFrame;
}

bool Mp3Decoder::seek(qint64 frame) {
    if (!m_handle)
        return false;
    m_atEnd = false;
    return mpg123_seek(m_handle, static_cast<off_t>(qMax<qint64>(0, frame)), SEEK_SET) >= 0;
}

qint64 Mp3Decoder::scanLength(const QString& path, const std::atomic<bool>* cancel) {
    qint64 length = -1;
    if (mpg123_handle* handle = newMpg123Handle(DecoderFlags)) {
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
