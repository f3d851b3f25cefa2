#pragma once

#include "common/applicationid.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

namespace quorvela {

class Form1;

// The program as one application to the desktop. Each window serves the freedesktop
// application interface (org.freedesktop.Application) under the application id on the
// session bus; the first holds the name and the others wait in line for it. A launch with
// files hands them to the window holding the name and ends; without files, or without a
// bus or a window, it opens a window of its own.
class DesktopLaunch : public QObject {
    Q_OBJECT
public:
    static constexpr const char* ApplicationId = quorvela::ApplicationId;
    static constexpr const char* ObjectPath = "/io/github/quorvela/Quorvela";
    static constexpr const char* Interface = "org.freedesktop.Application";
    // How long a launch waits for the running window to take its files.
    static constexpr int HandOverTimeoutMs = 10'000;

    // The files to open: paths and URIs, as itemsFromArguments() reads them. The session bus
    // is the one the environment names, if any.
    explicit DesktopLaunch(QStringList items);
    DesktopLaunch(QStringList items, const QDBusConnection& bus);
    ~DesktopLaunch() override;

    // The files named on the command line, once QApplication has taken its own options out.
    [[nodiscard]] static QStringList commandLine(int argc, const char* const* argv);

    [[nodiscard]] QStringList items() const { return m_items; }

    // With files to open and a window serving the application on the bus, hands the files to
    // it, which raises itself; true when it took them.
    [[nodiscard]] bool handOver();

    // Serves window on the bus, taking the application's name or waiting in line for it, and
    // opens the files in it once the program runs.
    void serve(Form1& window);

    // org.freedesktop.Application; false when there is no window to take the call.
    [[nodiscard]] bool activate(const QVariantMap& platformData);
    [[nodiscard]] bool open(const QStringList& uris, const QVariantMap& platformData);

    // Answers a call from a client with an error instead of the usual empty reply.
    void replyWithError(const QDBusMessage& call, const QString& name, const QString& text);

private:
    void raiseWindow(const QVariantMap& platformData);

    QStringList m_items;
    QDBusConnection m_bus;
    QPointer<Form1> m_window;
    bool m_serving = false;
};

} // namespace quorvela
