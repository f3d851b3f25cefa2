#pragma once

#include "components/audiooutput.h"

#include <QAudioDevice>

#include <memory>

class QAudioSink;

namespace quorvela {

// The default sound device through QAudioSink, which pulls from the source as it needs.
class DeviceAudioOutput final : public AudioOutput {
    Q_OBJECT
public:
    explicit DeviceAudioOutput(QObject* parent = nullptr);
    ~DeviceAudioOutput() override;

    [[nodiscard]] QAudioFormat formatFor(const QAudioFormat& source) override;
    [[nodiscard]] bool start(QIODevice* source) override;
    void suspend() override;
    void resume() override;
    void stop() override;
    [[nodiscard]] qint64 processedUSecs() const override;
    [[nodiscard]] QString errorString() const override { return m_error; }

private:
    QAudioDevice m_device;
    QAudioFormat m_format;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_source = nullptr;
    QString m_error;
};

} // namespace quorvela
