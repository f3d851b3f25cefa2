#pragma once

#include "info/registrystore.h"

#include <QMap>

#include <memory>
#include <optional>

namespace quorvela::registry {

// Keys and values read from a text file, so a test (or a curious user) can describe any
// registry it likes. The format, one entry a line:
//
//   # or ; at the start of a line begins a comment
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Some Key]    a key (roots: HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
//                                            HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG
//                                            or their short forms HKCR, HKCU, HKLM, HKU, HKCC)
//   !access = 0x20019                        the rights the key grants (default: all)
//   Name = sz:some text                      text, stored as UTF-8 with its terminating zero
//   Name = dword:0x12A05                     a 32-bit number, lowest byte first (decimal too)
//   Name = binary:05 2A 01 00                bytes of type 3
//   Name = hex(N):2F 74 6D 70                bytes exactly as given, of type code N
//
// A value name is everything before the first "=", trimmed; "@" names the default value.
// Spaces around the bytes of binary and hex are optional.
class RegistryFileStore final : public Store {
public:
    // The store described by text, or nothing with error naming the faulty line.
    [[nodiscard]] static std::unique_ptr<RegistryFileStore> fromText(const QByteArray& text,
                                                                     QString* error = nullptr);
    [[nodiscard]] static std::unique_ptr<RegistryFileStore> fromFile(const QString& path,
                                                                     QString* error = nullptr);

    std::optional<Access> keyAccess(Root root, const QString& key) override;
    std::optional<Value> value(Root root, const QString& key, const QString& name) override;

private:
    RegistryFileStore() = default;

    struct Key {
        Access access = AllAccess;
        QMap<QString, Value> values; // by folded name
    };
    QMap<QString, Key> m_keys; // by root and folded path
};

} // namespace quorvela::registry
