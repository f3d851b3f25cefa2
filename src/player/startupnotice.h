#pragma once

#include <QByteArray>

class QWidget;

namespace quorvela {

// Ends a launcher's start-up notice (the busy pointer, the task bar's "starting" entry) for a
// launch that a window already on screen answers, as the freedesktop startup-notification
// protocol asks on X11: the window takes the launch's ID as its _NET_STARTUP_ID, from which
// the window manager learns the launch's time and lets the window come forward past focus
// stealing prevention, and a "remove" message with the ID goes to the root window. Does
// nothing without an ID or off X11; on Wayland the launch's activation token does this work
// when the window is activated.
void completeStartupNotice(QWidget& window, const QByteArray& startupId);

// Brings window forward, out of the minimised state, for a launch (whose start-up notice it
// completes, as above) or for the desktop's media controls (with no start-up ID).
void bringForward(QWidget& window, const QByteArray& startupId = {});

// The message that ends the start-up sequence of id, with the value quoted as the protocol
// asks when it holds a blank, a quote or a backslash.
[[nodiscard]] QByteArray startupRemoveMessage(const QByteArray& startupId);

} // namespace quorvela
