#include "player/startupnotice.h"

#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace quorvela {

namespace {

// Launchers make IDs of a few dozen bytes; a longer one is no start-up ID.
constexpr qsizetype LongestId = 1024;
// The protocol's messages travel in pieces of the client message's 20 bytes.
constexpr qsizetype PieceBytes = 20;

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

xcb_window_t rootOf(xcb_connection_t* connection, xcb_window_t window) {
    xcb_get_geometry_reply_t* reply =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
    const xcb_window_t root = reply ? reply->root : xcb_window_t(XCB_WINDOW_NONE);
    std::free(reply);
    return root;
}

} // namespace

QByteArray startupRemoveMessage(const QByteArray& startupId) {
    QByteArray value = startupId;
    if (value.contains(' ') || value.contains('"') || value.contains('\\'))
        value = '"' + value.replace('\\', "\\\\").replace('"', "\\\"") + '"';
    return "remove: ID=" + value;
}

void completeStartupNotice(QWidget& window, const QByteArray& startupId) {
    if (startupId.isEmpty() || startupId.size() > LongestId || startupId.contains('\0'))
        return;
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const auto windowId = static_cast<xcb_window_t>(window.winId());
    const xcb_window_t root = rootOf(connection, windowId);
    const xcb_atom_t startupIdAtom = internAtom(connection, "_NET_STARTUP_ID");
    const xcb_atom_t utf8 = internAtom(connection, "UTF8_STRING");
    const xcb_atom_t begin = internAtom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = internAtom(connection, "_NET_STARTUP_INFO");
    if (root == XCB_WINDOW_NONE || startupIdAtom == XCB_ATOM_NONE || utf8 == XCB_ATOM_NONE ||
        begin == XCB_ATOM_NONE || more == XCB_ATOM_NONE)
        return;

    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, windowId, startupIdAtom, utf8, 8,
                        static_cast<uint32_t>(startupId.size()), startupId.constData());
    // The message ends with its NUL; the window names the sender, as the protocol asks.
    const QByteArray message = startupRemoveMessage(startupId) + '\0';
    for (qsizetype sent = 0; sent < message.size(); sent += PieceBytes) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = windowId;
        event.type = sent == 0 ? begin : more;
        std::memcpy(event.data.data8, message.constData() + sent,
                    static_cast<size_t>(std::min(PieceBytes, message.size() - sent)));
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_flush(connection);
}

void bringForward(QWidget& window, const QByteArray& startupId) {
    if (window.isMinimized())
        window.showNormal();
    window.show();
    // The start-up ID goes on the window before it asks to come forward.
    completeStartupNotice(window, startupId);
    window.raise();
    window.activateWindow();
}

} // namespace quorvela
