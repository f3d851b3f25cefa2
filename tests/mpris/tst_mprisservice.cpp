#include "app/mediacontrols.h"
#include "audio/nullaudiooutput.h"
#include "audio/playbackengine.h"
#include "common/localpath.h"
#include "mpris/mprisservice.h"
#include "player/form1.h"
#include "support/audiofixtures.h"
#include "support/fakes.h"
#include "support/fixtures.h"
#include "support/id3fixtures.h"
#include "support/widgetdriver.h"
#include "widgets/filelistbox.h"
#include "widgets/mediaplayer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace quorvela;
using State = PlaybackEngine::State;
using test::id3::Encoding;
namespace id3 = test::id3;

namespace {

const QString Player = QStringLiteral("org.mpris.MediaPlayer2.Player");

QList<QtMsgType> g_messages;
void recordMessage(QtMsgType type, const QMessageLogContext& /*context*/, const QString& /*text*/) {
    g_messages.append(type);
}

} // namespace

class TestMprisService : public QObject {
    Q_OBJECT
public slots:
    // Called over the bus; not a test.
    void onPropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                             const QStringList& /*invalidated*/) {
        if (interfaceName == Player && changed.contains(QStringLiteral("PlaybackStatus")))
            m_statusHeard.append(changed.value(QStringLiteral("PlaybackStatus")).toString());
    }
    void onSeeked(qlonglong position) { m_seeksHeard.append(position); }

private slots:
    void initTestCase();
    void noSessionBusChangesNothing_data();
    void noSessionBusChangesNothing();
    void metadataFollowsTheOpenFile();
    void transportFollowsTheRules_data();
    void transportFollowsTheRules();
    void announcesChanges();
    void nextAndPreviousFollowTheList_data();
    void nextAndPreviousFollowTheList();
    void servesOnAPrivateBus();
    void cleanupTestCase();

private:
    QTemporaryDir m_dir;
    QString m_plain;  // "My Song.mp3": 3 s, no tag
    QString m_tagged; // ID3v2.4 title, artist and front cover
    QByteArray m_cover;
    QProcess m_bus;
    QStringList m_statusHeard;
    QList<qlonglong> m_seeksHeard;
};

void TestMprisService::initTestCase() {
    // Set before anything in this process looks for a session bus: none answers here.
    qputenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName(QStringLiteral("unix:path=") +
                                                          m_dir.filePath(QStringLiteral("none"))));
    QVERIFY(m_dir.isValid());
    QString error;
    const QString made =
        test::makeToneMp3(m_dir.path(), QStringLiteral("tone"), 3.0, 44100, 2, 440.0,
                          {QStringLiteral("-b"), QStringLiteral("128")}, &error);
    QVERIFY2(!made.isEmpty(), qPrintable(error));
    m_plain = m_dir.filePath(QStringLiteral("My Song.mp3"));
    QVERIFY(QFile::rename(made, m_plain));
    m_cover = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(2000, 'c');
    m_tagged = m_dir.filePath(QStringLiteral("tagged.mp3"));
    QVERIFY(test::writeTagged(
        m_plain, m_tagged,
        id3::tag(4, id3::textFrame(4, "TIT2", Encoding::Utf8, {QStringLiteral("Tagged Title")}) +
                        id3::textFrame(4, "TPE1", Encoding::Utf8, {QStringLiteral("Someone")}) +
                        id3::pictureFrame(4, "image/png", 3, m_cover))));
}

void TestMprisService::cleanupTestCase() {
    if (m_bus.state() != QProcess::NotRunning) {
        m_bus.terminate();
        m_bus.waitForFinished(5000);
    }
}

void TestMprisService::noSessionBusChangesNothing_data() {
    QTest::addColumn<QByteArray>("address");
    // First: once asked, the toolkit keeps its session bus for the life of the process.
    QTest::newRow("no bus named") << QByteArray();
    QTest::newRow("the named bus is not there")
        << QFile::encodeName(QStringLiteral("unix:path=") + m_dir.filePath(QStringLiteral("none")));
}

void TestMprisService::noSessionBusChangesNothing() {
    QFETCH(QByteArray, address);
    if (address.isEmpty())
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    // Where libdbus would look for the session's bus; nothing is there.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.path()));
    test::TestEnvironment environment;
    Form1 window(environment.services());
    g_messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordMessage);
    const auto controls = publishMediaControls(window, environment.engine());
    const bool published = controls != nullptr;
    qInstallMessageHandler(previous);
    QVERIFY(!published);
    QVERIFY(!controls);
    QVERIFY2(g_messages.isEmpty(), "the program said something about the missing bus");
    QVERIFY(window.MediaPlayer1->setFileName(m_plain));
    QVERIFY(window.MediaPlayer1->play());
}

void TestMprisService::metadataFollowsTheOpenFile() {
    PlaybackEngine engine(std::make_unique<NullAudioOutput>());
    const QString art = m_dir.filePath(QStringLiteral("art"));
    MprisService service(&engine, {}, ArtCache(art));
    QVERIFY(service.metadata().isEmpty());
    QVERIFY(!service.hasTrack());

    QVERIFY(engine.open(m_plain));
    QVariantMap meta = service.metadata();
    QCOMPARE(meta.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("My Song"));
    // A valid URI: the blank escaped.
    QCOMPARE(meta.value(QStringLiteral("xesam:url")).toString(),
             QUrl::fromLocalFile(m_plain).toString(QUrl::FullyEncoded));
    QCOMPARE(meta.value(QStringLiteral("mpris:length")).toLongLong(), 3'000'000);
    QVERIFY(!meta.contains(QStringLiteral("xesam:artist")));
    QVERIFY(!meta.contains(QStringLiteral("mpris:artUrl")));
    const auto firstId = meta.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>();
    QCOMPARE(firstId, service.trackId());
    QVERIFY(firstId.path().startsWith(QLatin1String("/org/quorvela/track/")));

    // The same file opened again is another track to the desktop.
    QVERIFY(engine.open(m_plain));
    QVERIFY(service.trackId() != firstId);
    QCOMPARE(service.metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>(),
             service.trackId());

    // A name that is not UTF-8 is shown readably and handed on by its bytes.
    const QByteArray latin1 = QFile::encodeName(m_dir.path()) + "/Caf\xe9.mp3";
    QVERIFY(test::copyFileTo(m_plain, latin1));
    QVERIFY(engine.open(localPathFromBytes(latin1)));
    ::unlink(latin1.constData());
    meta = service.metadata();
    QCOMPARE(meta.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("Café"));
    QCOMPARE(meta.value(QStringLiteral("xesam:url")).toString().toLatin1(),
             "file://" + QFile::encodeName(m_dir.path()).toPercentEncoding("/") + "/Caf%E9.mp3");

    QVERIFY(engine.open(m_tagged));
    meta = service.metadata();
    QCOMPARE(meta.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("Tagged Title"));
    QCOMPARE(meta.value(QStringLiteral("xesam:artist")).toStringList(),
             QStringList{QStringLiteral("Someone")});
    const QUrl artUrl(meta.value(QStringLiteral("mpris:artUrl")).toString());
    QVERIFY(artUrl.isLocalFile());
    QVERIFY(artUrl.toLocalFile().startsWith(art + QLatin1Char('/')));
    QFile picture(artUrl.toLocalFile());
    QVERIFY(picture.open(QIODevice::ReadOnly));
    QCOMPARE(picture.readAll(), m_cover);
}

void TestMprisService::transportFollowsTheRules_data() {
    QTest::addColumn<bool>("setPosition"); // else Seek
    QTest::addColumn<bool>("staleTrack");
    QTest::addColumn<qint64>("microseconds");
    QTest::addColumn<qint64>("seekedTo"); // -1: no seek
    QTest::addColumn<State>("state");

    QTest::newRow("SetPosition") << true << false << qint64(2'000'000) << qint64(2'000'000)
                                 << State::Playing;
    QTest::newRow("SetPosition, stale track id")
        << true << true << qint64(2'000'000) << qint64(-1) << State::Playing;
    QTest::newRow("SetPosition past the end")
        << true << false << qint64(3'500'000) << qint64(-1) << State::Playing;
    QTest::newRow("SetPosition before the start")
        << true << false << qint64(-1) << qint64(-1) << State::Playing;
    QTest::newRow("Seek forward") << false << false << qint64(1'500'000) << qint64(2'500'000)
                                  << State::Playing;
    QTest::newRow("Seek back past the start")
        << false << false << qint64(-5'000'000) << qint64(0) << State::Playing;
    QTest::newRow("Seek past the end stops")
        << false << false << qint64(5'000'000) << qint64(-1) << State::Stopped;
}

void TestMprisService::transportFollowsTheRules() {
    QFETCH(bool, setPosition);
    QFETCH(bool, staleTrack);
    QFETCH(qint64, microseconds);
    QFETCH(qint64, seekedTo);
    QFETCH(State, state);

    PlaybackEngine engine(std::make_unique<NullAudioOutput>());
    MprisService service(&engine, {}, ArtCache(m_dir.filePath(QStringLiteral("art"))));
    QVERIFY(engine.open(m_plain));
    const QDBusObjectPath stale = service.trackId();
    QVERIFY(engine.open(m_plain));
    QVERIFY(service.play());
    QVERIFY(engine.seek(1.0));
    QSignalSpy seeked(&service, &MprisService::seeked);

    if (setPosition)
        service.setPosition(staleTrack ? stale : service.trackId(), microseconds);
    else
        service.seek(microseconds);

    QCOMPARE(engine.state(), state);
    if (seekedTo < 0) {
        QCOMPARE(seeked.count(), 0);
        if (state == State::Playing)
            QVERIFY(engine.position() >= 1.0 && engine.position() < 1.5);
    } else {
        QCOMPARE(seeked.count(), 1);
        // Seek is relative to what is heard, which has moved on a little since.
        QVERIFY(qAbs(seeked.first().first().toLongLong() - seekedTo) < 200'000);
        QVERIFY(qAbs(service.positionUs() - seekedTo) < 200'000);
    }
}

void TestMprisService::announcesChanges() {
    PlaybackEngine engine(std::make_unique<NullAudioOutput>());
    MprisService service(&engine, {}, ArtCache(m_dir.filePath(QStringLiteral("art"))));
    QSignalSpy changes(&service, &MprisService::propertiesChanged);
    auto last = [&] { return changes.isEmpty() ? QVariantMap() : changes.last().at(1).toMap(); };

    QVERIFY(engine.open(m_plain));
    QVERIFY(last().contains(QStringLiteral("Metadata")));
    QCOMPARE(last().value(QStringLiteral("CanPlay")), QVariant(true));
    QCOMPARE(last().value(QStringLiteral("CanSeek")), QVariant(true));
    QVERIFY(service.playPause());
    QCOMPARE(last(), (QVariantMap{{QStringLiteral("PlaybackStatus"), QStringLiteral("Playing")}}));
    QVERIFY(service.playPause());
    QCOMPARE(last(), (QVariantMap{{QStringLiteral("PlaybackStatus"), QStringLiteral("Paused")}}));
    engine.setVolume(50);
    QCOMPARE(last(), (QVariantMap{{QStringLiteral("Volume"), 0.5}}));
    service.setVolume(0.25);
    QCOMPARE(engine.volume(), 25);
    service.setVolume(-1.0);
    QCOMPARE(engine.volume(), 0);
    service.stop();
    QCOMPARE(last(), (QVariantMap{{QStringLiteral("PlaybackStatus"), QStringLiteral("Stopped")}}));
    for (const QList<QVariant>& change : changes) {
        QCOMPARE(change.at(0).toString(), Player);
        // Clients compute the position themselves; announcing it would flood the bus.
        QVERIFY(!change.at(1).toMap().contains(QStringLiteral("Position")));
    }
}

void TestMprisService::nextAndPreviousFollowTheList_data() {
    QTest::addColumn<bool>("playlist"); // else the folder list
    QTest::addColumn<int>("start");     // the row double-clicked
    // 4: seek to 4 s; N: Next; P: Previous; A, D, C: the playlist's Add, Delete, Clear
    QTest::addColumn<QString>("presses");
    QTest::addColumn<int>("plays"); // the row selected and playing then; -1: none selected
    // s: playing from about its start; n, p: CanGoNext, CanGoPrevious, as last announced
    QTest::addColumn<QString>("then");
    for (const bool playlist : {false, true}) {
        const auto row = [&](const char* name, int start, const char* presses, int plays,
                             const char* then) {
            QTest::newRow((QByteArray(playlist ? "playlist: " : "folder: ") + name).data())
                << playlist << start << QString::fromLatin1(presses) << plays
                << QString::fromLatin1(then);
        };
        row("Next", 0, "N", 1, "snp");
        row("Next at the end", 2, "N", 2, "sp");
        row("Previous", 2, "P", 1, "snp");
        row("Previous at the start", 0, "P", 0, "sn");
        row("Previous after 4 s restarts", 1, "4P", 1, "snp");
        row("Previous after 4 s at the start", 0, "4P", 0, "n");
        if (playlist) {
            row("Add after the end", 2, "A", 2, "snp");
            row("Delete the playing entry, Next", 1, "DN", 1, "sp");
            row("Clear", 1, "C", -1, "s");
        }
    }
}

void TestMprisService::nextAndPreviousFollowTheList() {
    QFETCH(bool, playlist);
    QFETCH(int, start);
    QFETCH(QString, presses);
    QFETCH(int, plays);
    QFETCH(QString, then);
    const QString folder = m_dir.filePath(QStringLiteral("three"));
    const QStringList names{"a.mp3", "b.mp3", "c.mp3"};
    QStringList paths;
    for (const QString& name : names) {
        paths.append(folder + u'/' + name);
        QVERIFY(QFile::exists(paths.last()) || test::makeToneMp3(paths.last(), 5.0));
    }
    test::TestEnvironment environment;
    environment.store(QStringLiteral("lastdir"), folder);
    Form1 window(environment.services());
    window.playlistModel()->setStringList(paths);
    PlaybackEngine& engine = environment.engine();
    MprisService service(&engine, {}, ArtCache(m_dir.filePath(QStringLiteral("art"))));
    offerNextAndPrevious(service, window);
    QSignalSpy changes(&service, &MprisService::propertiesChanged);
    QListView* list = playlist ? window.List1 : window.File1;
    test::doubleClickRow(list, start);
    const QHash<QChar, QPushButton*> buttons{
        {u'A', window.Command1}, {u'D', window.Command2}, {u'C', window.Command5}};
    for (const QChar press : presses) {
        if (press == u'4')
            QVERIFY(engine.seek(4.0));
        else if (press == u'N')
            service.next();
        else if (press == u'P')
            service.previous();
        else if (press == u'A') // the folder list's first file
            window.File1->setCurrentIndex(window.File1->model()->index(0, 0));
        if (QPushButton* button = buttons.value(press))
            button->click();
    }
    QCOMPARE(list->currentIndex().row(), plays);
    if (plays >= 0) {
        QCOMPARE(engine.fileName(), playlist ? list->currentIndex().data().toString()
                                             : folder + u'/' + names.at(plays));
        QCOMPARE(window.Label1->text(), playlist ? QStringLiteral("Playlist") : names.at(plays));
    }
    QCOMPARE(engine.position() < 2.0, then.contains(u's'));
    QVariantMap announced;
    for (const QList<QVariant>& change : changes)
        announced.insert(change.at(1).toMap());
    QCOMPARE(announced.value(QStringLiteral("CanGoNext"), false).toBool(), then.contains(u'n'));
    QCOMPARE(announced.value(QStringLiteral("CanGoPrevious"), false).toBool(), then.contains(u'p'));
}

void TestMprisService::servesOnAPrivateBus() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        QSKIP("dbus-daemon is not installed");
    const QString socket = m_dir.filePath(QStringLiteral("private-bus"));
    m_bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                         QStringLiteral("--address=unix:path=") + socket,
                         QStringLiteral("--print-address")});
    QVERIFY(m_bus.waitForStarted());
    QTRY_VERIFY(m_bus.canReadLine());
    const QString address = QString::fromUtf8(m_bus.readLine()).trimmed();
    QDBusConnection first = QDBusConnection::connectToBus(address, QStringLiteral("first"));
    QDBusConnection second = QDBusConnection::connectToBus(address, QStringLiteral("second"));
    QDBusConnection client = QDBusConnection::connectToBus(address, QStringLiteral("client"));
    QVERIFY(first.isConnected() && second.isConnected() && client.isConnected());

    PlaybackEngine engine(std::make_unique<NullAudioOutput>());
    MprisService service(&engine, {}, ArtCache(m_dir.filePath(QStringLiteral("art"))));
    QVERIFY(service.registerOn(first));
    QCOMPARE(service.busName(), QStringLiteral("org.mpris.MediaPlayer2.quorvela"));
    {
        // A second instance takes a name of its own.
        PlaybackEngine otherEngine(std::make_unique<NullAudioOutput>());
        MprisService other(&otherEngine, {}, ArtCache(m_dir.filePath(QStringLiteral("art"))));
        QVERIFY(other.registerOn(second));
        QCOMPARE(other.busName(), QStringLiteral("org.mpris.MediaPlayer2.quorvela.instance%1")
                                      .arg(QCoreApplication::applicationPid()));
    }

    QVERIFY(client.connect(service.busName(), QString::fromLatin1(MprisService::ObjectPath),
                           QStringLiteral("org.freedesktop.DBus.Properties"),
                           QStringLiteral("PropertiesChanged"), this,
                           SLOT(onPropertiesChanged(QString, QVariantMap, QStringList))));
    QVERIFY(client.connect(service.busName(), QString::fromLatin1(MprisService::ObjectPath), Player,
                           QStringLiteral("Seeked"), this, SLOT(onSeeked(qlonglong))));
    QVERIFY(engine.open(m_plain));
    QVERIFY(engine.play());
    QTRY_COMPARE(m_statusHeard, QStringList{QStringLiteral("Playing")});
    QVERIFY(engine.seek(1.25));
    QTRY_COMPARE(m_seeksHeard, QList<qlonglong>{1'250'000});

    // Opening is the window's: with none to take the URI, the call fails and nothing changes.
    QDBusMessage open = QDBusMessage::createMethodCall(
        service.busName(), QString::fromLatin1(MprisService::ObjectPath), Player,
        QStringLiteral("OpenUri"));
    open << QUrl::fromLocalFile(m_plain).toString();
    QDBusPendingCall pending = client.asyncCall(open);
    QTRY_VERIFY(pending.isFinished());
    QVERIFY(pending.isError());
    QCOMPARE(engine.state(), State::Playing);

    QDBusMessage get = QDBusMessage::createMethodCall(
        service.busName(), QString::fromLatin1(MprisService::ObjectPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << Player << QStringLiteral("PlaybackStatus");
    QDBusPendingReply<QDBusVariant> status = client.asyncCall(get);
    QTRY_VERIFY(status.isFinished());
    QCOMPARE(status.value().variant().toString(), QStringLiteral("Playing"));

    // The types offered to clients are the ones the desktop entry opens.
    const QStringList entryTypes =
        QRegularExpression(QStringLiteral("^MimeType=(.*)$"), QRegularExpression::MultilineOption)
            .match(QString::fromUtf8(test::readFile(
                QStringLiteral(QUORVELA_SOURCE_DIR "/data/io.github.quorvela.Quorvela.desktop"))))
            .captured(1)
            .split(u';', Qt::SkipEmptyParts);
    QVERIFY(entryTypes.contains(QStringLiteral("audio/mpeg")));
    get.setArguments(
        {QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("SupportedMimeTypes")});
    QDBusPendingReply<QDBusVariant> types = client.asyncCall(get);
    QTRY_VERIFY(types.isFinished());
    QCOMPARE(types.value().variant().toStringList(), entryTypes);
}

QTEST_MAIN(TestMprisService)
#include "tst_mprisservice.moc"
