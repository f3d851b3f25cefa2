#include "audio/deviceaudiooutput.h"

#include "audio/decodeahead.h"
#include "common/applicationid.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/operation.h>
#include <pulse/proplist.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <limits>
#include <utility>

namespace quorvela {

namespace {
// What the stream holds ahead of the device, and the step it is refilled in. Asking for data
// early, a step at a time, also sets the device's latency to one step (otherwise the server
// asks the device for the buffer less two steps, which for steps this large is nothing, and
// the server would wake all the time).
constexpr pa_usec_t BufferUSecs = 500'000;
constexpr pa_usec_t RefillUSecs = 250'000;
// How old the server's last report on the stream's clock may grow while refilling, and while
// the window reads the clock.
constexpr pa_usec_t TimingUpdateUSecs = 3'000'000;
// While the window reads the clock, how often to make sure the server still answers. A bare
// question, not a report on the clock: each report re-anchors the interpolated clock, and
// PipeWire's differ by tens of milliseconds from one to the next.
constexpr pa_usec_t PingUSecs = 500'000;
// A report asked for and not answered within this time means the server stands still: what
// the device plays is then not known, and the clock holds. A busy machine answers well within
// it.
constexpr pa_usec_t ServerStillUSecs = 1'000'000;
// How long after the server stood still its clock may be catching up.
constexpr pa_usec_t SettleUSecs = 3'000'000;
// While the decoder is behind (a slow disk), how often to look for its samples.
constexpr pa_usec_t RefillRetryUSecs = 10'000;

void setIdentity(pa_proplist* properties) {
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Quorvela");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "quorvela");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, ApplicationId);
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
}

pa_sample_spec pulseFormat(const AudioFormat& format) {
    return {PA_SAMPLE_S16NE, static_cast<uint32_t>(std::max(0, format.sampleRate())),
            static_cast<uint8_t>(std::clamp(format.channelCount(), 0, 255))};
}

// Sends a request whose answer nobody waits for.
void send(pa_operation* operation) {
    if (operation)
        pa_operation_unref(operation);
}

// Lets go of an operation whose callback is running now.
void release(pa_operation*& operation) {
    if (operation)
        pa_operation_unref(operation);
    operation = nullptr;
}

// Lets go of an operation of ours, whose callback then never runs.
void cancel(pa_operation*& operation) {
    if (!operation)
        return;
    pa_operation_cancel(operation);
    pa_operation_unref(operation);
    operation = nullptr;
}

// Holds the loop's lock for a scope.
class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) : m_loop(loop) {
        if (m_loop)
            pa_threaded_mainloop_lock(m_loop);
    }
    ~LoopLock() {
        if (m_loop)
            pa_threaded_mainloop_unlock(m_loop);
    }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};
} // namespace

DeviceAudioOutput::DeviceAudioOutput(QObject* parent) : AudioOutput(parent) {}

DeviceAudioOutput::~DeviceAudioOutput() {
    if (!m_loop)
        return;
    {
        const LoopLock lock(m_loop);
        releaseStream();
        disconnectFromServer();
    }
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

QString DeviceAudioOutput::serverError() const {
    const int code = m_context ? pa_context_errno(m_context) : PA_ERR_CONNECTIONREFUSED;
    return QStringLiteral("The sound server cannot be reached: %1.")
        .arg(QString::fromUtf8(pa_strerror(code)));
}

AudioFormat DeviceAudioOutput::formatFor(const AudioFormat& file) {
    // The server takes every rate and layout an MP3 can have, and converts for the device
    // itself where it must.
    AudioFormat format = file;
    format.setSampleFormat(AudioFormat::Int16);
    return format;
}

quint64 DeviceAudioOutput::start(const AudioFormat& format, DecodeAhead* source) {
    if (!m_loop) {
        // The loop's thread starts with the first file played: a window that never plays
        // never has it.
        m_loop = pa_threaded_mainloop_new();
        if (m_loop) {
            pa_threaded_mainloop_set_name(m_loop, "quorvela-sound");
            m_api = pa_threaded_mainloop_get_api(m_loop);
            if (pa_threaded_mainloop_start(m_loop) < 0) {
                pa_threaded_mainloop_free(m_loop);
                m_loop = nullptr;
            }
        }
        if (!m_loop) {
            const quint64 serial = ++m_serial;
            post([this, serial] {
                emit failed(serial, QStringLiteral("The sound library could not be started."));
            });
            return serial;
        }
    }
    const LoopLock lock(m_loop);
    releaseStream();
    const quint64 serial = ++m_serial;
    const pa_sample_spec wire = pulseFormat(format);
    if (!source || !pa_sample_spec_valid(&wire)) {
        post([this, serial] {
            emit failed(serial, QStringLiteral("The sound device cannot play this format."));
        });
        return serial;
    }
    m_format = format;
    m_source = source;
    m_starting = true;
    m_paused = false;
    restartStretch();
    m_stretchStartUSecs = 0;
    if (!m_context || !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)))
        connectToServer();
    if (!m_starting)
        return serial; // failed at once
    m_deadline = armTimer(pa_usec_t{ServerTimeoutMs} * 1000, &DeviceAudioOutput::deadlinePassed);
    // While the connection is still being made, or the last stream is still being dropped,
    // the stream follows once that is done.
    if (pa_context_get_state(m_context) == PA_CONTEXT_READY && !m_closing)
        openStream();
    return serial;
}

void DeviceAudioOutput::connectToServer() {
    disconnectFromServer();
    pa_proplist* properties = pa_proplist_new();
    setIdentity(properties);
    m_context = pa_context_new_with_proplist(m_api, "Quorvela", properties);
    pa_proplist_free(properties);
    if (!m_context) {
        failStart(QStringLiteral("The sound server cannot be reached."));
        return;
    }
    pa_context_set_state_callback(m_context, &DeviceAudioOutput::contextStateChanged, this);
    pa_context_set_subscribe_callback(m_context, &DeviceAudioOutput::serverEvent, this);
    // Never start a server of our own: with none running there is no device to play to.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        failStart(serverError());
        disconnectFromServer();
    }
}

void DeviceAudioOutput::disconnectFromServer() {
    m_volumeChangesSent = 0;
    // With the connection, the server drops every stream of ours.
    dropClosingStream();
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

void DeviceAudioOutput::openStream() {
    const pa_sample_spec wire = pulseFormat(m_format);
    pa_proplist* properties = pa_proplist_new();
    setIdentity(properties);
    m_stream = pa_stream_new_with_proplist(m_context, "Playback", &wire, nullptr, properties);
    pa_proplist_free(properties);
    if (!m_stream) {
        failStart(serverError());
        return;
    }
    pa_stream_set_state_callback(m_stream, &DeviceAudioOutput::streamStateChanged, this);
    pa_stream_set_write_callback(m_stream, &DeviceAudioOutput::streamWantsData, this);
    pa_stream_set_started_callback(m_stream, &DeviceAudioOutput::streamTimingChanged, this);
    pa_stream_set_underflow_callback(m_stream, &DeviceAudioOutput::streamTimingChanged, this);
    pa_stream_set_moved_callback(m_stream, &DeviceAudioOutput::streamTimingChanged, this);

    pa_buffer_attr buffer{};
    buffer.maxlength = static_cast<uint32_t>(-1);
    buffer.tlength = static_cast<uint32_t>(pa_usec_to_bytes(BufferUSecs, &wire));
    buffer.prebuf = static_cast<uint32_t>(-1);
    buffer.minreq = static_cast<uint32_t>(pa_usec_to_bytes(RefillUSecs, &wire));
    buffer.fragsize = static_cast<uint32_t>(-1);
    // The clock is interpolated between the server's reports, so reading the position never
    // asks the server anything and never waits. Reports are asked for when playing starts,
    // stalls or moves, with the refills, and while the window reads the clock: libpulse's own
    // schedule would wake the loop several times a second more.
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_EARLY_REQUESTS |
                                       (m_muted ? PA_STREAM_START_MUTED : PA_STREAM_START_UNMUTED) |
                                       (m_paused ? PA_STREAM_START_CORKED : 0));
    const pa_cvolume volume = streamVolume();
    if (pa_stream_connect_playback(m_stream, nullptr, &buffer, flags, &volume, nullptr) < 0)
        failStart(serverError());
}

void DeviceAudioOutput::restartStretch() {
    ++m_stretch;
    cancelTimer(m_refillTimer);
    cancelTimer(m_endTimer);
    cancel(m_drainOperation);
    m_copiedFrames = 0;
    m_sourceEnded = false;
    m_drainDone = false;
    m_finished = false;
    m_heardAtDrainUSecs = 0;
    m_heardUSecs = 0;
    m_heardReadAt = 0;
    m_stillUntil = 0;
}

void DeviceAudioOutput::releaseStream() {
    cancelTimer(m_deadline);
    restartStretch();
    cancel(m_timingOperation);
    m_timingAskedAt = 0;
    cancel(m_pingOperation);
    m_pingSentAt = 0;
    m_source = nullptr;
    m_starting = false;
    m_sounding = false;
    if (!m_stream)
        return;
    pa_stream* stream = m_stream;
    m_stream = nullptr;
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_set_started_callback(stream, nullptr, nullptr);
    pa_stream_set_underflow_callback(stream, nullptr, nullptr);
    pa_stream_set_moved_callback(stream, nullptr, nullptr);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (!PA_STREAM_IS_GOOD(state) || m_closing) {
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_unref(stream);
        return;
    }
    // Taking the stream away drops what it holds at once; nothing of it is played out. A
    // stream the server is still making cannot be taken away before it is made: that waits
    // until then, and so does the next stream, so that ours never pile up on the server.
    m_closing = stream;
    pa_stream_set_state_callback(stream, &DeviceAudioOutput::closingStreamStateChanged, this);
    if (state == PA_STREAM_READY)
        pa_stream_disconnect(stream);
}

void DeviceAudioOutput::dropClosingStream() {
    if (!m_closing)
        return;
    pa_stream_set_state_callback(m_closing, nullptr, nullptr);
    pa_stream_unref(m_closing);
    m_closing = nullptr;
}

void DeviceAudioOutput::closingStreamStateChanged(pa_stream* stream, void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    if (stream != output->m_closing)
        return;
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        pa_stream_disconnect(stream);
        return;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        output->dropClosingStream();
        if (output->m_starting && !output->m_stream && output->m_context &&
            pa_context_get_state(output->m_context) == PA_CONTEXT_READY)
            output->openStream();
        return;
    case PA_STREAM_UNCONNECTED:
    case PA_STREAM_CREATING:
        return;
    }
}

void DeviceAudioOutput::failStart(const QString& reason) {
    const quint64 serial = m_serial;
    releaseStream();
    post([this, serial, reason] { emit failed(serial, reason); });
}

void DeviceAudioOutput::reportLost(const QString& reason) {
    const quint64 serial = m_serial;
    releaseStream();
    post([this, serial, reason] { emit lost(serial, reason); });
}

void DeviceAudioOutput::reportFinished() {
    m_finished = true;
    post([this, serial = m_serial, stretch = m_stretch] {
        bool current = false;
        {
            const LoopLock lock(m_loop);
            current = m_stream && m_serial == serial && m_stretch == stretch;
        }
        // A stretch dropped by a pause or a seek meanwhile did not end the track.
        if (current)
            emit finished(serial);
    });
}

void DeviceAudioOutput::stop() {
    const LoopLock lock(m_loop);
    releaseStream();
}

void DeviceAudioOutput::cork(bool corked) {
    send(pa_stream_cork(m_stream, corked ? 1 : 0, nullptr, nullptr));
}

void DeviceAudioOutput::pause() {
    setPaused(true);
}

void DeviceAudioOutput::resume() {
    setPaused(false);
}

void DeviceAudioOutput::setPaused(bool paused) {
    const LoopLock lock(m_loop);
    if (!m_source || m_paused == paused)
        return;
    m_paused = paused;
    // A stream still being made is corked once it is.
    if (m_sounding)
        cork(paused);
}

void DeviceAudioOutput::flush() {
    const LoopLock lock(m_loop);
    if (!m_source)
        return;
    m_source->clear();
    restartStretch();
    if (!m_sounding) {
        // Nothing reached the server yet: the stream begins with what the source gives now.
        m_stretchStartUSecs = 0;
        return;
    }
    // Corked, the server's clock stands still while it drops what it holds; the samples given
    // next go where its clock stands then, which its next report tells.
    if (!m_paused)
        cork(true);
    send(pa_stream_flush(m_stream, nullptr, nullptr));
    m_stretchStartUSecs = -1;
    cancel(m_timingOperation);
    askTiming();
    if (!m_paused)
        cork(false);
    // The server asks again only for what it has not asked for already: what it did ask for,
    // it gets once the source has samples from the new place.
    if (!m_refillTimer)
        m_refillTimer = armTimer(RefillRetryUSecs, &DeviceAudioOutput::refillDue);
}

pa_time_event* DeviceAudioOutput::armTimer(pa_usec_t afterUSecs, pa_time_event_cb_t callback) {
    return m_context
               ? pa_context_rttime_new(m_context, pa_rtclock_now() + afterUSecs, callback, this)
               : nullptr;
}

void DeviceAudioOutput::cancelTimer(pa_time_event*& timer) {
    if (timer)
        m_api->time_free(timer);
    timer = nullptr;
}

pa_cvolume DeviceAudioOutput::streamVolume() const {
    pa_cvolume volume{};
    pa_cvolume_set(&volume, static_cast<unsigned>(std::clamp(m_format.channelCount(), 1, 32)),
                   m_volume);
    return volume;
}

bool DeviceAudioOutput::setVolume(double level, bool muted) {
    // The server's volume is on the mixers' scale already: its fraction of the norm is the
    // level shown there.
    const auto volume = static_cast<pa_volume_t>(
        std::clamp(std::lround(level * PA_VOLUME_NORM), 0L, long{PA_VOLUME_MAX}));
    const LoopLock lock(m_loop);
    const bool volumeChanged = volume != m_volume;
    const bool muteChanged = muted != m_muted;
    m_volume = volume;
    m_muted = muted;
    // A stream still being made takes them once it is ready.
    if (m_stream && m_sounding)
        sendVolume(volumeChanged, muteChanged);
    return true;
}

void DeviceAudioOutput::sendVolume(bool volume, bool mute) {
    // While a change of ours is on its way, what the server reports may be older than it:
    // those reports are not taken for the mixer's.
    const auto sent = [](pa_context*, int, void* self) {
        --static_cast<DeviceAudioOutput*>(self)->m_volumeChangesSent;
    };
    const uint32_t index = pa_stream_get_index(m_stream);
    if (volume) {
        const pa_cvolume cvolume = streamVolume();
        if (pa_operation* operation =
                pa_context_set_sink_input_volume(m_context, index, &cvolume, sent, this)) {
            ++m_volumeChangesSent;
            pa_operation_unref(operation);
        }
    }
    if (mute) {
        if (pa_operation* operation =
                pa_context_set_sink_input_mute(m_context, index, m_muted ? 1 : 0, sent, this)) {
            ++m_volumeChangesSent;
            pa_operation_unref(operation);
        }
    }
}

void DeviceAudioOutput::readVolume(const pa_cvolume& volume, bool muted) {
    // The server tells of every change, ours too; only another's is news.
    const pa_volume_t level = pa_cvolume_avg(&volume);
    if (m_volumeChangesSent > 0 || (level == m_volume && muted == m_muted))
        return;
    m_volume = level;
    m_muted = muted;
    post([this, level, muted] {
        emit volumeChangedOutside(static_cast<double>(level) / PA_VOLUME_NORM, muted);
    });
}

void DeviceAudioOutput::serverEvent(pa_context* context, pa_subscription_event_type_t type,
                                    uint32_t index, void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    if ((type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) != PA_SUBSCRIPTION_EVENT_SINK_INPUT ||
        (type & PA_SUBSCRIPTION_EVENT_TYPE_MASK) != PA_SUBSCRIPTION_EVENT_CHANGE ||
        !output->m_stream || !output->m_sounding || index != pa_stream_get_index(output->m_stream))
        return;
    send(
        pa_context_get_sink_input_info(context, index, &DeviceAudioOutput::streamVolumeRead, self));
}

void DeviceAudioOutput::streamVolumeRead(pa_context*, const pa_sink_input_info* info, int eol,
                                         void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    if (eol != 0 || !info || !output->m_stream ||
        info->index != pa_stream_get_index(output->m_stream))
        return;
    output->readVolume(info->volume, info->mute != 0);
}

qint64 DeviceAudioOutput::copiedUSecs() const {
    return m_format.microsecondsFor(m_copiedFrames);
}

qint64 DeviceAudioOutput::processedUSecs() {
    const LoopLock lock(m_loop);
    if (!m_stream || !m_sounding)
        return 0;
    const pa_usec_t now = pa_rtclock_now();
    const pa_usec_t lastRead = std::exchange(m_heardReadAt, now);
    if (m_paused || m_stretchStartUSecs < 0)
        return m_heardUSecs;
    if (m_pingSentAt == 0 && now - m_pingAnsweredAt >= PingUSecs && !m_finished)
        ping();
    // The server does not answer: it is not playing what we know of either. (A question asked
    // just now, by ping() above, was asked after `now`.)
    const auto unanswered = [now](pa_usec_t since) {
        return since != 0 && now > since + ServerStillUSecs;
    };
    if (unanswered(m_pingSentAt) || unanswered(m_timingAskedAt)) {
        m_stillUntil = std::numeric_limits<pa_usec_t>::max();
        return m_heardUSecs;
    }
    if (m_stillUntil == std::numeric_limits<pa_usec_t>::max())
        m_stillUntil = now + SettleUSecs;
    qint64 heard = m_finished ? copiedUSecs() : heardUSecs();
    // For a while after the server stood still, the clock runs no faster than twice the wall
    // clock, so that it catches up with what the server did meanwhile rather than jump.
    if (now < m_stillUntil && lastRead != 0)
        heard = std::min(heard, m_heardUSecs + 2 * static_cast<qint64>(now - lastRead));
    // And it never goes back.
    m_heardUSecs = std::max(m_heardUSecs, heard);
    return m_heardUSecs;
}

qint64 DeviceAudioOutput::heardUSecs() {
    const qint64 copied = copiedUSecs();
    pa_usec_t played = 0;
    // Without a report yet, or with one gone stale, the last good reading stands.
    if (pa_stream_get_time(m_stream, &played) < 0)
        return m_heardUSecs;
    qint64 heard = std::min(static_cast<qint64>(played) - m_stretchStartUSecs, copied);
    // Until the server says the stream has played out, its interpolated clock may run ahead
    // of the last sample: the end is not heard before then.
    if (m_sourceEnded && !m_drainDone)
        heard = std::min(heard, copied - 1);
    if (m_drainDone) {
        const auto sinceDrain = static_cast<qint64>(pa_rtclock_now() - m_drainedAt);
        heard = std::min(copied, std::max(heard, m_heardAtDrainUSecs + sinceDrain));
    }
    return std::max<qint64>(0, heard);
}

void DeviceAudioOutput::askTiming() {
    if (m_timingOperation || !m_stream)
        return;
    m_timingAskedAt = pa_rtclock_now();
    m_timingOperation =
        pa_stream_update_timing_info(m_stream, &DeviceAudioOutput::timingAnswered, this);
}

void DeviceAudioOutput::ping() {
    const auto answered = [](pa_context*, const pa_server_info*, void* self) {
        auto* output = static_cast<DeviceAudioOutput*>(self);
        release(output->m_pingOperation);
        output->m_pingSentAt = 0;
        output->m_pingAnsweredAt = pa_rtclock_now();
    };
    m_pingOperation = pa_context_get_server_info(m_context, answered, this);
    if (m_pingOperation)
        m_pingSentAt = pa_rtclock_now();
}

void DeviceAudioOutput::timingAnswered(pa_stream* stream, int success, void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    if (stream != output->m_stream)
        return;
    release(output->m_timingOperation);
    output->m_timingAskedAt = 0;
    output->m_timingAnsweredAt = pa_rtclock_now();
    if (output->m_stretchStartUSecs >= 0)
        return;
    // The first report after a flush: the stream is corked there, and its clock stands where
    // the next sample given will be heard.
    const pa_timing_info* timing = success ? pa_stream_get_timing_info(stream) : nullptr;
    if (timing && !timing->read_index_corrupt) {
        const pa_sample_spec* format = pa_stream_get_sample_spec(stream);
        output->m_stretchStartUSecs = static_cast<qint64>(pa_bytes_to_usec(
            static_cast<uint64_t>(std::max<int64_t>(0, timing->read_index)), format));
    } else {
        output->askTiming();
    }
}

void DeviceAudioOutput::fill(std::size_t bytes) {
    if (!m_stream || !m_source || m_sourceEnded)
        return;
    const auto bytesPerFrame = static_cast<std::size_t>(m_format.bytesPerFrame());
    std::size_t wanted = bytes - bytes % bytesPerFrame;
    // The source gave less than there was room for: it is behind, or at its end.
    bool starved = false;
    while (wanted > 0 && !starved) {
        void* data = nullptr;
        std::size_t room = wanted;
        // Copying straight into the server's shared memory saves a copy.
        if (pa_stream_begin_write(m_stream, &data, &room) < 0 || !data)
            break;
        room = std::min(room, wanted);
        room -= room % bytesPerFrame;
        if (room == 0) {
            // Less than a frame of room is no end of the track: the next request brings more.
            pa_stream_cancel_write(m_stream);
            break;
        }
        const qsizetype got =
            m_source->read(static_cast<char*>(data), static_cast<qsizetype>(room));
        const auto whole = static_cast<std::size_t>(std::max<qsizetype>(0, got));
        starved = whole < room;
        if (whole == 0) {
            pa_stream_cancel_write(m_stream);
            break;
        }
        pa_stream_write(m_stream, data, whole, nullptr, 0, PA_SEEK_RELATIVE);
        m_copiedFrames += static_cast<qint64>(whole / bytesPerFrame);
        wanted -= whole;
    }
    if (pa_rtclock_now() - m_timingAnsweredAt >= TimingUpdateUSecs)
        askTiming();
    if (!starved)
        return;
    if (!m_source->atEnd()) {
        // The decoder is behind: the server plays what it has, and then waits for more.
        if (!m_refillTimer)
            m_refillTimer = armTimer(RefillRetryUSecs, &DeviceAudioOutput::refillDue);
        return;
    }
    m_sourceEnded = true;
    // Also starts a stream too short to have filled the server's start threshold.
    m_drainOperation = pa_stream_drain(m_stream, &DeviceAudioOutput::streamDrained, this);
    if (!m_drainOperation)
        drained(false);
}

void DeviceAudioOutput::drained(bool success) {
    if (!success) {
        // The server cannot say when the stream played out: it ends here.
        reportFinished();
        return;
    }
    // The server has taken the last sample; the device still holds its own latency's worth,
    // during which the server's clock for this stream stands still. That much is heard in
    // real time from here, and then the stream is over.
    pa_usec_t played = 0;
    m_heardAtDrainUSecs = pa_stream_get_time(m_stream, &played) < 0
                              ? m_heardUSecs
                              : static_cast<qint64>(played) - m_stretchStartUSecs;
    m_drainedAt = pa_rtclock_now();
    m_drainDone = true;
    const qint64 rest = std::max<qint64>(0, copiedUSecs() - m_heardAtDrainUSecs);
    m_endTimer = armTimer(static_cast<pa_usec_t>(rest), &DeviceAudioOutput::lastSampleHeard);
    if (!m_endTimer)
        reportFinished();
}

void DeviceAudioOutput::deadlinePassed(pa_mainloop_api*, pa_time_event*, const timeval*,
                                       void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    output->cancelTimer(output->m_deadline);
    // A server that holds a connection open and answers nothing is hung: the next start
    // connects anew.
    output->failStart(QStringLiteral("The sound server did not answer."));
    output->disconnectFromServer();
}

void DeviceAudioOutput::refillDue(pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    output->cancelTimer(output->m_refillTimer);
    if (!output->m_stream || !output->m_sounding)
        return;
    const std::size_t room = pa_stream_writable_size(output->m_stream);
    if (room != static_cast<std::size_t>(-1))
        output->fill(room);
}

void DeviceAudioOutput::lastSampleHeard(pa_mainloop_api*, pa_time_event*, const timeval*,
                                        void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    output->cancelTimer(output->m_endTimer);
    output->reportFinished();
}

void DeviceAudioOutput::contextStateChanged(pa_context* context, void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY) {
        // The desktop's mixer may change the stream's volume; the window shows what it did.
        send(pa_context_subscribe(context, PA_SUBSCRIPTION_MASK_SINK_INPUT, nullptr, nullptr));
        if (output->m_starting && !output->m_stream && !output->m_closing)
            output->openStream();
        return;
    }
    if (PA_CONTEXT_IS_GOOD(state))
        return;
    // The connection is gone; the next start() makes a new one.
    if (output->m_starting)
        output->failStart(output->serverError());
    else if (output->m_stream)
        output->reportLost(QStringLiteral("The sound server went away."));
}

void DeviceAudioOutput::streamStateChanged(pa_stream* stream, void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    if (stream != output->m_stream)
        return;
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        if (!output->m_starting)
            return;
        output->m_starting = false;
        output->m_sounding = true;
        output->cancelTimer(output->m_deadline);
        output->askTiming();
        // Paused while the server was making it.
        if (output->m_paused && !pa_stream_is_corked(stream))
            output->cork(true);
        // The volume last chosen, here or in the mixer, also when it changed while the stream
        // was being made, and over what a server that restores volumes per application chose.
        output->sendVolume(true, true);
        output->post([output, serial = output->m_serial] { emit output->started(serial); });
        return;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        if (output->m_starting)
            output->failStart(output->serverError());
        else
            output->reportLost(QStringLiteral("The sound device went away."));
        return;
    case PA_STREAM_UNCONNECTED:
    case PA_STREAM_CREATING:
        return;
    }
}

void DeviceAudioOutput::streamWantsData(pa_stream* stream, std::size_t bytes, void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    if (stream == output->m_stream)
        output->fill(bytes);
}

void DeviceAudioOutput::streamTimingChanged(pa_stream* stream, void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    if (stream != output->m_stream)
        return;
    // Playing started, stalled or moved just now: a report asked for before says nothing of
    // that, so the clock asks for one more at once.
    send(pa_stream_update_timing_info(stream, nullptr, nullptr));
    output->askTiming();
}

void DeviceAudioOutput::streamDrained(pa_stream* stream, int success, void* self) {
    auto* output = static_cast<DeviceAudioOutput*>(self);
    if (stream != output->m_stream)
        return;
    release(output->m_drainOperation);
    output->drained(success != 0);
}

} // namespace quorvela
