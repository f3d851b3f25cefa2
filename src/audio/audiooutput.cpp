#include "audio/audiooutput.h"

#include "audio/deviceaudiooutput.h"
#include "audio/nullaudiooutput.h"
#include "audio/wavaudiooutput.h"

namespace quorvela {

std::unique_ptr<AudioOutput> createAudioOutput(const QString& selection) {
    if (selection == QLatin1String("null"))
        return std::make_unique<NullAudioOutput>();
    if (selection.startsWith(QLatin1String("wav:")) && selection.size() > 4)
        return std::make_unique<WavAudioOutput>(selection.mid(4));
    return std::make_unique<DeviceAudioOutput>();
}

std::unique_ptr<AudioOutput> createAudioOutputFromEnvironment() {
    return createAudioOutput(qEnvironmentVariable("QUORVELA_AUDIO_OUTPUT"));
}

} // namespace quorvela
