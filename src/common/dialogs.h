#pragma once

#include <QColor>
#include <QString>

#include <optional>

class QWidget;

namespace quorvela {

// Every modal dialog the program shows goes through this interface, so that a test can
// answer it without a person at the keyboard.
class Dialogs {
public:
    enum class Icon { None, Critical };

    Dialogs() = default;
    Dialogs(const Dialogs&) = delete;
    Dialogs& operator=(const Dialogs&) = delete;
    virtual ~Dialogs() = default;

    // A message with a single OK button. The informative text, when there is one, goes below
    // the message, in the box's smaller print: the cause, where the message cannot tell it.
    virtual void message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                         const QString& informative) = 0;
    void message(QWidget* parent, const QString& text, const QString& title, Icon icon) {
        message(parent, text, title, icon, QString());
    }
    // The chosen folder's full path, or empty text when the user cancels.
    [[nodiscard]] virtual QString chooseFolder(QWidget* parent, const QString& prompt) = 0;
    // The chosen file's full path, or empty text when the user cancels (every time).
    [[nodiscard]] virtual QString openFile(QWidget* parent, const QString& filter) = 0;
    // The name to save under, or empty text on cancel. A name typed without a suffix gets
    // defaultSuffix (given without its dot).
    [[nodiscard]] virtual QString saveFile(QWidget* parent, const QString& filter,
                                           const QString& defaultSuffix) = 0;
    // The confirmed colour, or nothing when the user cancels. The dialog opens at initial.
    [[nodiscard]] virtual std::optional<QColor> chooseColor(QWidget* parent,
                                                            const QColor& initial) = 0;
};

// The real dialogs of the desktop.
class DesktopDialogs final : public Dialogs {
public:
    using Dialogs::message;
    void message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                 const QString& informative) override;
    QString chooseFolder(QWidget* parent, const QString& prompt) override;
    QString openFile(QWidget* parent, const QString& filter) override;
    QString saveFile(QWidget* parent, const QString& filter, const QString& defaultSuffix) override;
    std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) override;
};

// Turns a filter written as "Description|pattern;pattern|" into the form Qt's file
// dialogs take: "Description (pattern pattern)".
[[nodiscard]] QString qtFileFilter(const QString& filter);

// The path on disk that a path from a file dialog stands for. Dialogs read names through the
// system's encoding, each byte that is not UTF-8 becoming U+FFFD, and a user types a name as
// it is shown; either way the name no longer names the file. Each part that names nothing is
// matched to the one name in its folder that reads the same (see common/localpath.h). The
// path as given when it exists, or when a part matches no name or more than one.
[[nodiscard]] QString pathOnDisk(const QString& decoded);

} // namespace quorvela
