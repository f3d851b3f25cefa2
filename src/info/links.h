#pragma once

#include <QString>

namespace quorvela {

class Shell;

// The author's web site and the help address; set when the program is built.
[[nodiscard]] QString webSiteAddress();
[[nodiscard]] QString mailAddressAndSubject();

// Hand the web site, or a new message to the author, to the desktop.
void OpenWebSite(Shell& shell);
void OpenMailLink(Shell& shell);

} // namespace quorvela
