#pragma once

#include "audio/playbackengine.h"
#include "common/dialogs.h"
#include "common/services.h"
#include "common/shell.h"
#include "settings/settingsstore.h"
#include "support/audiofixtures.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <deque>
#include <memory>

namespace quorvela::test {

// Answers the program's dialogs from a script and records what it was shown.
class ScriptedDialogs final : public Dialogs {
public:
    struct Message {
        QString text;
        QString title;
        Icon icon;
        QString informative;
    };

    using Dialogs::message;
    void message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                 const QString& informative) override;
    QString chooseFolder(QWidget* parent, const QString& prompt) override;
    QString openFile(QWidget* parent, const QString& filter) override;
    QString saveFile(QWidget* parent, const QString& filter, const QString& defaultSuffix) override;
    std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) override;

    // Answers, taken in order; an empty queue answers as Cancel.
    std::deque<QString> folders;
    std::deque<QString> openFiles;
    std::deque<QString> saveFiles;
    std::deque<std::optional<QColor>> colors;

    QList<Message> messages;
    QStringList folderPrompts;
    QStringList fileFilters;
    QStringList saveSuffixes;
    int colorRequests = 0;
    // The colour each colour dialog opened at.
    QList<QColor> colorStarts;
};

class RecordingShell final : public Shell {
public:
    bool openUrl(const QUrl& url) override;
    bool startProgram(const QString& path) override;

    QList<QUrl> urls;
    QStringList started;
    bool openSucceeds = true;
    bool startSucceeds = true;
};

// A private settings home, dialogs and shell for one window under test. XDG_CONFIG_HOME points
// into a temporary folder for as long as the object lives.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    [[nodiscard]] Services services() { return {dialogs, shell, settings, engine()}; }
    // Made at its first use, with the output QUORVELA_AUDIO_OUTPUT selects then.
    [[nodiscard]] PlaybackEngine& engine();
    [[nodiscard]] QString settingsFile() const;
    [[nodiscard]] QString tempPath(const QString& name = {}) const;
    // Stores a value as the program would find it at start-up.
    void store(const QString& key, const QString& value);
    [[nodiscard]] QString stored(const QString& key,
                                 const QString& missing = QStringLiteral("<missing>")) const;

    ScriptedDialogs dialogs;
    RecordingShell shell;
    SettingsStore settings;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<PlaybackEngine> m_engine;
    QByteArray m_oldConfigHome;
    bool m_hadConfigHome = false;
};

} // namespace quorvela::test
