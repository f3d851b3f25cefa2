#include "settings/settingsstore.h"

#include "common/localpath.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace quorvela {

SettingsStore::SettingsStore(QString filePath) : m_filePath(std::move(filePath)) {}

QString SettingsStore::defaultFilePath(const QString& application) {
    // Looked up afresh every time, so that XDG_CONFIG_HOME set by a test takes effect.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + application + QLatin1Char('/') + application + QStringLiteral(".ini");
}

QString SettingsStore::filePathFor(const QString& application) const {
    return m_filePath.isEmpty() ? defaultFilePath(application) : m_filePath;
}

QString SettingsStore::read(const QString& application, const QString& section, const QString& key,
                            const QString& defaultValue) const {
    QSettings settings(filePathFor(application), QSettings::IniFormat);
    settings.beginGroup(section);
    if (!settings.contains(key))
        return defaultValue;
    const QVariant value = settings.value(key);
    // An unquoted value with commas in a hand-edited file comes back as a list.
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    if (value.userType() == QMetaType::QByteArray)
        return localPathFromBytes(value.toByteArray());
    return value.toString();
}

namespace {

// Makes the folder and those above it that are missing; the system's reason when that fails.
QString makeFolder(const QString& folder) {
    std::error_code error;
    std::filesystem::create_directories(localPathBytes(folder).toStdString(), error);
    return error ? QString::fromLocal8Bit(error.message()) : QString();
}

// QSettings only tells that writing failed; this finds out why, for the user to be told.
QString whyNotWritten(const QString& path, const QString& folderFailure) {
    const QFileInfo file(path);
    if (file.isDir())
        return QStringLiteral("A folder stands where the file should be.");
    const QString folder = file.absolutePath();
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("The folder %1 could not be made: %2.").arg(folder, folderFailure);
    // The file is written as a new file beside the old one; making one tells the system's
    // reason (Qt's own file classes say only "Unknown error" here).
    const QByteArray probe = QFile::encodeName(path + QStringLiteral(".probe"));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno)) + QLatin1Char('.');
    ::close(fd);
    ::unlink(probe.constData());
    return QStringLiteral("The file could not be written.");
}

} // namespace

bool SettingsStore::save(const QString& application, const QString& section, const QString& key,
                         const QString& value) {
    m_error.clear();
    const QString path = filePathFor(application);
    const QString folderFailure = makeFolder(QFileInfo(path).absolutePath());
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(section);
    // A folder's name need not be UTF-8 (see common/localpath.h), and QSettings would drop the
    // characters that hold its other bytes. Such a value is stored as those bytes instead, in
    // QSettings' own notation, "@ByteArray(...)", and read back into the same name; every
    // value that is valid text is stored as text, as it always was.
    if (value.isValidUtf16())
        settings.setValue(key, value);
    else
        settings.setValue(key, localPathBytes(value));
    settings.endGroup();
    settings.sync();
    // A FormatError only says the old file held lines that are not settings; the new value
    // has been written all the same (through a temporary file, so a failed write leaves the
    // old file whole).
    if (settings.status() != QSettings::AccessError)
        return true;
    m_error = whyNotWritten(path, folderFailure);
    return false;
}

} // namespace quorvela
