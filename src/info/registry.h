#pragma once

#include "info/registrystore.h"

#include <QHash>
#include <QString>

#include <span>

namespace quorvela::registry {

// The open/query/close operations over a store. Handles stay valid until closed.
class Registry {
public:
    explicit Registry(Store& store) : m_store(store) {}

    // Opens subKey below root; on success key holds a new handle, otherwise 0.
    [[nodiscard]] Status openKey(Root root, const QString& subKey, Access access, Handle& key);
    // Reads the value into data. A value larger than data fails with MoreData, leaving data
    // untouched and size holding the size it would need.
    [[nodiscard]] Status queryValue(Handle key, const QString& name, TypeCode& type,
                                    std::span<char> data, std::uint32_t& size);
    // Closing 0 or an unknown handle does nothing and says so.
    Status closeKey(Handle key);

    [[nodiscard]] qsizetype openKeyCount() const { return m_open.size(); }

private:
    struct OpenKey {
        Root root;
        QString path;
    };

    Store& m_store;
    QHash<Handle, OpenKey> m_open;
    Handle m_next = 1;
};

[[nodiscard]] bool isPredefinedRoot(Root root);

} // namespace quorvela::registry
