// The transport bar of the player window (MediaPlayer1): play, pause, stop, position, volume.
#include "widgets/mediaplayer.h"

#include "widgets/clickjump.h"
#include "widgets/transportsymbols.h"

#include <QAbstractEventDispatcher>
#include <QEvent>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace quorvela {

namespace {
// The seek slider moves at most once a second, and no more often than its handle can
// move by a pixel: finer steps would cost CPU and show nothing.
constexpr int MinSliderIntervalMs = 1000;
constexpr int MaxSliderIntervalMs = 2000;
// With nothing else waking the program, the slider is moved this much later than its interval.
constexpr int SliderLateMs = 1000;
} // namespace

MediaPlayer::MediaPlayer(PlaybackEngine& engine, QWidget* parent)
    : QWidget(parent), m_engine(&engine) {
    m_sliderTimer.setSingleShot(true);
    connect(&m_sliderTimer, &QTimer::timeout, this, &MediaPlayer::updatePositionSlider);
    createControls();
    connect(m_engine, &PlaybackEngine::stateChanged, this, [this](State old, State now) {
        updateControls();
        emit playStateChange(static_cast<int>(old), static_cast<qint32>(now));
    });
    connect(m_engine, &PlaybackEngine::durationChanged, this, [this] {
        updateControls();
        emit playStateChange(static_cast<int>(state()), static_cast<qint32>(state()));
    });
    connect(m_engine, &PlaybackEngine::trackChanged, this, &MediaPlayer::updateControls);
    connect(m_engine, &PlaybackEngine::seeked, this, &MediaPlayer::updatePositionSlider);
    connect(m_engine, &PlaybackEngine::volumeChanged, this, &MediaPlayer::showVolume);
    connect(m_engine, &PlaybackEngine::mutedChanged, this, &MediaPlayer::showMuted);
    showMuted(m_engine->isMuted());
}

void MediaPlayer::createControls() {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);
    makeSymbols();
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
    cmdStop = makeButton("cmdStop", m_stopIcon, QStringLiteral("Stop"));
    cmdMute = makeButton("cmdMute", m_volumeIcon, QStringLiteral("Mute"));
    cmdMute->setCheckable(true);

    sldPosition = new QSlider(Qt::Horizontal, this);
    sldPosition->setObjectName(QStringLiteral("sldPosition"));
    sldPosition->setAccessibleName(QStringLiteral("Position"));
    sldPosition->setToolTip(QStringLiteral("Position"));
    sldPosition->setFocusPolicy(Qt::StrongFocus);
    sldPosition->setSingleStep(5000);
    sldPosition->setPageStep(30000);
    jumpWhereClicked(sldPosition);

    sldVolume = new QSlider(Qt::Horizontal, this);
    sldVolume->setObjectName(QStringLiteral("sldVolume"));
    sldVolume->setAccessibleName(QStringLiteral("Volume"));
    sldVolume->setToolTip(QStringLiteral("Volume"));
    sldVolume->setFocusPolicy(Qt::StrongFocus);
    sldVolume->setRange(0, 100);
    sldVolume->setSingleStep(5);
    sldVolume->setPageStep(20);
    sldVolume->setValue(m_engine->volume());
    sldVolume->setFixedWidth(56);

    row->addWidget(cmdPlayPause);
    row->addWidget(cmdStop);
    row->addWidget(sldPosition, 1);
    row->addWidget(cmdMute);
    row->addWidget(sldVolume);

    connect(cmdPlayPause, &QToolButton::clicked, this, [this] {
        if (state() == State::Playing) {
            pause();
            return;
        }
        if (!play())
            cmdPlayPause->setToolTip(errorString());
    });
    connect(cmdStop, &QToolButton::clicked, m_engine, &PlaybackEngine::stop);
    connect(cmdMute, &QToolButton::toggled, m_engine, &PlaybackEngine::setMuted);
    connect(sldVolume, &QSlider::valueChanged, m_engine, &PlaybackEngine::setVolume);
    // Keys move the slider by an action; a click, which puts the handle where it lands, and
    // a drag seek once, when the handle is let go.
    connect(sldPosition, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            (void)seek(sldPosition->sliderPosition() / 1000.0);
    });
    connect(sldPosition, &QSlider::sliderReleased, this,
            [this] { (void)seek(sldPosition->value() / 1000.0); });
    updateControls();
}

void MediaPlayer::makeSymbols() {
    const QPalette colors = palette();
    m_playIcon = drawnSymbol(TransportSymbol::Play, colors);
    m_pauseIcon = drawnSymbol(TransportSymbol::Pause, colors);
    m_stopIcon = drawnSymbol(TransportSymbol::Stop, colors);
    // The icon theme's loudspeakers where it has them, as the style took them before; an icon
    // theme follows the desktop's colour scheme.
    m_volumeIcon = QIcon::fromTheme(QStringLiteral("audio-volume-medium"),
                                    drawnSymbol(TransportSymbol::Volume, colors));
    m_mutedIcon = QIcon::fromTheme(QStringLiteral("audio-volume-muted"),
                                   drawnSymbol(TransportSymbol::Muted, colors));
}

void MediaPlayer::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The desktop's colour scheme changed: the symbols take its colours.
    if (event->type() == QEvent::PaletteChange && cmdStop) {
        makeSymbols();
        cmdStop->setIcon(m_stopIcon);
        updateControls();
        showMuted(isMuted());
    }
}

void MediaPlayer::showVolume(int percent) {
    if (sldVolume->value() != percent) {
        const QSignalBlocker block(sldVolume);
        sldVolume->setValue(percent);
    }
}

void MediaPlayer::showMuted(bool muted) {
    if (cmdMute->isChecked() != muted) {
        const QSignalBlocker block(cmdMute);
        cmdMute->setChecked(muted);
    }
    cmdMute->setIcon(muted ? m_mutedIcon : m_volumeIcon);
    cmdMute->setToolTip(muted ? QStringLiteral("Unmute") : QStringLiteral("Mute"));
}

void MediaPlayer::updateControls() {
    const bool playing = state() == State::Playing;
    cmdPlayPause->setEnabled(m_engine->isOpen());
    cmdPlayPause->setIcon(playing ? m_pauseIcon : m_playIcon);
    const QString tip = playing ? QStringLiteral("Pause") : QStringLiteral("Play");
    cmdPlayPause->setToolTip(tip);
    cmdPlayPause->setAccessibleName(tip);
    cmdStop->setEnabled(state() != State::Stopped);
    {
        const QSignalBlocker block(sldPosition);
        sldPosition->setRange(0, static_cast<int>(std::min(duration() * 1000.0, 2.0e9)));
    }
    sldPosition->setEnabled(state() != State::Stopped && duration() > 0.0);
    if (playing && !m_following) {
        m_following = true;
        const double msPerPixel = duration() * 1000.0 / std::max(1, sldPosition->width());
        m_sliderIntervalMs = static_cast<int>(
            std::clamp(msPerPixel, double(MinSliderIntervalMs), double(MaxSliderIntervalMs)));
        m_sliderTimer.setInterval(m_sliderIntervalMs + SliderLateMs);
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
            m_sliderWake = connect(dispatcher, &QAbstractEventDispatcher::awake, this,
                                   &MediaPlayer::followPosition);
    } else if (!playing) {
        m_following = false;
        disconnect(m_sliderWake);
        m_sliderTimer.stop();
    }
    updatePositionSlider();
}

void MediaPlayer::followPosition() {
    // The elapsed time shown beside the player changes as the position's rounded second
    // does; moved at the same wake, the slider is painted with it in one pass, and costs the
    // program no wake-up of its own.
    if (m_sliderMoved.elapsed() < m_sliderIntervalMs - MinSliderIntervalMs / 2)
        return;
    if (std::llround(currentPosition()) == m_sliderSecond &&
        m_sliderMoved.elapsed() < m_sliderIntervalMs + MinSliderIntervalMs / 2)
        return;
    updatePositionSlider();
}

void MediaPlayer::updatePositionSlider() {
    const double position = currentPosition();
    m_sliderMoved.start();
    m_sliderSecond = std::llround(position);
    if (m_following)
        m_sliderTimer.start();
    if (sldPosition->isSliderDown())
        return;
    const int value = static_cast<int>(std::llround(position * 1000.0));
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
