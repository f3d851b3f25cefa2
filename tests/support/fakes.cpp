#include "support/fakes.h"

#include "settings/settingskeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quorvela::test {

namespace {
template <typename T> T takeFront(std::deque<T>& queue, T cancelled) {
    if (queue.empty())
        return cancelled;
    T value = queue.front();
    queue.pop_front();
    return value;
}
} // namespace

void ScriptedDialogs::message(QWidget*, const QString& text, const QString& title, Icon icon,
                              const QString& informative) {
    messages.append({text, title, icon, informative});
}

QString ScriptedDialogs::chooseFolder(QWidget*, const QString& prompt) {
    folderPrompts.append(prompt);
    return takeFront(folders, QString());
}

QString ScriptedDialogs::openFile(QWidget*, const QString& filter) {
    fileFilters.append(filter);
    return takeFront(openFiles, QString());
}

QString ScriptedDialogs::saveFile(QWidget*, const QString& filter, const QString& defaultSuffix) {
    fileFilters.append(filter);
    saveSuffixes.append(defaultSuffix);
    return takeFront(saveFiles, QString());
}

std::optional<QColor> ScriptedDialogs::chooseColor(QWidget*, const QColor& initial) {
    ++colorRequests;
    colorStarts.append(initial);
    return takeFront(colors, std::optional<QColor>());
}

bool RecordingShell::openUrl(const QUrl& url) {
    urls.append(url);
    return openSucceeds;
}

bool RecordingShell::startProgram(const QString& path) {
    started.append(path);
    return startSucceeds;
}

TestEnvironment::TestEnvironment() {
    m_hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    m_oldConfigHome = qgetenv("XDG_CONFIG_HOME");
    QDir().mkpath(m_dir.filePath(QStringLiteral("config")));
    qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toLocal8Bit());
}

TestEnvironment::~TestEnvironment() {
    if (m_hadConfigHome)
        qputenv("XDG_CONFIG_HOME", m_oldConfigHome);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

PlaybackEngine& TestEnvironment::engine() {
    if (!m_engine)
        m_engine = std::make_unique<PlaybackEngine>();
    return *m_engine;
}

QString TestEnvironment::settingsFile() const {
    return SettingsStore::defaultFilePath(settings::Application);
}

QString TestEnvironment::tempPath(const QString& name) const {
    return name.isEmpty() ? m_dir.path() : m_dir.filePath(name);
}

void TestEnvironment::store(const QString& key, const QString& value) {
    settings.save(settings::Application, settings::Section, key, value);
}

QString TestEnvironment::stored(const QString& key, const QString& missing) const {
    return settings.read(settings::Application, settings::Section, key, missing);
}

} // namespace quorvela::test
