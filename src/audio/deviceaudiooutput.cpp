#include "audio/deviceaudiooutput.h"

#include "audio/pulsemainloop.h"

#include <QIODevice>

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/proplist.h>
#include <pulse/stream.h>

#include <algorithm>

namespace quorvela {

namespace {
// What the stream holds ahead of the device, and the step it is refilled in. Asking for data
// early, a step at a time, also sets the device's latency to one step (otherwise the server
// asks the device for the buffer less two steps, which for steps this large is nothing, and
// the server would wake all the time). A window that stands still for a quarter of a second
// leaves no gap in the sound.
constexpr pa_usec_t BufferUSecs = 500'000;
constexpr pa_usec_t RefillUSecs = 250'000;
// A local server answers within milliseconds; one that takes this long is not there.
constexpr int ServerTimeoutMs = 3000;
// How old the server's last report on the stream's clock may grow while refilling.
constexpr qint64 TimingUpdateMs = 3000;

void setIdentity(pa_proplist* properties) {
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Quorvela");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "quorvela");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "io.github.quorvela.Quorvela");
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
}
} // namespace

DeviceAudioOutput::DeviceAudioOutput(QObject* parent)
    : AudioOutput(parent), m_loop(std::make_unique<PulseMainloop>()) {}

DeviceAudioOutput::~DeviceAudioOutput() {
    disconnectFromServer();
}

QString DeviceAudioOutput::serverError() const {
    const int code = m_context ? pa_context_errno(m_context) : PA_ERR_CONNECTIONREFUSED;
    return QStringLiteral("The sound server cannot be reached: %1.")
        .arg(QString::fromUtf8(pa_strerror(code)));
}

bool DeviceAudioOutput::connectToServer() {
    if (m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY)
        return true;
    // A server that went away, or was never there, is looked for again.
    disconnectFromServer();
    pa_proplist* properties = pa_proplist_new();
    setIdentity(properties);
    m_context = pa_context_new_with_proplist(m_loop->api(), "Quorvela", properties);
    pa_proplist_free(properties);
    if (!m_context) {
        m_error = QStringLiteral("The sound server cannot be reached.");
        return false;
    }
    pa_context_set_state_callback(m_context, &DeviceAudioOutput::contextStateChanged, this);
    // Never start a server of our own: with none running there is no device to play to.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        m_error = serverError();
        disconnectFromServer();
        return false;
    }
    m_loop->runUntil(
        [this] {
            const pa_context_state_t state = pa_context_get_state(m_context);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        },
        ServerTimeoutMs);
    if (pa_context_get_state(m_context) != PA_CONTEXT_READY) {
        m_error = serverError();
        disconnectFromServer();
        return false;
    }
    return true;
}

void DeviceAudioOutput::disconnectFromServer() {
    releaseStream();
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

AudioFormat DeviceAudioOutput::formatFor(const AudioFormat& source) {
    m_format = {};
    if (!connectToServer())
        return {};
    AudioFormat format = source;
    format.setSampleFormat(AudioFormat::Int16);
    pa_sample_spec sampleSpec{PA_SAMPLE_S16NE,
                              static_cast<uint32_t>(std::max(0, source.sampleRate())),
                              static_cast<uint8_t>(std::clamp(source.channelCount(), 0, 255))};
    // The server takes every rate and layout an MP3 can have; anything else goes to it as CD
    // stereo, converted on our side.
    if (!pa_sample_spec_valid(&sampleSpec)) {
        format.setSampleRate(44100);
        format.setChannelCount(2);
    }
    m_format = format;
    return format;
}

bool DeviceAudioOutput::start(QIODevice* source) {
    stop();
    if (!source || !m_format.isValid() || !m_context ||
        pa_context_get_state(m_context) != PA_CONTEXT_READY) {
        m_error = QStringLiteral("The sound server cannot be reached.");
        return false;
    }
    const pa_sample_spec sampleSpec{PA_SAMPLE_S16NE, static_cast<uint32_t>(m_format.sampleRate()),
                                    static_cast<uint8_t>(m_format.channelCount())};
    pa_proplist* properties = pa_proplist_new();
    setIdentity(properties);
    m_stream = pa_stream_new_with_proplist(m_context, "Playback", &sampleSpec, nullptr, properties);
    pa_proplist_free(properties);
    if (!m_stream) {
        m_error = serverError();
        return false;
    }
    ++m_streamSerial;
    m_source = source;
    pa_stream_set_state_callback(m_stream, &DeviceAudioOutput::streamStateChanged, this);
    pa_stream_set_write_callback(m_stream, &DeviceAudioOutput::streamWantsData, this);
    pa_stream_set_started_callback(m_stream, &DeviceAudioOutput::streamTimingChanged, this);
    pa_stream_set_underflow_callback(m_stream, &DeviceAudioOutput::streamTimingChanged, this);
    pa_stream_set_moved_callback(m_stream, &DeviceAudioOutput::streamTimingChanged, this);

    pa_buffer_attr buffer{};
    buffer.maxlength = static_cast<uint32_t>(-1);
    buffer.tlength = static_cast<uint32_t>(pa_usec_to_bytes(BufferUSecs, &sampleSpec));
    buffer.prebuf = static_cast<uint32_t>(-1);
    buffer.minreq = static_cast<uint32_t>(pa_usec_to_bytes(RefillUSecs, &sampleSpec));
    buffer.fragsize = static_cast<uint32_t>(-1);
    // The clock is interpolated between the server's reports, so reading the position never
    // asks the server anything. Reports are asked for when playing starts or stalls and then
    // with the refills, every few seconds: libpulse's own schedule would wake the program
    // several times a second more.
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_EARLY_REQUESTS);
    const pa_cvolume volume = streamVolume();
    if (pa_stream_connect_playback(m_stream, nullptr, &buffer, flags, &volume, nullptr) < 0) {
        m_error = serverError();
        releaseStream();
        return false;
    }
    const pa_stream* stream = m_stream;
    m_loop->runUntil(
        [this, stream] {
            return m_stream != stream || pa_stream_get_state(m_stream) != PA_STREAM_CREATING;
        },
        ServerTimeoutMs);
    if (!m_stream || m_stream != stream || pa_stream_get_state(m_stream) != PA_STREAM_READY) {
        m_error = serverError();
        releaseStream();
        return false;
    }
    updateTiming();
    return true;
}

void DeviceAudioOutput::updateTiming() {
    m_lastTimingUpdate.start();
    // libpulse takes half the round trip as the report's age, so the answer is read as soon
    // as it comes: read late, it would set the clock behind what is heard.
    m_timingPending = true;
    relaxReading();
    if (pa_operation* operation =
            pa_stream_update_timing_info(m_stream, &DeviceAudioOutput::timingUpdated, this))
        pa_operation_unref(operation);
    else
        m_timingPending = false;
}

void DeviceAudioOutput::relaxReading() {
    // With half a second ahead of the device, the server's requests and notices can wait
    // for the next time the program wakes anyway; the start, the end and the clock cannot.
    m_loop->setLazyReads(m_stream && !m_sourceEnded && !m_timingPending);
}

pa_cvolume DeviceAudioOutput::streamVolume() const {
    pa_cvolume volume{};
    pa_cvolume_set(&volume, static_cast<unsigned>(std::clamp(m_format.channelCount(), 1, 32)),
                   pa_sw_volume_from_linear(static_cast<double>(m_volume)));
    return volume;
}

bool DeviceAudioOutput::setVolume(float linear) {
    m_volume = std::max(0.0f, linear);
    if (m_stream && m_context && pa_stream_get_state(m_stream) == PA_STREAM_READY) {
        const pa_cvolume volume = streamVolume();
        if (pa_operation* operation = pa_context_set_sink_input_volume(
                m_context, pa_stream_get_index(m_stream), &volume, nullptr, nullptr))
            pa_operation_unref(operation);
    }
    return true;
}

void DeviceAudioOutput::releaseStream() {
    m_source = nullptr;
    m_pulledFrames = 0;
    m_sourceEnded = false;
    m_drainDone = false;
    m_heardAtDrainUSecs = 0;
    m_timingPending = false;
    if (!m_stream)
        return;
    pa_stream* stream = m_stream;
    m_stream = nullptr;
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_set_started_callback(stream, nullptr, nullptr);
    pa_stream_set_underflow_callback(stream, nullptr, nullptr);
    pa_stream_set_moved_callback(stream, nullptr, nullptr);
    // Taking the stream away drops what it holds at once; nothing of it is played out.
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    relaxReading();
}

void DeviceAudioOutput::stop() {
    releaseStream();
}

qint64 DeviceAudioOutput::processedUSecs() const {
    if (!m_stream || m_format.sampleRate() <= 0)
        return 0;
    pa_usec_t played = 0;
    if (pa_stream_get_time(m_stream, &played) < 0)
        return 0;
    const qint64 pulled = m_pulledFrames * 1'000'000 / m_format.sampleRate();
    qint64 heard = std::min(static_cast<qint64>(played), pulled);
    // Until the server says the stream has played out, its interpolated clock may run ahead
    // of the last sample: the end is not heard before then.
    if (m_sourceEnded && !m_drainDone)
        heard = std::min(heard, pulled - 1);
    if (m_drainDone)
        heard = std::min(pulled,
                         std::max(heard, m_heardAtDrainUSecs + m_drainClock.nsecsElapsed() / 1000));
    return std::max<qint64>(0, heard);
}

void DeviceAudioOutput::fill(std::size_t bytes) {
    if (!m_stream || !m_source || m_sourceEnded)
        return;
    const auto bytesPerFrame = static_cast<std::size_t>(m_format.bytesPerFrame());
    std::size_t wanted = bytes - bytes % bytesPerFrame;
    while (wanted > 0) {
        void* data = nullptr;
        std::size_t room = wanted;
        // Decoding straight into the server's shared memory saves a copy.
        if (pa_stream_begin_write(m_stream, &data, &room) < 0 || !data)
            break;
        room = std::min(room, wanted);
        room -= room % bytesPerFrame;
        const qint64 got =
            room > 0 ? m_source->read(static_cast<char*>(data), static_cast<qint64>(room)) : 0;
        const auto whole = static_cast<std::size_t>(std::max<qint64>(0, got)) -
                           static_cast<std::size_t>(std::max<qint64>(0, got)) % bytesPerFrame;
        if (whole == 0) {
            pa_stream_cancel_write(m_stream);
            break;
        }
        pa_stream_write(m_stream, data, whole, nullptr, 0, PA_SEEK_RELATIVE);
        m_pulledFrames += static_cast<qint64>(whole / bytesPerFrame);
        wanted -= whole;
    }
    if (m_lastTimingUpdate.elapsed() >= TimingUpdateMs)
        updateTiming();
    if (m_source->atEnd()) {
        m_sourceEnded = true;
        // Also starts a stream too short to have filled the server's start threshold.
        if (pa_operation* drain =
                pa_stream_drain(m_stream, &DeviceAudioOutput::streamDrained, this))
            pa_operation_unref(drain);
        emit drained();
    }
    relaxReading();
}

void DeviceAudioOutput::reportLost(const QString& reason) {
    const quint64 serial = m_streamSerial;
    // libpulse is in the middle of a call here; the stream is let go from the event loop.
    QMetaObject::invokeMethod(
        this,
        [this, serial, reason] {
            if (serial != m_streamSerial || !m_stream)
                return;
            releaseStream();
            m_error = reason;
            emit lost(reason);
        },
        Qt::QueuedConnection);
}

void DeviceAudioOutput::contextStateChanged(pa_context* context, void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    const pa_context_state_t state = pa_context_get_state(context);
    if (!PA_CONTEXT_IS_GOOD(state) && output->m_stream)
        output->reportLost(output->serverError());
}

void DeviceAudioOutput::streamStateChanged(pa_stream* stream, void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    if (stream != output->m_stream)
        return;
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)
        output->reportLost(QStringLiteral("The sound device went away."));
}

void DeviceAudioOutput::streamWantsData(pa_stream* stream, std::size_t bytes, void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    if (stream == output->m_stream)
        output->fill(bytes);
}

void DeviceAudioOutput::streamTimingChanged(pa_stream* stream, void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    if (stream == output->m_stream)
        output->updateTiming();
}

void DeviceAudioOutput::timingUpdated(pa_stream* stream, int, void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    if (stream != output->m_stream)
        return;
    output->m_timingPending = false;
    output->relaxReading();
}

void DeviceAudioOutput::streamDrained(pa_stream* stream, int success, void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    if (stream != output->m_stream || !success)
        return;
    // The server has taken the last sample; the device still holds its own latency's worth,
    // during which the server's clock for this stream stands still. That much is heard in
    // real time from here.
    pa_usec_t played = 0;
    output->m_heardAtDrainUSecs =
        pa_stream_get_time(stream, &played) < 0 ? 0 : static_cast<qint64>(played);
    output->m_drainClock.start();
    output->m_drainDone = true;
}

} // namespace quorvela
