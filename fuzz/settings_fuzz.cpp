// Feeds arbitrary bytes to the settings reader as a settings file, then reads the three values
// the player starts from and decodes the colours.
#include "settings/colorvalue.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Quor.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    using namespace quorvela;
    const SettingsStore store(path);
    const QString folder =
        store.read(settings::Application, settings::Section, settings::LastFolder, {});
    for (const auto& key : {settings::ForeColor, settings::BackColor}) {
        const QString text = store.read(settings::Application, settings::Section, key,
                                        color::toText(color::WindowText));
        if (const auto value = color::fromText(text)) {
            // Whatever decodes must be a colour value that encodes back to the same text.
            if (!color::isValid(*value) || color::fromText(color::toText(*value)) != value)
                __builtin_trap();
        }
    }
    return folder.size() > 1 << 30 ? 1 : 0;
}
