#pragma once

#include <QString>

namespace quorvela {

// The per-user store of remembered values: an INI file at
// $XDG_CONFIG_HOME/<application>/<application>.ini (~/.config by default), one group per
// section, every value kept as text.
class SettingsStore {
public:
    SettingsStore() = default;
    // A store in an explicit file, for tools and tests.
    explicit SettingsStore(QString filePath);

    [[nodiscard]] static QString defaultFilePath(const QString& application);

    // The stored text when the key exists (also when it is empty), otherwise the default.
    [[nodiscard]] QString read(const QString& application, const QString& section,
                               const QString& key, const QString& defaultValue) const;
    // Creates what is needed and replaces any earlier value. The old file stays whole if
    // the new one cannot be written; false then, and errorString() says why.
    bool save(const QString& application, const QString& section, const QString& key,
              const QString& value);
    // Why the last save failed, in words the user can act on; empty after one that worked.
    [[nodiscard]] QString errorString() const { return m_error; }

    // The file that holds the application's values.
    [[nodiscard]] QString filePathFor(const QString& application) const;

private:
    QString m_filePath;
    QString m_error;
};

} // namespace quorvela
