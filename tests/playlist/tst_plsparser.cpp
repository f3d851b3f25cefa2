#include "playlist/plsparser.h"

#include <QTest>

using namespace quorvela;

class TestPlsParser : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
};

void TestPlsParser::read_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    auto row = [](const char* name, const QByteArray& bytes, const QStringList& expected) {
        QTest::newRow(name) << bytes << expected;
    };
    row("keys out of order",
        "\r\n[Playlist]\r\nNumberOfEntries=4\r\nFile2=/b\r\n"
        "Title1=First\r\nFile10=/j\r\nfile1 = /a\r\nFile3=\r\nLength1=-1\r\nVersion=2\r\n",
        {"/a", "/b", "", "/j"});
    row("numbers of any length",
        "[playlist]\nFile99999999999999999999999=/z\nFile002=/b\n"
        "File1=/a\n",
        {"/a", "/b", "/z"});
    row("repeated number keeps both in file order", "[playlist]\nFile1=/a\nFile1=/b\n",
        {"/a", "/b"});
    row("keys without a number are skipped", "[playlist]\nFile=/x\nFileA=/y\nFile1/z\nFile2=/b",
        {"/b"});
    row("values are resolved",
        "\xEF\xBB\xBF[PLAYLIST]\nFile1=c.mp3\nFile2=file:///x%20y\n"
        "File3=a,b\n",
        {"/lists/c.mp3", "/x y", "/lists/a,b"});
}

void TestPlsParser::read() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(PlsParser().read(bytes, QStringLiteral("/lists")).paths, expected);
    // Stopping early still takes the lowest numbers first.
    QCOMPARE(PlsParser().read(bytes, QStringLiteral("/lists"), 1).paths, expected.mid(0, 1));
}

QTEST_APPLESS_MAIN(TestPlsParser)

#include "tst_plsparser.moc"
