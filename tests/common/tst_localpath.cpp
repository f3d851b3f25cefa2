#include "common/localpath.h"

#include <QtTest>

using namespace quorvela;

class TestLocalPath : public QObject {
    Q_OBJECT
private slots:
    void everyByteSurvivesTheRoundTrip_data();
    void everyByteSurvivesTheRoundTrip();
};

void TestLocalPath::everyByteSurvivesTheRoundTrip_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("readable");
    QTest::newRow("UTF-8") << QByteArray("/music/caf\xc3\xa9 \xf0\x9f\x8e\xb5.mp3")
                           << QStringLiteral("/music/café \U0001F3B5.mp3");
    QTest::newRow("Latin-1") << QByteArray("/music/caf\xe9.mp3")
                             << QStringLiteral("/music/café.mp3");
    QTest::newRow("UTF-8 and Latin-1 side by side")
        << QByteArray("/m\xc3\xbcsik/\xfc\xe9.mp3") << QStringLiteral("/müsik/üé.mp3");
    QTest::newRow("overlong slash, surrogate, cut-off sequence")
        << QByteArray("\xc0\xaf\xed\xa0\x80x\xe2\x82")
        << QStringLiteral("\u00C0\u00AF\u00ED\u00A0\uFFFDx\u00E2\uFFFD");
}

void TestLocalPath::everyByteSurvivesTheRoundTrip() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, readable);
    const QString path = localPathFromBytes(bytes);
    QCOMPARE(localPathBytes(path), bytes);
    QCOMPARE(readablePath(path), readable);
    QCOMPARE(hasForeignBytes(path), !bytes.isValidUtf8());
}

QTEST_MAIN(TestLocalPath)
#include "tst_localpath.moc"
