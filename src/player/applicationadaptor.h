#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace quorvela {

class DesktopLaunch;

// org.freedesktop.Application, as launchers and a second launch of the program call it.
class ApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit ApplicationAdaptor(DesktopLaunch* launch);

public slots:
    void Activate(const QVariantMap& platformData, const QDBusMessage& call);
    void Open(const QStringList& uris, const QVariantMap& platformData, const QDBusMessage& call);
    void ActivateAction(const QString& name, const QVariantList& parameter,
                        const QVariantMap& platformData, const QDBusMessage& call);

private:
    DesktopLaunch* m_launch;
};

} // namespace quorvela
