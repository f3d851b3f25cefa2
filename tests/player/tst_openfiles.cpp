// Files opened from outside the window: the command line, a second launch over the session bus,
// drops, and Enter on a list.
#include "common/localpath.h"
#include "player/commandline.h"
#include "player/desktoplaunch.h"
#include "player/form1.h"
#include "player/openitem.h"
#include "support/fakes.h"
#include "support/fixtures.h"
#include "support/widgetdriver.h"
#include "widgets/filelistbox.h"
#include "widgets/mediaplayer.h"

#include <QDBusConnection>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <future>
#include <memory>

using namespace quorvela;
using State = MediaPlayer::State;

class TestOpenFiles : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_tone;      // an MP3 file
    QString m_oddName;   // an MP3 file named like anything but one
    QString m_mp3AsList; // an MP3 file named like a playlist
    QString m_foreign;   // an MP3 file whose name is not UTF-8
    QString m_playlist;  // an M3U file of two entries
    QStringList m_listed;
    QString m_text;
    QString m_folder; // holds two MP3 files
    QProcess m_bus;

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<Form1> window;

    Form1& open(const QString& folder = {}) {
        if (!folder.isEmpty())
            env->store(QStringLiteral("lastdir"), folder);
        window = std::make_unique<Form1>(env->services());
        window->show();
        return *window;
    }

    [[nodiscard]] QStringList messages() const {
        QStringList texts;
        for (const auto& message : env->dialogs.messages)
            texts.append(message.text);
        return texts;
    }

    // A private session bus; its address, or empty when dbus-daemon is missing.
    QString startBus() {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return {};
        m_bus.start(daemon,
                    {QStringLiteral("--session"), QStringLiteral("--nofork"),
                     QStringLiteral("--address=unix:path=") + m_dir.filePath(QStringLiteral("bus")),
                     QStringLiteral("--print-address")});
        if (!m_bus.waitForStarted() || !m_bus.waitForReadyRead(5000))
            return {};
        return QString::fromUtf8(m_bus.readLine()).trimmed();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_tone = m_dir.filePath(QStringLiteral("tone.mp3"));
        if (!test::makeToneMp3(m_tone, 2.0))
            QSKIP("sox and lame are needed to make an MP3");
        m_oddName = m_dir.filePath(QStringLiteral("Recording.DAT"));
        QVERIFY(QFile::copy(m_tone, m_oddName));
        m_mp3AsList = m_dir.filePath(QStringLiteral("song.m3u"));
        QVERIFY(QFile::copy(m_tone, m_mp3AsList));
        const QByteArray foreign = QFile::encodeName(m_dir.path()) + "/caf\xe9.mp3";
        QVERIFY(test::copyFileTo(m_tone, foreign));
        m_foreign = localPathFromBytes(foreign);
        m_listed = {m_dir.filePath(QStringLiteral("one.mp3")),
                    m_dir.filePath(QStringLiteral("two.mp3"))};
        m_playlist = m_dir.filePath(QStringLiteral("list.M3U"));
        QVERIFY(test::writeFile(m_playlist, "#EXTM3U\none.mp3\ntwo.mp3\n"));
        m_text = m_dir.filePath(QStringLiteral("notes.txt"));
        QVERIFY(test::writeFile(m_text, "Not music.\n"));
        m_folder = m_dir.filePath(QStringLiteral("album"));
        QVERIFY(QDir().mkpath(m_folder));
        QVERIFY(QFile::copy(m_tone, m_folder + QStringLiteral("/b.mp3")));
        QVERIFY(QFile::copy(m_tone, m_folder + QStringLiteral("/a.mp3")));
    }
    void init() { env = std::make_unique<test::TestEnvironment>(); }
    void cleanup() {
        window.reset();
        env.reset();
    }
    void cleanupTestCase() {
        // Qt cannot remove names that are not UTF-8.
        const QByteArray dir = QFile::encodeName(m_dir.path());
        ::unlink((dir + "/caf\xe9.mp3").constData());
        ::rmdir((dir + "/d\xe9mo").constData());
        if (m_bus.state() != QProcess::NotRunning) {
            m_bus.terminate();
            m_bus.waitForFinished(5000);
        }
    }

    void commandLineNamesFiles_data() {
        QTest::addColumn<QByteArray>("argument");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("path"); // empty: no file on this computer
        const QString latin1 = localPathFromBytes("/m/caf\xe9.mp3");
        QTest::newRow("relative") << QByteArray("./x/../a.mp3") << "/work/x/../a.mp3"
                                  << "/work/x/../a.mp3";
        QTest::newRow("relative, with a colon") << QByteArray("a:b.mp3") << "/work/a:b.mp3"
                                                << "/work/a:b.mp3";
        QTest::newRow("name not UTF-8") << QByteArray("/m/caf\xe9.mp3") << latin1 << latin1;
        QTest::newRow("file URI, not UTF-8")
            << QByteArray("file:///m/caf%E9.mp3") << "file:///m/caf%E9.mp3" << latin1;
        QTest::newRow("file URI, UTF-8 unescaped")
            << QByteArray("file:///m/caf\xc3\xa9.mp3") << QString::fromUtf8("file:///m/café.mp3")
            << QString::fromUtf8("/m/café.mp3");
        QTest::newRow("file URI, another host")
            << QByteArray("file://elsewhere/m/a.mp3") << "file://elsewhere/m/a.mp3"
            << "";
        QTest::newRow("file URI, escaped slash")
            << QByteArray("file:///m/a%2Fb.mp3") << "file:///m/a%2Fb.mp3"
            << "";
        QTest::newRow("web address")
            << QByteArray("https://example.org/a.mp3") << "https://example.org/a.mp3"
            << "";
    }
    void commandLineNamesFiles() {
        QFETCH(QByteArray, argument);
        QFETCH(QString, item);
        QFETCH(QString, path);
        const QStringList items = itemsFromArguments({argument, QByteArray()}, "/work");
        QCOMPARE(items, QStringList{item});
        QCOMPARE(localPathOfItem(item), path);
        // Handed over the bus as a URI, the path comes back byte for byte.
        if (!path.isEmpty())
            QCOMPARE(localPathOfItem(fileUriOf(path)), path);
    }

    // Answers on the terminal run the real program, which must end by itself: no window, and
    // none needed (no display is given).
    void options_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode"); // -1: opens the files, not run
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QStringList>("files");
        const QString hint = QStringLiteral("\nTry 'quorvela --help' for more information.\n");
        QTest::newRow("--help") << QStringList{"--help", "a.mp3"} << 0
                                << "Usage: quorvela [options] [FILE...]\n"
                                << "" << QStringList{"a.mp3"};
        QTest::newRow("-h") << QStringList{"-h"} << 0 << "M3U or PLS"
                            << "" << QStringList{};
        QTest::newRow("--version") << QStringList{"--version"} << 0 << "Quorvela 1.00\n"
                                   << "" << QStringList{};
        QTest::newRow("-v") << QStringList{"-v"} << 0 << "Quorvela 1.00\n"
                            << "" << QStringList{};
        QTest::newRow("unknown") << QStringList{"--frob", "a.mp3"} << 2 << ""
                                 << "quorvela: Unknown option 'frob'." + hint
                                 << QStringList{"a.mp3"};
        QTest::newRow("toolkit's own")
            << QStringList{"-reverse", "--frob"} << 2 << ""
            << "quorvela: Unknown option 'frob'." + hint << QStringList{};
        QTest::newRow("-- ends options") << QStringList{"--", "--help", "-v"} << -1 << ""
                                         << "" << QStringList{"--help", "-v"};
    }
    void options() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QStringList, files);
        QList<QByteArray> argv{"quorvela"};
        for (const QString& argument : arguments)
            argv.append(argument.toUtf8());
        std::vector<const char*> raw;
        for (const QByteArray& argument : argv)
            raw.push_back(argument.constData());
        QList<QByteArray> expected;
        for (const QString& file : files)
            expected.append(file.toUtf8());
        QCOMPARE(readCommandLine(int(raw.size()), raw.data(), true).files, expected);
        if (exitCode < 0)
            return;
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(QUORVELA_BINARY_DIR "/src/quorvela"), arguments);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitCode(), exitCode);
        const QString said = QString::fromUtf8(program.readAllStandardOutput());
        QVERIFY2(out.isEmpty() ? said.isEmpty() : said.contains(out), qPrintable(said));
        const QString complaint = QString::fromUtf8(program.readAllStandardError());
        QVERIFY2(err.isEmpty() ? complaint.isEmpty() : complaint.endsWith(err),
                 qPrintable(complaint));
    }

    // quorvela tone.mp3 Recording.DAT list.M3U missing.mp3 notes.txt caf<E9>.mp3
    void opensInOrderAndPlaysTheFirst() {
        Form1& w = open();
        w.playlistModel()->setStringList({QStringLiteral("/m/earlier.mp3")});
        const QString missing = m_dir.filePath(QStringLiteral("missing.mp3"));
        w.opener().open(
            {m_tone, fileUriOf(m_oddName), m_playlist, missing, m_text, fileUriOf(m_foreign)});
        QVERIFY(test::waitForLoads(w));

        const QStringList expected =
            QStringList{QStringLiteral("/m/earlier.mp3"), m_tone, m_oddName} + m_listed +
            QStringList{m_foreign};
        QCOMPARE(w.playlistEntries(), expected);
        // The first MP3 plays as a double-click on its entry does.
        QCOMPARE(w.MediaPlayer1->fileName(), m_tone);
        QCOMPARE(w.MediaPlayer1->state(), State::Playing);
        QCOMPARE(w.Label1->text(), QStringLiteral("Playlist"));
        QCOMPARE(w.List1->selectionModel()->selectedIndexes().value(0).row(), 1);
        // One message names both that could not be opened.
        QCOMPARE(env->dialogs.messages.size(), 1);
        const QString text = messages().first();
        QVERIFY2(text.contains(missing + QStringLiteral(": it does not exist")), qPrintable(text));
        QVERIFY2(
            text.contains(m_text + QStringLiteral(": it is neither an MP3 file nor a playlist")),
            qPrintable(text));
        QVERIFY(!text.contains(m_tone));
        w.MediaPlayer1->stop();
        w.MediaPlayer1->stop();
    }

    void folderIsChosenAsFolderToPlay() {
        Form1& w = open(m_dir.path());
        w.opener().open({m_tone});
        QCOMPARE(w.MediaPlayer1->state(), State::Playing);

        w.opener().open({m_folder + QStringLiteral("/..//album/.")});
        QCOMPARE(w.txtPath->text(), m_folder);
        w.opener().open({QUrl::fromLocalFile(m_folder).toString()});
        QCOMPARE(w.File1->entries(), (QStringList{"a.mp3", "b.mp3"}));
        QCOMPARE(w.MediaPlayer1->state(), State::Stopped);
        QCOMPARE(w.playlistEntries(), QStringList{m_tone});
        QVERIFY(env->dialogs.messages.isEmpty());

        // A folder whose name is not UTF-8 is chosen like any other, and remembered by its bytes.
        const QByteArray foreign = QFile::encodeName(m_dir.path()) + "/d\xe9mo";
        QVERIFY(::mkdir(foreign.constData(), 0755) == 0 || errno == EEXIST);
        w.opener().open({localPathFromBytes(foreign)});
        QCOMPARE(w.txtPath->text(), readablePath(localPathFromBytes(foreign)));
        QVERIFY(env->dialogs.messages.isEmpty());
        w.close();
        QCOMPARE(env->stored(QStringLiteral("lastdir")), localPathFromBytes(foreign));
    }

    void drops_data() {
        QTest::addColumn<QStringList>("dropped");
        QTest::addColumn<QString>("over");
        QTest::addColumn<int>("actions");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("folderChosen");
        QTest::addColumn<int>("messageCount");
        const int copyOrMove = Qt::CopyAction | Qt::MoveAction;
        QTest::newRow("MP3 file named .m3u: a track")
            << QStringList{m_mp3AsList} << "List1" << copyOrMove << true << QStringList{m_mp3AsList}
            << false << 0;
        QTest::newRow("MP3 files on the playlist")
            << QStringList{m_tone, m_oddName} << "List1" << copyOrMove << true
            << QStringList{m_tone, m_oddName} << false << 0;
        QTest::newRow("playlist on the folder list")
            << QStringList{m_playlist} << "File1" << copyOrMove << true << m_listed << false << 0;
        QTest::newRow("folder on the elapsed time")
            << QStringList{m_folder} << "lblElapsedTime" << copyOrMove << true << QStringList{}
            << true << 0;
        QTest::newRow("MP3 file on the elapsed time")
            << QStringList{m_tone} << "lblElapsedTime" << copyOrMove << false << QStringList{}
            << false << 0;
        QTest::newRow("text file on the playlist")
            << QStringList{m_text} << "List1" << copyOrMove << false << QStringList{} << false << 0;
        QTest::newRow("MP3 file offered only to move")
            << QStringList{m_tone} << "List1" << int(Qt::MoveAction) << false << QStringList{}
            << false << 0;
        QTest::newRow("MP3 and text file on the playlist")
            << QStringList{m_tone, m_text} << "List1" << copyOrMove << true << QStringList{m_tone}
            << false << 1;
    }
    void drops() {
        QFETCH(QStringList, dropped);
        QFETCH(QString, over);
        QFETCH(int, actions);
        QFETCH(bool, accepted);
        QFETCH(QStringList, entries);
        QFETCH(bool, folderChosen);
        QFETCH(int, messageCount);
        Form1& w = open(m_dir.path());
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* target = w.findChild<QWidget*>(over);
        QVERIFY(target);
        if (auto* view = qobject_cast<QAbstractItemView*>(target))
            target = view->viewport();
        const QPoint at = target->rect().center();
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : dropped)
            urls.append(QUrl::fromLocalFile(path));
        data.setUrls(urls);
        const auto offered = Qt::DropActions(actions);

        // As the platform delivers a drag: an enter, always followed by a move, then the drop.
        QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QDragMoveEvent move(at, offered, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &move);
        QCOMPARE(enter.isAccepted() && move.isAccepted(), accepted);
        if (accepted)
            QVERIFY(move.dropAction() != Qt::MoveAction);
        QDropEvent drop(at, offered, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &drop);
        QCOMPARE(drop.isAccepted(), accepted);
        if (accepted)
            QCOMPARE(drop.dropAction() & Qt::MoveAction, Qt::IgnoreAction);

        QTRY_COMPARE(w.playlistEntries(), entries);
        QTest::qWait(20);
        QCOMPARE(w.playlistEntries(), entries);
        QCOMPARE(w.txtPath->text(), folderChosen ? m_folder : m_dir.path());
        const bool plays = !entries.isEmpty() && entries.first() != m_listed.first();
        QCOMPARE(w.MediaPlayer1->state(), plays ? State::Playing : State::Stopped);
        QCOMPARE(env->dialogs.messages.size(), messageCount);
    }

    void enterPlays_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("folder list, Return") << "File1" << int(Qt::Key_Return) << 0;
        QTest::newRow("folder list, keypad Enter")
            << "File1" << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
        QTest::newRow("playlist, Return") << "List1" << int(Qt::Key_Return) << 0;
        QTest::newRow("playlist, keypad Enter")
            << "List1" << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    }
    void enterPlays() {
        QFETCH(QString, list);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        Form1& w = open(m_folder);
        const QStringList files{m_folder + QStringLiteral("/a.mp3"),
                                m_folder + QStringLiteral("/b.mp3")};
        w.playlistModel()->setStringList(files);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto* view = w.findChild<QAbstractItemView*>(list);
        view->setFocus();
        view->selectionModel()->setCurrentIndex(view->model()->index(1, 0),
                                                QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(w.MediaPlayer1->fileName(), files.at(1));
        QCOMPARE(w.MediaPlayer1->state(), State::Playing);
        QVERIFY(env->dialogs.messages.isEmpty());
        w.MediaPlayer1->stop();
    }

    void tabReachesBothLists() {
        Form1& w = open(m_dir.path());
        QCOMPARE(w.playlistModel()->rowCount(), 0);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const auto tabTo = [](QWidget* wanted) {
            for (int i = 0; i < 30 && QApplication::focusWidget() != wanted; ++i)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            return wanted->hasFocus();
        };
        w.File1->setFocus();
        const QImage unfocused = w.List1->grab().toImage();
        QVERIFY(tabTo(w.List1));
        // The empty list shows that it has the focus.
        QVERIFY(w.List1->grab().toImage() != unfocused);
        QVERIFY(tabTo(w.File1));
    }

    void secondLaunchHandsItsFilesOver() {
        const QString address = startBus();
        if (address.isEmpty())
            QSKIP("dbus-daemon is not installed");
        auto bus = [&](const char* name) {
            return QDBusConnection::connectToBus(address, QString::fromLatin1(name));
        };
        auto handOver = [&](const QStringList& items, const char* connection) {
            // From another thread, as from another process: this one answers the call.
            DesktopLaunch launch(items, {}, bus(connection));
            auto done = std::async(std::launch::async, [&] { return launch.handOver(); });
            while (done.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
                QCoreApplication::processEvents();
            return done.get();
        };

        // No window serves yet: the launch opens its own.
        QVERIFY(!handOver({m_tone}, "launch-1"));

        Form1& first = open(m_dir.path());
        auto served = std::make_unique<DesktopLaunch>(QStringList{}, QVariantMap{}, bus("first"));
        served->serve(first);
        test::TestEnvironment otherEnvironment;
        Form1 second(otherEnvironment.services());
        DesktopLaunch waiting({}, {}, bus("second"));
        waiting.serve(second);

        QVERIFY(handOver({m_tone, m_playlist}, "launch-2"));
        QTRY_COMPARE(first.playlistEntries(), QStringList{m_tone} + m_listed);
        QCOMPARE(first.MediaPlayer1->fileName(), m_tone);
        QVERIFY(second.playlistEntries().isEmpty());

        // A launch that gave up waiting holds its claim: the window, reached late, opens nothing.
        QDBusConnection late = bus("late");
        const QString claim = QLatin1String(DesktopLaunch::ClaimPrefix) + QStringLiteral("late");
        QVERIFY(late.registerService(claim));
        QDBusMessage open =
            QDBusMessage::createMethodCall(DesktopLaunch::ApplicationId, DesktopLaunch::ObjectPath,
                                           DesktopLaunch::Interface, QStringLiteral("Open"));
        open << QStringList{fileUriOf(m_oddName)}
             << QVariantMap{{QLatin1String(DesktopLaunch::ClaimKey), claim}};
        QVERIFY(late.call(open, QDBus::BlockWithGui).type() == QDBusMessage::ErrorMessage);

        // Once the first window has gone, the window that waited takes the files.
        served.reset();
        QTest::qWait(100); // until the bus has passed the name on
        QVERIFY(handOver({m_oddName}, "launch-3"));
        QTRY_COMPARE(second.playlistEntries(), QStringList{m_oddName});
        QCOMPARE(first.playlistEntries(), QStringList{m_tone} + m_listed);

        // A closed window takes nothing: the launch opens its own.
        second.close();
        QVERIFY(!handOver({m_tone}, "launch-4"));
        QCOMPARE(second.playlistEntries(), QStringList{m_oddName});
        first.MediaPlayer1->stop();
    }
};

QTEST_MAIN(TestOpenFiles)
#include "tst_openfiles.moc"
