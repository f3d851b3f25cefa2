#include "components/deviceaudiooutput.h"

#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

namespace quorvela {

DeviceAudioOutput::DeviceAudioOutput(QObject* parent) : AudioOutput(parent) {}

DeviceAudioOutput::~DeviceAudioOutput() {
    stop();
}

QAudioFormat DeviceAudioOutput::formatFor(const QAudioFormat&) {
    // The default device may have changed since the last track.
    m_device = QMediaDevices::defaultAudioOutput();
    m_format = {};
    if (m_device.isNull()) {
        m_error = QStringLiteral("No audio output device is available.");
        return {};
    }
    m_format = m_device.preferredFormat();
    if (!m_format.isValid()) {
        m_error = QStringLiteral("The audio output device reports no usable format.");
        return {};
    }
    return m_format;
}

bool DeviceAudioOutput::start(QIODevice* source) {
    stop();
    if (m_device.isNull() || !m_format.isValid()) {
        m_error = QStringLiteral("No audio output device is available.");
        return false;
    }
    m_sink = std::make_unique<QAudioSink>(m_device, m_format);
    m_source = source;
    connect(m_sink.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
        // Idle also follows a brief underrun; only a source at its end has drained.
        if (state == QAudio::IdleState && m_source && m_source->atEnd())
            emit drained();
    });
    m_sink->start(source);
    // A sink that cannot open the device stays stopped and says so only through error().
    if (m_sink->error() != QAudio::NoError || m_sink->state() == QAudio::StoppedState) {
        m_error = QStringLiteral("The audio output device cannot be opened.");
        m_sink.reset();
        m_source = nullptr;
        return false;
    }
    return true;
}

void DeviceAudioOutput::suspend() {
    if (m_sink)
        m_sink->suspend();
}

void DeviceAudioOutput::resume() {
    if (m_sink)
        m_sink->resume();
}

void DeviceAudioOutput::stop() {
    if (m_sink) {
        m_sink->disconnect(this);
        m_sink->stop();
        m_sink.reset();
    }
    m_source = nullptr;
}

qint64 DeviceAudioOutput::processedUSecs() const {
    return m_sink ? m_sink->processedUSecs() : 0;
}

} // namespace quorvela
