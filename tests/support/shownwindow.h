#pragma once

#include "player/form1.h"
#include "support/fakes.h"

#include <QString>

#include <memory>

namespace quorvela::test {

// The real player window over a folder, shown as a user starts it, for the end-to-end
// programs that drive it against a real sound server and session bus.
class ShownWindow {
public:
    // Empty when the window is shown and lists name; otherwise what went wrong.
    [[nodiscard]] QString open(const QString& folder, const QString& name);
    [[nodiscard]] Form1& window() { return *m_window; }
    [[nodiscard]] TestEnvironment& environment() { return m_environment; }

private:
    TestEnvironment m_environment;
    std::unique_ptr<Form1> m_window;
};

} // namespace quorvela::test
