// Folders, file names and settings files a player meets in the wild: the window must stay
// alive, say what the user needs to know, and never lose the remembered settings.
#include "player/form1.h"
#include "support/fakes.h"
#include "support/widgetdriver.h"
#include "widgets/filelistbox.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScopeGuard>
#include <QStringListModel>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace quorvela;

namespace {

// Creates a file whose name is given as raw bytes, which need not be valid UTF-8.
bool touchRaw(const QByteArray& folder, const QByteArray& name) {
    const QByteArray path = folder + '/' + name;
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, "junk", 4) == 4;
    ::close(fd);
    return ok;
}

} // namespace

class HostileInputTest : public QObject {
    Q_OBJECT
private slots:
    void manyAndStrangeNames() {
        test::TestEnvironment env;
        const QString dir = env.tempPath(QStringLiteral("big"));
        QVERIFY(QDir().mkpath(dir));
        const QByteArray raw = QFile::encodeName(dir);
        for (int i = 0; i < 20000; ++i)
            QVERIFY(touchRaw(raw, "track " + QByteArray::number(i) + ".mp3"));
        const QList<QByteArray> strange{"with spaces  .mp3",
                                        "comma, in, name.mp3",
                                        "\"quoted\".mp3",
                                        "it's.mp3",
                                        "\xff\xfe not utf8 \xc3.mp3",
                                        QByteArray(251, 'n') + ".mp3",
                                        "new\nline.mp3",
                                        "-dash.mp3",
                                        "#hash.mp3",
                                        "back\\slash.mp3"};
        for (const QByteArray& name : strange)
            QVERIFY2(touchRaw(raw, name), name.constData());
        // Qt's own removal of the temporary folder cannot name it.
        const auto remove = qScopeGuard([&] { ::unlink((raw + '/' + strange.at(4)).constData()); });
        env.store(QStringLiteral("lastdir"), dir);

        Form1 w(env.services());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Every name is listed, the one that is not valid UTF-8 too (shown readably, last).
        QCOMPARE(w.File1->count(), 20000 + strange.size());
        QCOMPARE(w.File1->entries().at(0), QStringLiteral("\"quoted\".mp3"));
        QCOMPARE(w.File1->model()->index(20009, 0).data().toString(),
                 QStringLiteral("ÿþ not utf8 Ã.mp3"));
        // None of these is audio: each double-click says so and the window goes on.
        for (int row : {0, 1, 2, 3, 4, 5, 6, 9, 10, 20009})
            test::doubleClickRow(w.File1, row);
        QCOMPARE(env.dialogs.messages.size(), 10);
        for (const auto& m : env.dialogs.messages)
            QCOMPARE(m.text, QStringLiteral("Error playing file!"));
        QVERIFY(w.Label1->text().isEmpty());
    }

    void folderVanishesWhileListed() {
        test::TestEnvironment env;
        const QString dir = env.tempPath(QStringLiteral("usb"));
        QVERIFY(test::writeFile(dir + QStringLiteral("/a.mp3"), "x"));
        env.store(QStringLiteral("lastdir"), dir);
        Form1 w(env.services());
        QCOMPARE(w.File1->count(), 1);
        QVERIFY(QDir(dir).removeRecursively());
        w.File1->setCurrentIndex(w.File1->model()->index(0, 0));
        w.playFromFolderList();
        QCOMPARE(env.dialogs.messages.size(), 1);
        // Choosing the vanished folder again is refused, and the folder is kept for next time.
        env.dialogs.folders.push_back(dir);
        w.cmdBrowse->click();
        QCOMPARE(env.dialogs.messages.size(), 2);
        QCOMPARE(w.txtPath->text(), dir);
        w.close();
        QCOMPARE(env.stored(QStringLiteral("lastdir")), dir);
    }

    void chosenPathIsAFile() {
        test::TestEnvironment env;
        const QString file = env.tempPath(QStringLiteral("song.mp3"));
        QVERIFY(test::writeFile(file, "x"));
        Form1 w(env.services());
        const QString before = w.txtPath->text();
        env.dialogs.folders.push_back(file);
        w.cmdBrowse->click();
        QCOMPARE(env.dialogs.messages.size(), 1);
        QCOMPARE(w.txtPath->text(), before);
    }

    void hostilePlaylists() {
        test::TestEnvironment env;
        QByteArray binary(3 * 1024 * 1024, '\0');
        quint32 state = 12345;
        for (char& c : binary) {
            state = state * 1664525U + 1013904223U;
            c = static_cast<char>(state >> 24);
        }
        const QString garbage = env.tempPath(QStringLiteral("garbage.m3u"));
        QVERIFY(test::writeFile(garbage, binary));
        const QString oneLine = env.tempPath(QStringLiteral("one line.pls"));
        QVERIFY(test::writeFile(oneLine, "/" + QByteArray(50 * 1024 * 1024, 'x')));
        Form1 w(env.services());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        env.dialogs.openFiles = {garbage, oneLine, env.tempPath()};
        w.Command4->click();
        QVERIFY(test::waitForLoads(w));
        const int fromGarbage = static_cast<int>(w.playlistEntries().size());
        QVERIFY(fromGarbage > 0);
        w.Command4->click();
        QVERIFY(test::waitForLoads(w));
        QCOMPARE(w.playlistEntries().size(), fromGarbage + 1);
        QCOMPARE(w.playlistEntries().last().size(), 50 * 1024 * 1024 + 1);
        w.Command4->click(); // a folder: nothing, no message
        QVERIFY(test::waitForLoads(w));
        QCOMPARE(w.playlistEntries().size(), fromGarbage + 1);
        // The window still paints and answers.
        w.List1->scrollToBottom();
        w.repaint();
        QVERIFY(env.dialogs.messages.isEmpty());
        // Playing the giant entry fails cleanly.
        w.List1->setCurrentIndex(w.playlistModel()->index(fromGarbage, 0));
        QMetaObject::invokeMethod(w.List1, "activated",
                                  Q_ARG(QModelIndex, w.List1->currentIndex()));
        QCOMPARE(env.dialogs.messages.size(), 1);
        QCOMPARE(env.dialogs.messages[0].title, QStringLiteral("Quorvela Error!"));
    }

    void settingsFiles_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("empty") << QByteArray();
        QByteArray binary;
        for (int i = 0; i < 65536; ++i)
            binary.append(static_cast<char>((i * 7919) >> 3));
        QTest::newRow("binary garbage") << binary;
        QTest::newRow("wrong types")
            << QByteArray("[Settings]\nlastdir=@Variant(\\0\\0\\0\\x7f)\nforec=@ByteArray(zz)\n"
                          "backc=1e400\n");
        QTest::newRow("one huge line") << QByteArray(5 * 1024 * 1024, 'x');
    }
    void settingsFiles() {
        QFETCH(QByteArray, contents);
        test::TestEnvironment env;
        QVERIFY(test::writeFile(env.settingsFile(), contents));
        {
            Form1 w(env.services());
            QVERIFY(!w.txtPath->text().isEmpty());
        }
        // Whatever was there, the next start finds usable values again.
        test::TestEnvironment* e = &env;
        Form1 again(e->services());
        again.close();
        QCOMPARE(env.stored(QStringLiteral("forec")), QStringLiteral("-2147483640"));
        QCOMPARE(env.stored(QStringLiteral("backc")), QStringLiteral("-2147483643"));
    }

    void unwritableAtClose() {
        test::TestEnvironment env;
        env.store(QStringLiteral("forec"), QStringLiteral("255"));
        Form1 w(env.services());
        // Something that is not a file now stands where the settings go: the save is refused
        // and said to be refused, and the window closes normally.
        QVERIFY(QFile::remove(env.settingsFile()));
        QVERIFY(QDir().mkpath(env.settingsFile()));
        QTest::ignoreMessage(QtWarningMsg,
                             "Quorvela: could not save the settings; the previous ones are kept.");
        w.close();
        QVERIFY(w.isUnloaded());
        QVERIFY(QFileInfo(env.settingsFile()).isDir());
    }
};

QTEST_MAIN(HostileInputTest)
#include "tst_hostileinput.moc"
