#include "audio/tagreader.h"
#include "mpris/artcache.h"
#include "support/audiofixtures.h"
#include "support/id3fixtures.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvela;
using test::id3::Encoding;
namespace id3 = test::id3;

class TstTagReader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void readsTags_data();
    void readsTags();
    void picture();

private:
    QTemporaryDir m_dir;
    QString m_mp3;
};

void TstTagReader::initTestCase() {
    QVERIFY(m_dir.isValid());
    QString error;
    m_mp3 = test::makeToneMp3(m_dir.path(), QStringLiteral("plain"), 0.5, 44100, 2, 440.0,
                              {QStringLiteral("-b"), QStringLiteral("128")}, &error);
    QVERIFY2(!m_mp3.isEmpty(), qPrintable(error));
}

void TstTagReader::readsTags_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("artists");
    QTest::addColumn<QString>("album");
    QTest::addColumn<int>("track");

    const QString greek = QStringLiteral("Ελληνικό τραγούδι");
    const QString japanese = QStringLiteral("日本の歌手");
    auto v23 = [](const QByteArray& frames) { return id3::tag(3, frames); };
    auto v24 = [](const QByteArray& frames) { return id3::tag(4, frames); };

    QTest::newRow("v2.3 Latin-1")
        << v23(id3::textFrame(3, "TIT2", Encoding::Latin1, {QStringLiteral("Café Noir")}) +
               id3::textFrame(3, "TPE1", Encoding::Latin1, {QStringLiteral("Ärzte")}) +
               id3::textFrame(3, "TALB", Encoding::Latin1, {QStringLiteral("Über")}) +
               id3::textFrame(3, "TRCK", Encoding::Latin1, {QStringLiteral("3/12")}))
        << QByteArray() << QStringLiteral("Café Noir") << QStringList{QStringLiteral("Ärzte")}
        << QStringLiteral("Über") << 3;
    QTest::newRow("v2.3 UTF-16 with BOM")
        << v23(id3::textFrame(3, "TIT2", Encoding::Utf16Bom, {greek}) +
               id3::textFrame(3, "TPE1", Encoding::Utf16Bom, {japanese}))
        << QByteArray() << greek << QStringList{japanese} << QString() << 0;
    QTest::newRow("v2.4 UTF-8, two artists")
        << v24(id3::textFrame(4, "TIT2", Encoding::Utf8, {greek}) +
               id3::textFrame(4, "TPE1", Encoding::Utf8,
                              {japanese, QStringLiteral("Second Artist")}) +
               id3::textFrame(4, "TALB", Encoding::Utf8, {QStringLiteral("Album ✓")}) +
               id3::textFrame(4, "TRCK", Encoding::Utf8, {QStringLiteral("5")}))
        << QByteArray() << greek << QStringList{japanese, QStringLiteral("Second Artist")}
        << QStringLiteral("Album ✓") << 5;
    QTest::newRow("v2.4 UTF-16 big-endian")
        << v24(id3::textFrame(4, "TIT2", Encoding::Utf16Be, {japanese})) << QByteArray() << japanese
        << QStringList() << QString() << 0;
    QTest::newRow("ID3v1.1 only") << QByteArray()
                                  << id3::v1Tag("Old Title", "Old Artist", "Caf\xE9", 9)
                                  << QStringLiteral("Old Title")
                                  << QStringList{QStringLiteral("Old Artist")}
                                  << QStringLiteral("Café") << 9;
    QTest::newRow("ID3v2 first, ID3v1 for what it lacks")
        << v23(id3::textFrame(3, "TIT2", Encoding::Latin1, {QStringLiteral("New Title")}))
        << id3::v1Tag("Old Title", "Old Artist", "", 0) << QStringLiteral("New Title")
        << QStringList{QStringLiteral("Old Artist")} << QString() << 0;
    QTest::newRow("no tag") << QByteArray() << QByteArray() << QString() << QStringList()
                            << QString() << 0;
    // A frame claiming more bytes than its tag holds.
    QByteArray overlong = id3::textFrame(3, "TIT2", Encoding::Latin1, {QStringLiteral("Lost")});
    overlong[7] = '\x7f';
    QTest::newRow("damaged ID3v2 frame")
        << v23(overlong) << QByteArray() << QString() << QStringList() << QString() << 0;
    // A tag whose size runs past the end of the file.
    QByteArray truncated =
        v23(id3::textFrame(3, "TIT2", Encoding::Latin1, {QStringLiteral("Cut")}));
    truncated[6] = '\x7f';
    QTest::newRow("ID3v2 tag longer than the file")
        << truncated << QByteArray() << QString() << QStringList() << QString() << 0;
}

void TstTagReader::readsTags() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    const QString path = m_dir.filePath(QStringLiteral("%1.mp3").arg(QTest::currentDataTag()));
    QVERIFY(test::writeTagged(m_mp3, path, before, after));

    const TrackTags tags = readTrackTags(path);
    QTEST(tags.title, "title");
    QTEST(tags.artists, "artists");
    QTEST(tags.album, "album");
    QTEST(tags.trackNumber, "track");
    QVERIFY(tags.picture.isEmpty());
}

void TstTagReader::picture() {
    const QByteArray back = QByteArray("\xFF\xD8\xFF\xE0 back cover") + QByteArray(3000, 'b');
    const QByteArray front = QByteArray("\x89PNG\r\n\x1a\n front cover") + QByteArray(5000, 'f');
    const QString path = m_dir.filePath(QStringLiteral("cover.mp3"));
    QVERIFY(test::writeTagged(
        m_mp3, path,
        id3::tag(3, id3::textFrame(3, "TIT2", Encoding::Latin1, {QStringLiteral("Covered")}) +
                        id3::pictureFrame(3, "image/jpeg", 4, back) +
                        id3::pictureFrame(3, "image/png", 3, front))));

    const TrackTags tags = readTrackTags(path);
    QCOMPARE(tags.title, QStringLiteral("Covered"));
    QCOMPARE(tags.picture, front);
    QCOMPARE(tags.pictureMime, QStringLiteral("image/png"));

    // Stored once, under its content's name, however often the track is opened.
    const QString folder = m_dir.filePath(QStringLiteral("cache/quorvela/art"));
    const ArtCache cache(folder);
    const QUrl url = cache.store(tags.picture, tags.pictureMime);
    const QString hash =
        QString::fromLatin1(QCryptographicHash::hash(front, QCryptographicHash::Sha256).toHex());
    QCOMPARE(url, QUrl::fromLocalFile(folder + QLatin1Char('/') + hash + QStringLiteral(".png")));
    QFile stored(url.toLocalFile());
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QCOMPARE(stored.readAll(), front);
    QCOMPARE(cache.store(tags.picture, tags.pictureMime), url);
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 1);
}

QTEST_GUILESS_MAIN(TstTagReader)
#include "tst_tagreader.moc"
