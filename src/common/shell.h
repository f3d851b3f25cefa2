#pragma once

#include <QString>
#include <QUrl>

namespace quorvela {

// What the program hands to the desktop: links to open and programs to start.
class Shell {
public:
    Shell() = default;
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;
    virtual ~Shell() = default;

    // Opens the link in the user's preferred program for it.
    virtual bool openUrl(const QUrl& url) = 0;
    // Starts the program at path, detached from this process.
    [[nodiscard]] virtual bool startProgram(const QString& path) = 0;
};

class DesktopShell final : public Shell {
public:
    bool openUrl(const QUrl& url) override;
    bool startProgram(const QString& path) override;
};

} // namespace quorvela
