#include "components/mediaplayer.h"

#include "components/audiooutput.h"
#include "components/decodersource.h"

#include <QAudio>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace quorvela {

namespace {
// The seek slider moves at most twice a second, and no more often than its handle can
// move by a pixel: finer steps would cost CPU and show nothing.
constexpr int MinSliderIntervalMs = 500;
constexpr int MaxSliderIntervalMs = 1000;
// While the output plays out its last samples, how often to look whether it is done, and
// how long it may stand still before the track is taken as ended anyway.
constexpr int EndCheckIntervalMs = 20;
constexpr qint64 EndStallMs = 1000;

QAudioFormat decodedFormat(const Mp3Decoder& decoder) {
    QAudioFormat format;
    format.setSampleRate(decoder.sampleRate());
    format.setChannelCount(decoder.channels());
    format.setSampleFormat(QAudioFormat::Float);
    return format;
}
} // namespace

MediaPlayer::MediaPlayer(QWidget* parent)
    : MediaPlayer(createAudioOutputFromEnvironment(), parent) {}

MediaPlayer::MediaPlayer(std::unique_ptr<AudioOutput> output, QWidget* parent)
    : QWidget(parent), m_source(std::make_unique<DecoderSource>(m_decoder)) {
    m_endTimer.setInterval(EndCheckIntervalMs);
    connect(&m_endTimer, &QTimer::timeout, this, &MediaPlayer::checkTrackEnd);
    m_sliderTimer.setInterval(MinSliderIntervalMs);
    connect(&m_sliderTimer, &QTimer::timeout, this, [this] {
        updatePositionSlider();
        // Should an output miss telling that the source ran dry, the track still ends.
        if (m_source->isOpen() && m_source->atEnd())
            outputDrained();
    });
    createControls();
    setAudioOutput(std::move(output));
}

MediaPlayer::~MediaPlayer() {
    joinScan();
    stopOutput();
    m_output.reset();
}

void MediaPlayer::createControls() {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);
    m_playIcon = style()->standardIcon(QStyle::SP_MediaPlay);
    m_pauseIcon = style()->standardIcon(QStyle::SP_MediaPause);
    m_volumeIcon = style()->standardIcon(QStyle::SP_MediaVolume);
    m_mutedIcon = style()->standardIcon(QStyle::SP_MediaVolumeMuted);
    auto makeButton = [this](const char* name, const QIcon& icon, const QString& tip) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(name));
        button->setIcon(icon);
        button->setToolTip(tip);
        button->setAccessibleName(tip);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::StrongFocus);
        return button;
    };
    cmdPlayPause = makeButton("cmdPlayPause", m_playIcon, QStringLiteral("Play"));
    cmdStop =
        makeButton("cmdStop", style()->standardIcon(QStyle::SP_MediaStop), QStringLiteral("Stop"));
    cmdMute = makeButton("cmdMute", m_volumeIcon, QStringLiteral("Mute"));
    cmdMute->setCheckable(true);

    sldPosition = new QSlider(Qt::Horizontal, this);
    sldPosition->setObjectName(QStringLiteral("sldPosition"));
    sldPosition->setAccessibleName(QStringLiteral("Position"));
    sldPosition->setToolTip(QStringLiteral("Position"));
    sldPosition->setFocusPolicy(Qt::StrongFocus);
    sldPosition->setSingleStep(5000);
    sldPosition->setPageStep(30000);

    sldVolume = new QSlider(Qt::Horizontal, this);
    sldVolume->setObjectName(QStringLiteral("sldVolume"));
    sldVolume->setAccessibleName(QStringLiteral("Volume"));
    sldVolume->setToolTip(QStringLiteral("Volume"));
    sldVolume->setFocusPolicy(Qt::StrongFocus);
    sldVolume->setRange(0, 100);
    sldVolume->setSingleStep(5);
    sldVolume->setPageStep(20);
    sldVolume->setValue(m_volume);
    sldVolume->setFixedWidth(56);

    row->addWidget(cmdPlayPause);
    row->addWidget(cmdStop);
    row->addWidget(sldPosition, 1);
    row->addWidget(cmdMute);
    row->addWidget(sldVolume);

    connect(cmdPlayPause, &QToolButton::clicked, this, [this] {
        if (m_state == State::Playing) {
            pause();
            return;
        }
        if (!play())
            cmdPlayPause->setToolTip(m_error);
    });
    connect(cmdStop, &QToolButton::clicked, this, &MediaPlayer::stop);
    connect(cmdMute, &QToolButton::toggled, this, &MediaPlayer::setMuted);
    connect(sldVolume, &QSlider::valueChanged, this, &MediaPlayer::setVolume);
    // Keys and clicks on the groove move the slider by an action; a drag seeks once, when
    // the handle is let go.
    connect(sldPosition, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            (void)seek(sldPosition->sliderPosition() / 1000.0);
    });
    connect(sldPosition, &QSlider::sliderReleased, this,
            [this] { (void)seek(sldPosition->value() / 1000.0); });
    updateControls();
}

void MediaPlayer::setAudioOutput(std::unique_ptr<AudioOutput> output) {
    stop();
    stopOutput();
    m_output = output ? std::move(output) : createAudioOutput(QString());
    // Queued: an output may report the end from inside start(), before the state is set.
    connect(m_output.get(), &AudioOutput::drained, this, &MediaPlayer::outputDrained,
            Qt::QueuedConnection);
}

bool MediaPlayer::setFileName(const QString& path) {
    closeFile();
    if (!m_decoder.open(path)) {
        m_error = m_decoder.errorString();
        updateControls();
        return false;
    }
    m_fileName = path;
    m_error.clear();
    m_atFileStart = true;
    m_fileRate = m_decoder.sampleRate();
    m_lengthFrames = m_decoder.lengthFrames();
    updateControls();
    if (m_decoder.isLengthExact())
        emit playStateChange(static_cast<int>(m_state), static_cast<qint32>(m_state));
    else
        startScan();
    return true;
}

void MediaPlayer::closeFile() {
    stopOutput();
    joinScan();
    ++m_generation;
    m_decoder.close();
    m_fileName.clear();
    m_lengthFrames = -1;
    m_fileRate = 0;
    m_scanned = false;
    m_atFileStart = false;
    m_startSeconds = 0.0;
    m_restartOnResume = false;
    setState(State::Stopped);
}

void MediaPlayer::joinScan() {
    if (m_scan.joinable())
        m_scan.join();
}

void MediaPlayer::startScan() {
    joinScan();
    const quint64 generation = m_generation;
    const QString path = m_fileName;
    // The destructor and the next file join this thread before the player goes away, so
    // posting to it is safe; the posted result dies with the player if it is never run.
    m_scan = std::thread([this, generation, path] {
        const qint64 frames = Mp3Decoder::scanLength(path);
        QMetaObject::invokeMethod(
            this, [this, generation, frames] { scanFinished(generation, frames); },
            Qt::QueuedConnection);
    });
}

void MediaPlayer::scanFinished(quint64 generation, qint64 frames) {
    if (generation != m_generation)
        return;
    joinScan();
    if (frames >= 0) {
        m_lengthFrames = frames;
        m_scanned = true;
    }
    updateControls();
    emit playStateChange(static_cast<int>(m_state), static_cast<qint32>(m_state));
}

bool MediaPlayer::play() {
    if (!m_decoder.isOpen()) {
        m_error = QStringLiteral("No file is open.");
        return false;
    }
    switch (m_state) {
    case State::Playing:
        return true;
    case State::Paused:
        if (m_restartOnResume) {
            if (!startOutputAt(m_startSeconds)) {
                stop();
                return false;
            }
        } else {
            m_output->resume();
            if (m_source->atEnd())
                outputDrained();
        }
        setState(State::Playing);
        return true;
    case State::Stopped:
        break;
    }
    if (!startOutputAt(0.0))
        return false;
    setState(State::Playing);
    return true;
}

void MediaPlayer::pause() {
    if (m_state != State::Playing)
        return;
    m_output->suspend();
    m_endTimer.stop();
    setState(State::Paused);
}

void MediaPlayer::stop() {
    stopOutput();
    m_startSeconds = 0.0;
    m_restartOnResume = false;
    setState(State::Stopped);
}

bool MediaPlayer::seek(double seconds) {
    if (!m_decoder.isOpen() || m_state == State::Stopped || !std::isfinite(seconds))
        return false;
    const double length = duration();
    seconds = std::max(0.0, length > 0.0 ? std::min(seconds, length) : seconds);
    if (m_state == State::Paused) {
        stopOutput();
        m_startSeconds = seconds;
        m_restartOnResume = true;
        updatePositionSlider();
        return true;
    }
    if (!startOutputAt(seconds)) {
        stop();
        return false;
    }
    return true;
}

bool MediaPlayer::startOutputAt(double seconds) {
    stopOutput();
    const QAudioFormat format = m_output->formatFor(decodedFormat(m_decoder));
    if (!format.isValid() || format.bytesPerFrame() <= 0) {
        m_error = m_output->errorString();
        return false;
    }
    // A fresh file starts where it is: its first frame was decoded while opening it.
    if (!(m_atFileStart && seconds == 0.0)) {
        const auto frame = static_cast<qint64>(std::llround(seconds * m_fileRate));
        if (!m_decoder.seek(frame)) {
            m_error = QStringLiteral("The file cannot be played from there.");
            return false;
        }
    }
    m_atFileStart = false;
    m_source->begin(format);
    applyGain();
    if (!m_output->start(m_source.get())) {
        m_error = m_output->errorString();
        m_source->close();
        return false;
    }
    m_startSeconds = seconds;
    m_restartOnResume = false;
    return true;
}

void MediaPlayer::stopOutput() {
    m_endTimer.stop();
    if (m_output)
        m_output->stop();
    if (m_source)
        m_source->close();
}

void MediaPlayer::outputDrained() {
    if (m_state != State::Playing || !m_source->isOpen() || !m_source->atEnd() ||
        m_endTimer.isActive())
        return;
    m_drainClock.start();
    m_lastHeardUSecs = m_output->processedUSecs();
    m_lastProgressMs = 0;
    m_endTimer.start();
    checkTrackEnd();
}

void MediaPlayer::checkTrackEnd() {
    const QAudioFormat format = m_source->format();
    const qint64 deliveredUSecs =
        m_source->framesDelivered() * 1'000'000 / std::max(1, format.sampleRate());
    const qint64 heard = m_output->processedUSecs();
    if (heard > m_lastHeardUSecs) {
        m_lastHeardUSecs = heard;
        m_lastProgressMs = m_drainClock.elapsed();
    }
    // The output reports the source's end while its buffer still plays; stopping then would
    // cut the track's end off, so wait until the last sample was heard.
    if (heard < deliveredUSecs && m_drainClock.elapsed() - m_lastProgressMs < EndStallMs)
        return;
    stop();
}

double MediaPlayer::currentPosition() const {
    if (m_state == State::Stopped || !m_output)
        return 0.0;
    if (m_restartOnResume)
        return m_startSeconds;
    const double position =
        m_startSeconds + static_cast<double>(m_output->processedUSecs()) / 1'000'000.0;
    const double length = duration();
    return length > 0.0 ? std::min(position, length) : position;
}

double MediaPlayer::duration() const {
    if (!m_decoder.isOpen() || m_lengthFrames < 0 || m_fileRate <= 0)
        return 0.0;
    return static_cast<double>(m_lengthFrames) / m_fileRate;
}

void MediaPlayer::setVolume(int percent) {
    m_volume = std::clamp(percent, 0, 100);
    if (sldVolume->value() != m_volume) {
        const QSignalBlocker block(sldVolume);
        sldVolume->setValue(m_volume);
    }
    applyGain();
}

void MediaPlayer::setMuted(bool muted) {
    m_muted = muted;
    if (cmdMute->isChecked() != muted) {
        const QSignalBlocker block(cmdMute);
        cmdMute->setChecked(muted);
    }
    cmdMute->setIcon(muted ? m_mutedIcon : m_volumeIcon);
    cmdMute->setToolTip(muted ? QStringLiteral("Unmute") : QStringLiteral("Mute"));
    applyGain();
}

void MediaPlayer::applyGain() {
    const double linear = QAudio::convertVolume(m_volume / 100.0, QAudio::LogarithmicVolumeScale,
                                                QAudio::LinearVolumeScale);
    m_source->setGain(m_muted ? 0.0f : static_cast<float>(linear));
}

void MediaPlayer::setState(State state) {
    if (state == m_state) {
        updateControls();
        return;
    }
    const State old = m_state;
    m_state = state;
    updateControls();
    emit playStateChange(static_cast<int>(old), static_cast<qint32>(state));
}

void MediaPlayer::updateControls() {
    const bool playing = m_state == State::Playing;
    cmdPlayPause->setEnabled(m_decoder.isOpen());
    cmdPlayPause->setIcon(playing ? m_pauseIcon : m_playIcon);
    const QString tip = playing ? QStringLiteral("Pause") : QStringLiteral("Play");
    cmdPlayPause->setToolTip(tip);
    cmdPlayPause->setAccessibleName(tip);
    cmdStop->setEnabled(m_state != State::Stopped);
    {
        const QSignalBlocker block(sldPosition);
        sldPosition->setRange(0, static_cast<int>(std::min(duration() * 1000.0, 2.0e9)));
    }
    sldPosition->setEnabled(m_state != State::Stopped && duration() > 0.0);
    if (playing && !m_sliderTimer.isActive()) {
        const double msPerPixel = duration() * 1000.0 / std::max(1, sldPosition->width());
        m_sliderTimer.start(static_cast<int>(
            std::clamp(msPerPixel, double(MinSliderIntervalMs), double(MaxSliderIntervalMs))));
    } else if (!playing) {
        m_sliderTimer.stop();
    }
    updatePositionSlider();
}

void MediaPlayer::updatePositionSlider() {
    if (sldPosition->isSliderDown())
        return;
    const int value = static_cast<int>(std::llround(currentPosition() * 1000.0));
    // Repainting the slider costs more than the rest of playing; only a move the eye can see
    // is worth one.
    const int span = std::max(1, sldPosition->width());
    auto pixel = [&](int v) {
        return QStyle::sliderPositionFromValue(sldPosition->minimum(), sldPosition->maximum(), v,
                                               span);
    };
    if (value != 0 && pixel(value) == pixel(sldPosition->value()))
        return;
    const QSignalBlocker block(sldPosition);
    sldPosition->setValue(value);
}

} // namespace quorvela
