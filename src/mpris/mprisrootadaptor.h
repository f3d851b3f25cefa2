#pragma once

#include "common/applicationid.h"
#include "common/mediatypes.h"

#include <QDBusAbstractAdaptor>
#include <QStringList>

namespace quorvela {

class MprisService;

// org.mpris.MediaPlayer2: who the player is, and raising and quitting it.
class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    explicit MprisRootAdaptor(MprisService* service);

    [[nodiscard]] bool canQuit() const { return true; }
    [[nodiscard]] bool canRaise() const { return true; }
    [[nodiscard]] bool hasTrackList() const { return false; }
    [[nodiscard]] QString identity() const { return QStringLiteral("Quorvela"); }
    [[nodiscard]] QString desktopEntry() const { return QString::fromLatin1(ApplicationId); }
    [[nodiscard]] QStringList supportedUriSchemes() const { return {QStringLiteral("file")}; }
    [[nodiscard]] QStringList supportedMimeTypes() const { return openedMediaTypes(); }

public slots:
    void Raise();
    void Quit();

private:
    MprisService* m_service;
};

} // namespace quorvela
