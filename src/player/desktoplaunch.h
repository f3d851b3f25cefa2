#pragma once

#include "common/applicationid.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace quorvela {

class Form1;

// The program as one application to the desktop. Each window serves the freedesktop
// application interface (org.freedesktop.Application) under the application id on the
// session bus. The bus grants that name to one connection at a time, and that decides: a
// launch asks for the name before it makes a window; the one that gets it opens the window,
// and a launch with files that does not hands them to the holder and ends. Launches without
// files, or without a bus, open windows of their own; later windows wait in line for the name.
//
// A window that does not take a launch's files in time is taken for gone, and the launch opens
// a window of its own. Which of the two acts on the files is settled by the bus too: each
// hand-over names a claim (a bus name made from the launch's own connection), and the window,
// before it opens the files, and the launch, once it has given up waiting, both ask for it.
// The bus grants it to one of them, so a window that wakes late never plays the files again.
class DesktopLaunch : public QObject {
    Q_OBJECT
public:
    static constexpr const char* ApplicationId = quorvela::ApplicationId;
    static constexpr const char* ObjectPath = "/io/github/quorvela/Quorvela";
    static constexpr const char* Interface = "org.freedesktop.Application";
    // The platform data key of a hand-over's claim, and the bus names a claim may be.
    static constexpr const char* ClaimKey = "quorvela-claim";
    static constexpr const char* ClaimPrefix = "io.github.quorvela.Quorvela.Launch.";
    // How long a launch waits for the running window to take its files.
    static constexpr int HandOverTimeoutMs = 10'000;

    // The files to open: paths and URIs, as itemsFromArguments() reads them. platformData is
    // what a window needs to come forward for this launch (launchPlatformData()). The session
    // bus is the one the environment names, if any.
    DesktopLaunch(QStringList items, QVariantMap platformData);
    DesktopLaunch(QStringList items, QVariantMap platformData, const QDBusConnection& bus);
    ~DesktopLaunch() override;

    // The items the files named on the command line stand for.
    [[nodiscard]] static QStringList itemsOf(const QList<QByteArray>& files);
    // The launcher's start-up notice from the environment, as org.freedesktop.Application's
    // platform data carries it. Read it before QApplication starts: Qt's X11 support takes
    // DESKTOP_STARTUP_ID out of the environment.
    [[nodiscard]] static QVariantMap launchPlatformData();

    [[nodiscard]] QStringList items() const { return m_items; }

    // Asks for the application's name for the window to come (a launch without files waits
    // in line for it), or, with files to open and a window holding the name, hands the files
    // to it, which raises itself; true when the files went to it (this launch then ends).
    [[nodiscard]] bool handOver();

    // Serves window on the bus, waiting in line for the name unless it is ours already, and
    // opens the files in it (this launch's own first, then those handed over before the window
    // was up) once the program runs.
    void serve(Form1& window);

    // org.freedesktop.Application, called by launcher (a bus name). Empty when done,
    // otherwise why the call is refused.
    [[nodiscard]] QString activate(const QVariantMap& platformData);
    [[nodiscard]] QString open(const QStringList& uris, const QVariantMap& platformData,
                               const QString& launcher);

    // Answers a call from a client with an error instead of the usual empty reply.
    void replyWithError(const QDBusMessage& call, const QString& name, const QString& text);

private:
    bool exportObject();
    void waitInLine();
    [[nodiscard]] QString claimName() const;
    // Asks the bus for a hand-over's claim: true when this connection holds it now, false
    // when another does, nothing when the bus did not answer.
    std::optional<bool> takeClaim(const QString& claim);
    void releaseClaimAfter(const QString& claim, const QString& launcher);
    void raiseWindow(const QVariantMap& platformData);

    QStringList m_items;
    QVariantMap m_platformData;
    QDBusConnection m_bus;
    QPointer<Form1> m_window;
    bool m_exported = false;
    // The application's name is ours, or we wait in line for it.
    bool m_named = false;
    bool m_served = false;
    // Handed over before the window was up.
    QStringList m_early;
    QVariantMap m_earlyPlatformData;
};

} // namespace quorvela
