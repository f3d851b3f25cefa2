#include "player/desktoplaunch.h"

#include "mpris/mprisservice.h"
#include "player/applicationadaptor.h"
#include "player/form1.h"
#include "player/openitem.h"

#include <QDBusConnectionInterface>

#include <unistd.h>

#include <vector>

namespace quorvela {

namespace {

QDBusConnection sessionBusIfNamed() {
    // Asked for one with none named, libdbus would start a bus of its own and leave it running.
    if (MprisService::sessionBusNamed())
        return QDBusConnection::sessionBus();
    return QDBusConnection(QStringLiteral("quorvela-application-unconnected"));
}

QByteArray workingFolder() {
    // By its bytes: the folder's name need not be UTF-8.
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return QByteArrayLiteral("/");
        buffer.resize(buffer.size() * 2);
    }
    return QByteArray(buffer.data());
}

// What lets the window come forward on the desktop that launched this copy.
QVariantMap platformDataOfLaunch() {
    QVariantMap data;
    if (const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN"); !token.isEmpty())
        data.insert(QStringLiteral("activation-token"), QString::fromUtf8(token));
    if (const QByteArray id = qgetenv("DESKTOP_STARTUP_ID"); !id.isEmpty())
        data.insert(QStringLiteral("desktop-startup-id"), QString::fromUtf8(id));
    return data;
}

} // namespace

DesktopLaunch::DesktopLaunch(QStringList items)
    : DesktopLaunch(std::move(items), sessionBusIfNamed()) {}

DesktopLaunch::DesktopLaunch(QStringList items, const QDBusConnection& bus)
    : m_items(std::move(items)), m_bus(bus) {
    new ApplicationAdaptor(this);
}

DesktopLaunch::~DesktopLaunch() {
    // The next window in line takes the name.
    if (m_serving) {
        m_bus.unregisterObject(QString::fromLatin1(ObjectPath));
        (void)m_bus.interface()->unregisterService(QString::fromLatin1(ApplicationId));
    }
}

QStringList DesktopLaunch::commandLine(int argc, const char* const* argv) {
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    if (arguments.isEmpty())
        return {};
    return itemsFromArguments(arguments, workingFolder());
}

bool DesktopLaunch::handOver() {
    if (m_items.isEmpty() || !m_bus.isConnected())
        return false;
    // Over the bus as URIs, the only form the interface knows.
    QStringList uris;
    for (const QString& item : m_items)
        uris.append(item.startsWith(QLatin1Char('/')) ? fileUriOf(item) : item);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(ApplicationId), QString::fromLatin1(ObjectPath),
        QString::fromLatin1(Interface), QStringLiteral("Open"));
    call << uris << platformDataOfLaunch();
    // Only a window that runs: the bus is not to start one.
    call.setAutoStartService(false);
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, HandOverTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

void DesktopLaunch::serve(Form1& window) {
    m_window = &window;
    if (m_bus.isConnected() && !m_serving) {
        // The object first: a launch may call as soon as the name is ours.
        m_serving = m_bus.registerObject(QString::fromLatin1(ObjectPath), this,
                                         QDBusConnection::ExportAdaptors);
        // A second window waits in line, and serves once the first has gone.
        if (m_serving)
            (void)m_bus.interface()->registerService(
                QString::fromLatin1(ApplicationId), QDBusConnectionInterface::QueueService,
                QDBusConnectionInterface::DontAllowReplacement);
    }
    // Once the window is up: a message about a file must not come before it.
    if (!m_items.isEmpty())
        window.openFilesSoon(m_items);
}

bool DesktopLaunch::activate(const QVariantMap& platformData) {
    if (!m_window || m_window->isUnloaded())
        return false;
    raiseWindow(platformData);
    return true;
}

bool DesktopLaunch::open(const QStringList& uris, const QVariantMap& platformData) {
    if (!activate(platformData))
        return false;
    // After the caller has its answer: it waits for it, and must not wait for a message the
    // opening may show.
    m_window->openFilesSoon(uris);
    return true;
}

void DesktopLaunch::replyWithError(const QDBusMessage& call, const QString& name,
                                   const QString& text) {
    if (call.type() != QDBusMessage::MethodCallMessage)
        return;
    call.setDelayedReply(true);
    m_bus.send(call.createErrorReply(name, text));
}

void DesktopLaunch::raiseWindow(const QVariantMap& platformData) {
    // Qt's Wayland window hands this token to the compositor on its next activation, which
    // lets the window come forward for the launch that asked.
    const QString token = platformData.value(QStringLiteral("activation-token")).toString();
    if (!token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    if (m_window->isMinimized())
        m_window->showNormal();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace quorvela
