#pragma once

#include "audio/playbackengine.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>

class QDBusPendingCall;

namespace quorvela {

// Keeps the computer from suspending while music plays, and only then: a long track heard
// with no hand on the keyboard is not cut off by the desktop's automatic suspend. It asks
// the desktop portal (org.freedesktop.portal.Inhibit) first, else the screen saver
// (org.freedesktop.ScreenSaver), and lets go on pause, stop, the track's end and its own
// end. Every call goes out without waiting for its answer, and a desktop that offers
// neither service is no fault: the player simply holds nothing.
class SleepInhibitor : public QObject {
    Q_OBJECT
public:
    // What the desktop shows the user as the reason, where it lists inhibitors.
    static constexpr const char* Reason = "Playing music";

    // Follows engine's state from now on, asking the services on bus.
    SleepInhibitor(PlaybackEngine& engine, QDBusConnection bus, QObject* parent = nullptr);
    ~SleepInhibitor() override;

private:
    enum class Holder { None, Portal, ScreenSaver };

    void follow(PlaybackEngine::State state);
    void askPortal();
    void askScreenSaver();
    void letGo();
    // Runs then(reply) once call is answered, unless this is gone by then.
    template <typename Then> void whenAnswered(const QDBusPendingCall& call, Then then);

    QDBusConnection m_bus;
    bool m_wanted = false;
    bool m_asking = false;
    Holder m_holder = Holder::None;
    QDBusObjectPath m_request;
    uint m_cookie = 0;
};

} // namespace quorvela
