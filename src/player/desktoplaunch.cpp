#include "player/desktoplaunch.h"

#include "common/sessionbus.h"
#include "player/applicationadaptor.h"
#include "player/form1.h"
#include "player/openitem.h"
#include "player/startupnotice.h"

#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QUrl>

#include <unistd.h>

#include <utility>
#include <vector>

namespace quorvela {

namespace {

const QString NoWindow = QStringLiteral("The Quorvela window has been closed.");

QDBusConnection sessionBusIfNamed() {
    // Asked for one with none named, libdbus would start a bus of its own and leave it running.
    if (sessionBusNamed())
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

// An item as the interface carries it: a valid URI, a local file's by its exact bytes.
QString uriOfItem(const QString& item) {
    const QString path = localPathOfItem(item);
    if (!path.isEmpty())
        return fileUriOf(path);
    return QString::fromLatin1(QUrl(item).toEncoded());
}

} // namespace

DesktopLaunch::DesktopLaunch(QStringList items, QVariantMap platformData)
    : DesktopLaunch(std::move(items), std::move(platformData), sessionBusIfNamed()) {}

DesktopLaunch::DesktopLaunch(QStringList items, QVariantMap platformData,
                             const QDBusConnection& bus)
    : m_items(std::move(items)), m_platformData(std::move(platformData)), m_bus(bus) {
    new ApplicationAdaptor(this);
}

DesktopLaunch::~DesktopLaunch() {
    // The next window in line takes the name.
    if (m_exported)
        m_bus.unregisterObject(QString::fromLatin1(ObjectPath));
    if (m_named)
        (void)m_bus.interface()->unregisterService(QString::fromLatin1(ApplicationId));
}

QStringList DesktopLaunch::itemsOf(const QList<QByteArray>& files) {
    if (files.isEmpty())
        return {};
    return itemsFromArguments(files, workingFolder());
}

QVariantMap DesktopLaunch::launchPlatformData() {
    QVariantMap data;
    if (const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN"); !token.isEmpty())
        data.insert(QStringLiteral("activation-token"), QString::fromUtf8(token));
    if (const QByteArray id = qgetenv("DESKTOP_STARTUP_ID"); !id.isEmpty())
        data.insert(QStringLiteral("desktop-startup-id"), QString::fromUtf8(id));
    return data;
}

bool DesktopLaunch::exportObject() {
    // Before the name: a launch may call as soon as the name is ours.
    if (!m_exported)
        m_exported = m_bus.registerObject(QString::fromLatin1(ObjectPath), this,
                                          QDBusConnection::ExportAdaptors);
    return m_exported;
}

QString DesktopLaunch::claimName() const {
    // The launch's own connection is unique on the bus for the bus's life.
    QString unique = m_bus.baseService();
    unique.replace(QLatin1Char(':'), QLatin1Char('_')).replace(QLatin1Char('.'), QLatin1Char('_'));
    return QString::fromLatin1(ClaimPrefix) + unique;
}

std::optional<bool> DesktopLaunch::takeClaim(const QString& claim) {
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        m_bus.interface()->registerService(claim, QDBusConnectionInterface::DontQueueService,
                                           QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid())
        return std::nullopt;
    return reply.value() == QDBusConnectionInterface::ServiceRegistered;
}

bool DesktopLaunch::handOver() {
    if (!m_bus.isConnected() || !exportObject())
        return false;
    const QString name = QString::fromLatin1(ApplicationId);
    QDBusConnectionInterface* bus = m_bus.interface();
    if (m_items.isEmpty()) {
        waitInLine();
        return false;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> asked =
        bus->registerService(name, QDBusConnectionInterface::DontQueueService,
                             QDBusConnectionInterface::AllowReplacement);
    if (!asked.isValid())
        return false;
    if (asked.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_named = true;
        return false;
    }

    QStringList uris;
    for (const QString& item : m_items)
        uris.append(uriOfItem(item));
    QVariantMap platformData = m_platformData;
    const QString claim = claimName();
    platformData.insert(QString::fromLatin1(ClaimKey), claim);
    QDBusMessage call =
        QDBusMessage::createMethodCall(name, QString::fromLatin1(ObjectPath),
                                       QString::fromLatin1(Interface), QStringLiteral("Open"));
    call << uris << platformData;
    // Only a window that runs: the bus is not to start one.
    call.setAutoStartService(false);
    if (m_bus.call(call, QDBus::Block, HandOverTimeoutMs).type() == QDBusMessage::ReplyMessage)
        return true;

    // No answer in time, or a refusal: the files are this launch's, unless the window took
    // the claim before it, late.
    if (const std::optional<bool> ours = takeClaim(claim); ours.has_value() && !*ours)
        return true;
    // Later launches must not wait on a window that does not answer: the name comes to this
    // one (which that window allows), and the old window waits in line behind it.
    constexpr uint AllowReplacement = 0x1;
    constexpr uint ReplaceExisting = 0x2;
    m_named =
        bus->call(QStringLiteral("RequestName"), name, AllowReplacement | ReplaceExisting).type() ==
        QDBusMessage::ReplyMessage;
    return false;
}

void DesktopLaunch::waitInLine() {
    // A second window waits in line, and serves once the first has gone. It lets a launch that
    // gave up waiting for it take the name.
    m_named = m_bus.interface()
                  ->registerService(QString::fromLatin1(ApplicationId),
                                    QDBusConnectionInterface::QueueService,
                                    QDBusConnectionInterface::AllowReplacement)
                  .isValid();
}

void DesktopLaunch::serve(Form1& window) {
    m_window = &window;
    m_served = true;
    if (m_bus.isConnected() && exportObject() && !m_named)
        waitInLine();
    if (!m_earlyPlatformData.isEmpty())
        raiseWindow(std::exchange(m_earlyPlatformData, {}));
    // Once the window is up: a message about a file must not come before it. This launch
    // was first to ask for the name, so its own files come first.
    const QStringList items = m_items + std::exchange(m_early, {});
    if (!items.isEmpty())
        window.opener().openSoon(items);
}

QString DesktopLaunch::activate(const QVariantMap& platformData) {
    if (m_served && (!m_window || m_window->isUnloaded()))
        return NoWindow;
    if (!m_served)
        m_earlyPlatformData = platformData;
    else
        raiseWindow(platformData);
    return {};
}

QString DesktopLaunch::open(const QStringList& uris, const QVariantMap& platformData,
                            const QString& launcher) {
    if (m_served && (!m_window || m_window->isUnloaded()))
        return NoWindow;
    const QString claim = platformData.value(QString::fromLatin1(ClaimKey)).toString();
    if (!claim.isEmpty()) {
        if (!claim.startsWith(QLatin1String(ClaimPrefix)) || !takeClaim(claim).value_or(false))
            return QStringLiteral("The launch has opened a window of its own.");
        releaseClaimAfter(claim, launcher);
    }
    if (!m_served) {
        m_early += uris;
        m_earlyPlatformData = platformData;
        return {};
    }
    raiseWindow(platformData);
    // After the caller has its answer: it waits for it, and must not wait for a message the
    // opening may show.
    m_window->opener().openSoon(uris);
    return {};
}

void DesktopLaunch::releaseClaimAfter(const QString& claim, const QString& launcher) {
    // The launch asks for its claim only while it runs; once it has gone the name is free to go.
    auto* watcher =
        new QDBusServiceWatcher(launcher, m_bus, QDBusServiceWatcher::WatchForUnregistration, this);
    auto release = [this, claim, watcher] {
        (void)m_bus.interface()->unregisterService(claim);
        watcher->deleteLater();
    };
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, release);
    // The watch is in place before this question reaches the bus.
    if (const QDBusReply<bool> running = m_bus.interface()->isServiceRegistered(launcher);
        running.isValid() && !running.value())
        release();
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
    bringForward(*m_window,
                 platformData.value(QStringLiteral("desktop-startup-id")).toString().toUtf8());
}

} // namespace quorvela
