#include "player/openitem.h"

#include "audio/mp3decoder.h"
#include "common/dialogs.h"
#include "common/localpath.h"
#include "player/form1.h"
#include "player/playlistpanel.h"
#include "playlist/playlistformats.h"

#include <QStringListModel>

#include <QSysInfo>
#include <QUrl>

#include <cctype>
#include <cerrno>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quorvela {

namespace {

// "scheme:" at the start, as RFC 3986 spells a scheme.
qsizetype schemeLength(QByteArrayView text) {
    if (text.isEmpty() || !std::isalpha(static_cast<unsigned char>(text.front())))
        return 0;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == ':')
            return i;
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return 0;
}

// A file URI in any spelling ("file:/x", "file:///x"), or another scheme with an authority
// ("https://..."). Anything else, "a:b.mp3" among them, is a path.
bool looksLikeUri(QByteArrayView text) {
    const qsizetype scheme = schemeLength(text);
    if (scheme == 0)
        return false;
    return text.first(scheme).compare("file", Qt::CaseInsensitive) == 0 ||
           text.sliced(scheme + 1).startsWith("//");
}

OpenItem refused(OpenItem item, const char* reason) {
    item.kind = OpenKind::Unopenable;
    item.reason = QString::fromUtf8(reason);
    return item;
}

// A name as it can stand in a message: readable, and a long one shortened in the middle.
QString shownName(const OpenItem& item) {
    constexpr qsizetype Longest = 200;
    QString name = item.path.isEmpty() ? item.given : readablePath(item.path);
    if (name.size() <= Longest)
        return name;
    return name.left(Longest / 2) + QStringLiteral("…") + name.right(Longest / 2);
}

} // namespace

QString localPathOfItem(const QString& item) {
    if (item.startsWith(QLatin1Char('/')))
        return item;
    const QUrl url(item);
    if (!url.isValid() || url.scheme() != QLatin1String("file"))
        return {};
    const QString host = url.host();
    if (!host.isEmpty() && host != QLatin1String("localhost") &&
        host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) != 0)
        return {};
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    // As GLib reads file URIs: an escaped "/" or NUL names no file.
    if (!encoded.startsWith('/') || encoded.contains("%00") || encoded.toLower().contains("%2f"))
        return {};
    return localPathFromBytes(QByteArray::fromPercentEncoding(encoded));
}

QStringList itemsFromArguments(const QList<QByteArray>& arguments,
                               const QByteArray& workingFolder) {
    QStringList items;
    for (const QByteArray& argument : arguments) {
        if (argument.isEmpty())
            continue;
        if (looksLikeUri(argument) || argument.startsWith('/')) {
            items.append(localPathFromBytes(argument));
            continue;
        }
        QByteArrayView relative(argument);
        while (relative.startsWith("./"))
            relative = relative.sliced(2);
        QByteArray path = workingFolder;
        if (!path.endsWith('/'))
            path += '/';
        path += relative;
        items.append(localPathFromBytes(path));
    }
    return items;
}

OpenItem examineOpenItem(const QString& item) {
    OpenItem out;
    out.given = item;
    out.path = localPathOfItem(item);
    if (out.path.isEmpty())
        return refused(out, "it is not a file on this computer");
    // By the bytes of the name, which need not be UTF-8.
    const QByteArray name = localPathBytes(out.path);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0) {
        out.missing = errno == ENOENT || errno == ENOTDIR;
        return refused(out, out.missing ? "it does not exist" : "it cannot be read");
    }
    if (S_ISDIR(status.st_mode)) {
        if (::access(name.constData(), R_OK | X_OK) != 0)
            return refused(out, "the folder cannot be opened");
        out.kind = OpenKind::Folder;
        return out;
    }
    // A pipe or a device could block the window, or never end.
    if (!S_ISREG(status.st_mode))
        return refused(out, "it is not a file");
    if (::access(name.constData(), R_OK) != 0)
        return refused(out, "it cannot be read");
    // The content decides first: read as a playlist, an MP3 file would fill the list with
    // garbage.
    Mp3Decoder decoder;
    if (decoder.open(out.path)) {
        out.kind = OpenKind::Mp3;
        return out;
    }
    if (isPlaylistName(out.path)) {
        out.kind = OpenKind::Playlist;
        return out;
    }
    return refused(out, "it is neither an MP3 file nor a playlist");
}

QString unopenedMessage(const QList<OpenItem>& items) {
    if (items.isEmpty())
        return {};
    if (items.size() == 1)
        return QStringLiteral("%1 could not be opened: %2.")
            .arg(shownName(items.first()), items.first().reason);
    // A list long enough to leave the screen would hide the OK button.
    constexpr qsizetype Listed = 20;
    QString text = QStringLiteral("These could not be opened:\n");
    for (qsizetype i = 0; i < items.size() && i < Listed; ++i)
        text += QStringLiteral("\n%1: %2.").arg(shownName(items.at(i)), items.at(i).reason);
    if (items.size() > Listed)
        text += QStringLiteral("\n\n(%1 more could not be opened.)").arg(items.size() - Listed);
    return text;
}

ItemOpener::ItemOpener(Form1* form, PlaylistPanel* panel, Dialogs& dialogs)
    : QObject(form), m_form(form), m_panel(panel), m_dialogs(dialogs) {}

void ItemOpener::open(const QStringList& items) {
    // Playlists are read off the window's thread, so every item takes its turn after the loads
    // asked for before it: the list fills in the order given, and the first MP3 plays and the
    // message shows once all are in.
    struct Opening {
        // Each item that was refused, or may fail, in order; its reason is empty while it
        // has not failed.
        QList<OpenItem> unopened;
        int firstMp3 = -1;
    };
    const auto opening = std::make_shared<Opening>();
    // MP3 files in a row go on the list together: one change of a long list, not one each.
    QStringList mp3s;
    auto appendMp3s = [&] {
        if (mp3s.isEmpty())
            return;
        m_panel->afterLoads([this, opening, entries = std::exchange(mp3s, {})]() mutable {
            if (opening->firstMp3 < 0)
                opening->firstMp3 = m_form->playlistModel()->rowCount();
            m_panel->append(std::move(entries));
        });
    };
    for (const QString& given : items) {
        OpenItem item = examineOpenItem(given);
        if (item.kind == OpenKind::Mp3) {
            mp3s.append(item.path);
            continue;
        }
        appendMp3s();
        const qsizetype slot = opening->unopened.size();
        opening->unopened.append(item);
        switch (item.kind) {
        case OpenKind::Mp3:
        case OpenKind::Unopenable:
            break;
        case OpenKind::Playlist:
            opening->unopened[slot].reason.clear();
            m_panel->loadFile(item.path, [opening, slot](bool whole, qsizetype added) {
                if (!whole)
                    opening->unopened[slot].reason =
                        added == 0 ? QStringLiteral("it cannot be read")
                                   : QStringLiteral("only part of it could be read");
            });
            break;
        case OpenKind::Folder:
            opening->unopened[slot].reason.clear();
            m_panel->afterLoads([this, opening, slot, folder = item.path] {
                if (!m_form->chooseFolder(folder))
                    opening->unopened[slot].reason = QStringLiteral("the folder cannot be opened");
            });
            break;
        }
    }
    appendMp3s();
    m_panel->afterLoads([this, opening] {
        if (m_form->isUnloaded())
            return;
        if (opening->firstMp3 >= 0)
            m_panel->playEntry(opening->firstMp3);
        QList<OpenItem> unopened;
        for (const OpenItem& item : opening->unopened) {
            if (!item.reason.isEmpty())
                unopened.append(item);
        }
        if (!unopened.isEmpty())
            m_dialogs.message(m_form, unopenedMessage(unopened), QStringLiteral("Quorvela"),
                              Dialogs::Icon::None);
    });
}

void ItemOpener::openSoon(const QStringList& items) {
    QMetaObject::invokeMethod(
        this,
        [this, items] {
            if (!m_form->isUnloaded())
                open(items);
        },
        Qt::QueuedConnection);
}

} // namespace quorvela
