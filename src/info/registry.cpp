#include "info/registry.h"

#include <algorithm>

namespace quorvela::registry {

bool isPredefinedRoot(Root root) {
    return root == ClassesRoot || root == CurrentUser || root == LocalMachine || root == Users ||
           root == CurrentConfig;
}

Status Registry::openKey(Root root, const QString& subKey, Access access, Handle& key) {
    key = 0;
    if (!isPredefinedRoot(root))
        return InvalidHandle;
    const std::optional<Access> granted = m_store.keyAccess(root, subKey);
    if (!granted)
        return FileNotFound;
    if ((access & ~*granted) != 0)
        return AccessDenied;
    key = m_next++;
    m_open.insert(key, {root, subKey});
    return Success;
}

Status Registry::queryValue(Handle key, const QString& name, TypeCode& type, std::span<char> data,
                            std::uint32_t& size) {
    const auto open = m_open.constFind(key);
    if (open == m_open.cend())
        return InvalidHandle;
    const std::optional<Value> found = m_store.value(open->root, open->path, name);
    if (!found)
        return FileNotFound;
    type = found->type;
    size = static_cast<std::uint32_t>(found->data.size());
    if (static_cast<std::size_t>(found->data.size()) > data.size())
        return MoreData;
    std::copy(found->data.cbegin(), found->data.cend(), data.begin());
    return Success;
}

Status Registry::closeKey(Handle key) {
    return m_open.remove(key) ? Success : InvalidHandle;
}

} // namespace quorvela::registry
