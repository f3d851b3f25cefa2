#pragma once

#include <QString>

class QWidget;

namespace quorvela {

class Dialogs;
class Shell;

// The author's web site and the help address; set when the program is built.
[[nodiscard]] QString webSiteAddress();
[[nodiscard]] QString mailAddressAndSubject();

// Hand the web site, or a new message to the author, to the desktop. When no program takes it,
// a message says so and names the address, so that the user can reach it another way.
void OpenWebSite(Shell& shell, Dialogs& dialogs, QWidget* parent);
void OpenMailLink(Shell& shell, Dialogs& dialogs, QWidget* parent);

} // namespace quorvela
