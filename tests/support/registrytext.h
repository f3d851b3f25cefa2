#pragma once

#include "info/registrystore.h"

#include <QHash>
#include <QtEndian>

#include <memory>

namespace quorvela::test {

// A registry written as text, one entry a line: "[HKLM\Some Key]" (HKLM, HKCU or their long
// names) begins a key, "!access = 0x20019" sets the rights it grants (default: all), and
// "Name = sz:text", "dword:0x12A05", "binary:05 2A" or "hex(N):2F 74" gives it a value of that
// type ("@" names the default value). Text is stored with its zero; names ignore case.
class RegistryText final : public registry::Store {
public:
    // Null when a line is none of these.
    [[nodiscard]] static std::unique_ptr<RegistryText> fromText(const QByteArray& text) {
        auto store = std::make_unique<RegistryText>();
        Key* key = nullptr;
        for (const QByteArray& raw : text.split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.isEmpty())
                continue;
            if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
                const QString root = line.mid(1).section(QLatin1Char('\\'), 0, 0).toUpper();
                const bool user =
                    root == QLatin1String("HKCU") || root == QLatin1String("HKEY_CURRENT_USER");
                key = &store->m_keys[id(user ? registry::CurrentUser : registry::LocalMachine,
                                        line.chopped(1).section(QLatin1Char('\\'), 1))];
                continue;
            }
            const QString name = line.section(QLatin1Char('='), 0, 0).trimmed();
            const QString data = line.section(QLatin1Char('='), 1).trimmed();
            const QString type = data.section(QLatin1Char(':'), 0, 0);
            const QString rest = data.section(QLatin1Char(':'), 1);
            if (!key || !line.contains(QLatin1Char('=')))
                return nullptr;
            bool ok = true;
            registry::Value value{registry::TypeBinary, QByteArray::fromHex(rest.toLatin1())};
            if (name == QLatin1String("!access")) {
                key->access = data.toUInt(&ok, 0);
                if (ok)
                    continue;
            } else if (type == QLatin1String("sz")) {
                value = {registry::TypeSz, rest.toUtf8() + '\0'};
            } else if (type == QLatin1String("dword")) {
                value = {registry::TypeDword, QByteArray(4, '\0')};
                qToLittleEndian(rest.toUInt(&ok, 0), value.data.data());
            } else if (type.startsWith(QLatin1String("hex("))) {
                value.type = type.mid(4).chopped(1).toUInt(&ok);
            } else if (type != QLatin1String("binary")) {
                ok = false;
            }
            if (!ok)
                return nullptr;
            key->values.insert(id(0, name == QLatin1String("@") ? QString() : name), value);
        }
        return store;
    }

    std::optional<registry::Access> keyAccess(registry::Root root, const QString& key) override {
        const auto found = m_keys.constFind(id(root, key));
        if (found == m_keys.cend())
            return std::nullopt;
        return found->access;
    }
    std::optional<registry::Value> value(registry::Root root, const QString& key,
                                         const QString& name) override {
        const auto found = m_keys.constFind(id(root, key));
        if (found == m_keys.cend() || !found->values.contains(id(0, name)))
            return std::nullopt;
        return found->values.value(id(0, name));
    }

private:
    struct Key {
        registry::Access access = registry::AllAccess;
        QHash<QString, registry::Value> values;
    };
    static QString id(registry::Root root, const QString& path) {
        return QString::number(root) + QLatin1Char('\\') + path.toCaseFolded();
    }
    QHash<QString, Key> m_keys;
};

} // namespace quorvela::test
