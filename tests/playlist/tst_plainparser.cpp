#include "playlist/plainparser.h"

#include <QTest>

using namespace quorvela;

class TestPlainParser : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
};

void TestPlainParser::read_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("expected");

    const QString pl = QStringLiteral("/lists");
    const QString none;
    auto row = [](const char* name, const QByteArray& bytes, const QString& folder,
                  const QStringList& expected) {
        QTest::newRow(name) << bytes << folder << expected;
    };

    row("empty file", "", pl, {});
    row("one path per line", "/m/a.mp3\r\n/m/b.mp3\r\n", pl, {"/m/a.mp3", "/m/b.mp3"});
    row("no line end after the last line", "/m/a.mp3\r\n/m/b.mp3", pl, {"/m/a.mp3", "/m/b.mp3"});
    row("a comma splits a line", "/m/a,/m/b\r\n", pl, {"/m/a", "/m/b"});
    row("comma at the end of the file", "/a,", pl, {"/a"});
    row("comma before a line end", "/a,\r\n/b", pl, {"/a", "", "/b"});
    row("empty fields", ",/a,,/b", pl, {"", "/a", "", "/b"});
    row("blank lines", "/a\r\n\r\n\r\n/b\r\n", pl, {"/a", "", "", "/b"});
    row("a line of blanks is blank", "/a\r\n \t \r\n/b", pl, {"/a", "", "/b"});
    row("quoted commas", "\"/m/a, b.mp3\"\r\n/c", pl, {"/m/a, b.mp3", "/c"});
    row("after the closing quote up to the separator is dropped", "\"/a\" x y,/b\r\n\"/c\"zz\r\n/d",
        pl, {"/a", "/b", "/c", "/d"});
    row("the separator after a quote ends at CR LF", "\"/a\"\r\n\r\n/b", pl, {"/a", "", "/b"});
    row("quoted item keeps its blanks", "\"  /a  \"", none, {"  /a  "});
    row("quoted empty item", "\"\",/a", pl, {"", "/a"});
    row("quoted line ends belong to the item", "\"/a\r\nb\"\n/c", pl, {"/a\r\nb", "/c"});
    row("unterminated quote runs to the end", "\"/a,b\r\n/c", pl, {"/a,b\r\n/c"});
    row("a quote inside an item is kept", "/a\"b\",c", none, {"/a\"b\"", "c"});
    row("leading spaces and tabs skipped", "   /a\r\n\t /b", pl, {"/a", "/b"});
    row("trailing spaces dropped, trailing tab kept", "/a  \r\n/b\t\r\n/c d ", pl,
        {"/a", "/b\t", "/c d"});
    row("lone CR ends a line", "/a\r/b\r", pl, {"/a", "/b"});
    row("lone LF ends a line", "/a\n/b\n", pl, {"/a", "/b"});
    row("LF CR is two line ends", "/a\n\r/b", pl, {"/a", "", "/b"});
    row("CR CR LF is two line ends", "/a\r\r\n/b", pl, {"/a", "", "/b"});
    row("NUL bytes are kept", QByteArray("/a\0b", 4), pl, {QString::fromUtf16(u"/a\0b", 4)});
    row("byte-order mark", "\xEF\xBB\xBF/a,/b", pl, {"/a", "/b"});
}

void TestPlainParser::read() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, folder);
    QFETCH(QStringList, expected);
    QCOMPARE(PlainParser().read(bytes, folder).paths, expected);
}

QTEST_APPLESS_MAIN(TestPlainParser)

#include "tst_plainparser.moc"
