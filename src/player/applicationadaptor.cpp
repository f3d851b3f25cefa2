#include "player/applicationadaptor.h"

#include "player/desktoplaunch.h"

namespace quorvela {

namespace {
const QString Failed = QStringLiteral("org.freedesktop.DBus.Error.Failed");
} // namespace

ApplicationAdaptor::ApplicationAdaptor(DesktopLaunch* launch)
    : QDBusAbstractAdaptor(launch), m_launch(launch) {}

void ApplicationAdaptor::Activate(const QVariantMap& platformData, const QDBusMessage& call) {
    if (const QString refused = m_launch->activate(platformData); !refused.isEmpty())
        m_launch->replyWithError(call, Failed, refused);
}

void ApplicationAdaptor::Open(const QStringList& uris, const QVariantMap& platformData,
                              const QDBusMessage& call) {
    // An error sends the launch that called on to open a window of its own.
    if (const QString refused = m_launch->open(uris, platformData, call.service());
        !refused.isEmpty())
        m_launch->replyWithError(call, Failed, refused);
}

void ApplicationAdaptor::ActivateAction(const QString& name, const QVariantList& /*parameter*/,
                                        const QVariantMap& /*platformData*/,
                                        const QDBusMessage& call) {
    // The desktop entry declares no actions.
    m_launch->replyWithError(call, QStringLiteral("org.freedesktop.DBus.Error.NotSupported"),
                             QStringLiteral("Quorvela has no action named \"%1\".").arg(name));
}

} // namespace quorvela
