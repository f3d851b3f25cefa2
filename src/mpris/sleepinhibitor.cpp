#include "mpris/sleepinhibitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace quorvela {

namespace {

const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString ScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString ScreenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
// The portal's flag for suspending. Logging out and switching users stay free, and so does
// the screen's blanking: music needs no screen.
constexpr uint InhibitSuspend = 4;

} // namespace

SleepInhibitor::SleepInhibitor(PlaybackEngine& engine, QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    connect(&engine, &PlaybackEngine::stateChanged, this,
            [this](PlaybackEngine::State /*old*/, PlaybackEngine::State now) { follow(now); });
    follow(engine.state());
}

SleepInhibitor::~SleepInhibitor() {
    letGo();
}

void SleepInhibitor::follow(PlaybackEngine::State state) {
    m_wanted = state == PlaybackEngine::State::Playing;
    // While a request is on its way, its answer sees what is wanted by then.
    if (m_wanted && m_holder == Holder::None && !m_asking)
        askPortal();
    else if (!m_wanted)
        letGo();
}

template <typename Then>
void SleepInhibitor::whenAnswered(const QDBusPendingCall& call, Then then) {
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, then] {
        watcher->deleteLater();
        then(*watcher);
    });
}

void SleepInhibitor::askPortal() {
    m_asking = true;
    QDBusMessage call = QDBusMessage::createMethodCall(
        PortalService, QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"));
    // No window: the player asks for itself, with no dialog to place.
    call << QString() << InhibitSuspend
         << QVariantMap{{QStringLiteral("reason"), QString::fromLatin1(Reason)}};
    whenAnswered(m_bus.asyncCall(call), [this](const QDBusPendingCall& answer) {
        const QDBusPendingReply<QDBusObjectPath> reply = answer;
        if (reply.isError()) {
            m_asking = m_wanted;
            if (m_wanted)
                askScreenSaver();
            return;
        }
        m_asking = false;
        m_holder = Holder::Portal;
        m_request = reply.value();
        if (!m_wanted)
            letGo();
    });
}

void SleepInhibitor::askScreenSaver() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        ScreenSaverService, ScreenSaverPath, ScreenSaverService, QStringLiteral("Inhibit"));
    call << QStringLiteral("Quorvela") << QString::fromLatin1(Reason);
    whenAnswered(m_bus.asyncCall(call), [this](const QDBusPendingCall& answer) {
        m_asking = false;
        // Neither service answers: nothing is held, and there is nothing to tell the user.
        const QDBusPendingReply<uint> reply = answer;
        if (reply.isError())
            return;
        m_holder = Holder::ScreenSaver;
        m_cookie = reply.value();
        if (!m_wanted)
            letGo();
    });
}

void SleepInhibitor::letGo() {
    QDBusMessage call;
    switch (m_holder) {
    case Holder::None:
        return;
    case Holder::Portal:
        call = QDBusMessage::createMethodCall(PortalService, m_request.path(),
                                              QStringLiteral("org.freedesktop.portal.Request"),
                                              QStringLiteral("Close"));
        break;
    case Holder::ScreenSaver:
        call = QDBusMessage::createMethodCall(ScreenSaverService, ScreenSaverPath,
                                              ScreenSaverService, QStringLiteral("UnInhibit"));
        call << m_cookie;
        break;
    }
    m_holder = Holder::None;
    // The answer is not awaited: should the call fail, the service has gone, and what it held
    // went with it.
    m_bus.send(call);
}

} // namespace quorvela
