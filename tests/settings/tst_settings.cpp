#include "settings/colorvalue.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"
#include "support/fakes.h"

#include <QFile>
#include <QTest>

using namespace quorvela;

class SettingsTest : public QObject {
    Q_OBJECT
private slots:
    void colorText_data() {
        QTest::addColumn<quint32>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("window text") << quint32(0x80000008) << "-2147483640";
        QTest::newRow("window background") << quint32(0x80000005) << "-2147483643";
        QTest::newRow("pure blue") << quint32(0x00FF0000) << "16711680";
        QTest::newRow("pure red") << quint32(0x000000FF) << "255";
        QTest::newRow("white") << quint32(0x00FFFFFF) << "16777215";
        QTest::newRow("black") << quint32(0) << "0";
        QTest::newRow("last system colour") << quint32(0x80000018) << "-2147483624";
    }
    void colorText() {
        QFETCH(quint32, value);
        QFETCH(QString, text);
        QCOMPARE(color::toText(value), text);
        QCOMPARE(color::fromText(text), std::optional<color::Value>(value));
    }

    void badColorText_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("words") << "red";
        QTest::newRow("hex") << "&HFF";
        QTest::newRow("fraction") << "1.5";
        QTest::newRow("too large") << "2147483648";
        QTest::newRow("too small") << "-2147483649";
        QTest::newRow("huge") << "99999999999999999999999";
        QTest::newRow("top byte set") << "16777216";
        QTest::newRow("unknown system index") << "-2147483623";
        QTest::newRow("plus sign") << "+255";
        QTest::newRow("non-ASCII digits") << QString::fromUtf8("\xD9\xA1\xD9\xA2");
    }
    void badColorText() {
        QFETCH(QString, text);
        QCOMPARE(color::fromText(text), std::nullopt);
    }

    void systemColorsFollowThePalette() {
        QPalette palette;
        palette.setColor(QPalette::Active, QPalette::Base, Qt::darkCyan);
        palette.setColor(QPalette::Active, QPalette::Text, Qt::yellow);
        QCOMPARE(color::resolve(color::WindowBackground, palette), QColor(Qt::darkCyan));
        QCOMPARE(color::resolve(color::WindowText, palette), QColor(Qt::yellow));
        QCOMPARE(color::resolve(0x00FF0000, palette), QColor(0, 0, 255));
        QCOMPARE(color::fromQColor(QColor(1, 2, 3)), color::Value(0x00030201));
    }

    void missingEmptyAndStoredValues() {
        test::TestEnvironment env;
        SettingsStore& store = env.settings;
        const QString app = settings::Application;
        const QString section = settings::Section;
        QCOMPARE(store.read(app, section, settings::LastFolder, QStringLiteral("default")),
                 QStringLiteral("default"));
        QVERIFY(store.save(app, section, settings::LastFolder, QString()));
        QCOMPARE(store.read(app, section, settings::LastFolder, QStringLiteral("default")),
                 QString());
        // Paths with the characters INI files treat specially come back unchanged.
        const QString odd = QStringLiteral("/music/a, b; \"c\" = d\\e #f");
        QVERIFY(store.save(app, section, settings::LastFolder, odd));
        QCOMPARE(store.read(app, section, settings::LastFolder, {}), odd);
        QVERIFY(QFile::exists(env.tempPath(QStringLiteral("config/Quor/Quor.ini"))));
    }

    void handEditedListValue() {
        test::TestEnvironment env;
        QVERIFY(test::writeFile(env.settingsFile(), "[Settings]\nlastdir=/a, b\n"));
        QCOMPARE(env.stored(QStringLiteral("lastdir")), QStringLiteral("/a,b"));
    }

    void garbageFileReadsAsDefaultsAndIsReplacedOnSave() {
        test::TestEnvironment env;
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i)
            garbage.append(static_cast<char>((i * 131 + 7) % 256));
        QVERIFY(test::writeFile(env.settingsFile(), garbage));
        QCOMPARE(env.stored(QStringLiteral("forec"), QStringLiteral("dflt")),
                 QStringLiteral("dflt"));
        env.store(QStringLiteral("forec"), QStringLiteral("255"));
        QCOMPARE(env.stored(QStringLiteral("forec")), QStringLiteral("255"));
    }

    void unwritableFileKeepsOldValues() {
        test::TestEnvironment env;
        env.store(QStringLiteral("lastdir"), QStringLiteral("/old"));
        // A folder in the file's place cannot be written over.
        const QString blocked = env.tempPath(QStringLiteral("blocked/Quor.ini"));
        QDir().mkpath(blocked);
        SettingsStore store(blocked);
        QVERIFY(!store.save(settings::Application, settings::Section, settings::LastFolder,
                            QStringLiteral("/new")));
        QCOMPARE(env.stored(QStringLiteral("lastdir")), QStringLiteral("/old"));
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
