#pragma once

#include "info/registry.h"

#include <QString>

class QWidget;

namespace quorvela {

class Dialogs;
class Shell;

namespace sysinfo {

// Where the system information tool is recorded: first its full path, else a folder that
// holds it under a fixed file name.
inline constexpr const char* ToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr const char* ToolValue = "PATH";
inline constexpr const char* FolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr const char* FolderValue = "MSINFO";
inline constexpr const char* ToolFileName = "sysinfo";

// The rights the keys are opened with: read control, query, set value, create subkey,
// enumerate subkeys, notify and create link.
inline constexpr registry::Access KeyAccess = 0x2003F;
inline constexpr std::size_t ValueBufferSize = 1024;

inline constexpr const char* UnavailableMessage = "System Information Is Unavailable At This Time";

} // namespace sysinfo

// Reads one value as text into KeyVal: a text value as it is, without its terminating zero; a
// number as "&h" and its upper-case hexadecimal digits; any other type leaves KeyVal as it
// was. A missing key or value, a refused open, or a value over 1024 bytes gives false and an
// empty KeyVal. The key is closed on every path.
bool GetKeyValue(registry::Registry& registry, registry::Root KeyRoot, const QString& KeyName,
                 const QString& SubKeyRef, QString& KeyVal);

// Starts the system information tool the store names, or tells the user it is unavailable.
void StartSysInfo(registry::Store& store, Shell& shell, Dialogs& dialogs, QWidget* parent);

// True when a normal, not hidden, file stands at path.
[[nodiscard]] bool isNormalFile(const QString& path);

} // namespace quorvela
