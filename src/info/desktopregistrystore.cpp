#include "info/desktopregistrystore.h"

#include "info/sysinfolauncher.h"

#include <QFile>
#include <QStandardPaths>

namespace quorvela::registry {

namespace {
bool isToolKey(Root root, const QString& key) {
    return root == LocalMachine &&
           key.compare(QLatin1String(sysinfo::ToolKey), Qt::CaseInsensitive) == 0;
}
} // namespace

DesktopRegistryStore::DesktopRegistryStore(QStringList tools) : m_tools(std::move(tools)) {}

QString DesktopRegistryStore::findTool() const {
    for (const QString& tool : m_tools) {
        QString path = QStandardPaths::findExecutable(tool);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

std::optional<Access> DesktopRegistryStore::keyAccess(Root root, const QString& key) {
    // Nothing can be written through this layer, so the key grants whatever is asked.
    if (isToolKey(root, key) && !findTool().isEmpty())
        return AllAccess;
    return std::nullopt;
}

std::optional<Value> DesktopRegistryStore::value(Root root, const QString& key,
                                                 const QString& name) {
    if (!isToolKey(root, key) ||
        name.compare(QLatin1String(sysinfo::ToolValue), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const QString tool = findTool();
    if (tool.isEmpty())
        return std::nullopt;
    return Value{TypeSz, QFile::encodeName(tool) + QByteArray(1, '\0')};
}

} // namespace quorvela::registry
