#pragma once

#include "info/registrystore.h"

#include <QStringList>

namespace quorvela::registry {

// The registry as this desktop answers it: there is none on Linux, so the one key the About
// box asks about, where the system information tool is, is answered by looking for a
// well-known system information tool on PATH. Everything else is missing.
class DesktopRegistryStore final : public Store {
public:
    // The tools looked for, best first. General system profilers come first (they show
    // hardware, drivers and software together), then the desktops' own information pages,
    // then narrower hardware viewers and the system monitors that carry a system page.
    // Only tools that open their window without arguments are listed.
    static inline const QStringList DefaultTools{
        QStringLiteral("hardinfo2"),   QStringLiteral("hardinfo"),
        QStringLiteral("kinfocenter"), QStringLiteral("xfce4-about"),
        QStringLiteral("cpu-x"),       QStringLiteral("mate-system-monitor"),
    };

    explicit DesktopRegistryStore(QStringList tools = DefaultTools);

    std::optional<Access> keyAccess(Root root, const QString& key) override;
    std::optional<Value> value(Root root, const QString& key, const QString& name) override;

    // The full path of the first listed tool found on PATH, or empty text.
    [[nodiscard]] QString findTool() const;

private:
    QStringList m_tools;
};

} // namespace quorvela::registry
