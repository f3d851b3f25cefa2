#include "info/sysinfolauncher.h"

#include "common/dialogs.h"
#include "common/shell.h"

#include <QFileInfo>

#include <array>

namespace quorvela {

namespace {

// The digits of a number stored lowest byte first, most significant first, without leading
// zeros.
QString hexDigits(const QByteArray& bytes) {
    QString digits;
    for (qsizetype i = bytes.size() - 1; i >= 0; --i)
        digits += QStringLiteral("%1").arg(static_cast<unsigned char>(bytes.at(i)), 2, 16,
                                           QLatin1Char('0'));
    while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    return digits.isEmpty() ? QStringLiteral("0") : digits.toUpper();
}

} // namespace

bool GetKeyValue(registry::Registry& registry, registry::Root KeyRoot, const QString& KeyName,
                 const QString& SubKeyRef, QString& KeyVal) {
    bool result = false;
    registry::Handle key = 0;
    if (registry.openKey(KeyRoot, KeyName, sysinfo::KeyAccess, key) != registry::Success) {
        KeyVal.clear();
    } else {
        std::array<char, sysinfo::ValueBufferSize> buffer{};
        registry::TypeCode type = registry::TypeNone;
        std::uint32_t size = 0;
        if (registry.queryValue(key, SubKeyRef, type, buffer, size) != registry::Success) {
            KeyVal.clear();
        } else {
            // A text usually carries its terminating zero; a value need not.
            std::size_t length = std::min<std::size_t>(size, buffer.size());
            if (length >= 1 && buffer.at(length - 1) == '\0')
                --length;
            const QByteArray data(buffer.data(), static_cast<qsizetype>(length));
            if (type == registry::TypeSz)
                KeyVal = QString::fromLocal8Bit(data);
            else if (type == registry::TypeDword)
                // Kept as "&h" hex text; no caller turns it into decimal digits.
                KeyVal = QStringLiteral("&h") + hexDigits(data);
            result = true;
        }
    }
    registry.closeKey(key);
    return result;
}

bool isNormalFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

void StartSysInfo(registry::Store& store, Shell& shell, Dialogs& dialogs, QWidget* parent) {
    bool started = false;
    try {
        registry::Registry registry(store);
        QString KeyVal;
        QString path;
        bool found = false;
        if (GetKeyValue(registry, registry::LocalMachine, QLatin1String(sysinfo::ToolKey),
                        QLatin1String(sysinfo::ToolValue), KeyVal)) {
            path = KeyVal;
            found = true;
        } else if (GetKeyValue(registry, registry::LocalMachine, QLatin1String(sysinfo::FolderKey),
                               QLatin1String(sysinfo::FolderValue), KeyVal)) {
            const QString candidate =
                KeyVal + QLatin1Char('/') + QLatin1String(sysinfo::ToolFileName);
            if (isNormalFile(candidate)) {
                path = candidate;
                found = true;
            }
        }
        started = found && shell.startProgram(path);
    } catch (...) {
        started = false;
    }
    if (!started)
        dialogs.message(parent, QLatin1String(sysinfo::UnavailableMessage),
                        QStringLiteral("Quorvela"), Dialogs::Icon::None);
}

} // namespace quorvela
