#pragma once

#include "common/services.h"

#include <QStringList>
#include <QWidget>

#include <functional>

namespace quorvela {

class HelpBrowser;
class Shell;

// The Help window: the program's help page in a browser that fills the window.
class Form3 : public QWidget {
    Q_OBJECT
public:
    // Makes the window's browser; nullptr when it cannot be made.
    using BrowserFactory = std::function<HelpBrowser*(Shell& shell, QWidget* parent)>;

    explicit Form3(Services services, QWidget* parent = nullptr);

    HelpBrowser* WebBrowser1 = nullptr;

    // The page the window opens: help.htm in the first folder that holds one, else where the
    // first folder would hold it. The folders are the program's own folder and then the
    // installed data folder, unless setHelpFolders() named others.
    [[nodiscard]] static QString helpPageLocation();
    [[nodiscard]] static QStringList helpFolders();
    static void setHelpFolders(const QStringList& folders); // empty: the usual folders
    static void setBrowserFactory(BrowserFactory factory);  // empty: the usual browser

    // True when the browser could not be made; such a window never shows.
    [[nodiscard]] bool creationFailed() const { return WebBrowser1 == nullptr; }

    static constexpr const char* HelpFileName = "help.htm";

    void setVisible(bool visible) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void loadHelpPage();

    Services m_services;
};

} // namespace quorvela
