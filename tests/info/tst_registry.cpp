#include "common/shell.h"
#include "info/desktopregistrystore.h"
#include "info/registry.h"
#include "info/sysinfolauncher.h"
#include "support/fakes.h"
#include "support/registrytext.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quorvela;
using namespace quorvela::registry;

namespace {

const QString ToolKey = QLatin1String(sysinfo::ToolKey);
const QString FolderKey = QLatin1String(sysinfo::FolderKey);

// Passes every lookup on to a store and writes down what was asked.
class RecordingStore final : public Store {
public:
    explicit RecordingStore(Store& store) : m_store(store) {}
    std::optional<Access> keyAccess(Root root, const QString& key) override {
        keys.append(key);
        return m_store.keyAccess(root, key);
    }
    std::optional<Value> value(Root root, const QString& key, const QString& name) override {
        values.append(key + QLatin1Char('|') + name);
        return m_store.value(root, key, name);
    }
    QStringList keys;
    QStringList values;

private:
    Store& m_store;
};

std::unique_ptr<test::RegistryText> storeFrom(const QByteArray& text) {
    auto store = test::RegistryText::fromText(text);
    if (!store)
        qWarning("bad store: %s", text.constData());
    return store;
}

QByteArray hexOf(const QByteArray& bytes) {
    return bytes.toHex(' ');
}

} // namespace

class TestRegistry : public QObject {
    Q_OBJECT
private slots:
    void registryHandles();
    void getKeyValue_data();
    void getKeyValue();
    void startSysInfo_data();
    void startSysInfo();
    void startSysInfoKeepsNothingBetweenUses();
    void desktopStoreFindsFirstListedTool();
};

void TestRegistry::registryHandles() {
    auto store = storeFrom("[HKLM\\A]\nV = sz:abc\n");
    Registry registry(*store);
    Handle first = 99;
    QCOMPARE(registry.openKey(0x12345, QStringLiteral("A"), ReadAccess, first), InvalidHandle);
    QCOMPARE(first, Handle(0));
    QCOMPARE(registry.openKey(LocalMachine, QStringLiteral("A"), ReadAccess, first), Success);
    Handle second = 0;
    QCOMPARE(registry.openKey(LocalMachine, QStringLiteral("a"), ReadAccess, second), Success);
    QVERIFY(first != 0 && second != 0 && first != second);
    QCOMPARE(registry.openKeyCount(), 2);

    std::array<char, 3> small{};
    TypeCode type = TypeNone;
    std::uint32_t size = 0;
    QCOMPARE(registry.queryValue(first, QStringLiteral("V"), type, small, size), MoreData);
    QCOMPARE(size, 4u);
    QCOMPARE(small, (std::array<char, 3>{}));

    QCOMPARE(registry.closeKey(first), Success);
    QCOMPARE(registry.closeKey(first), InvalidHandle);
    QCOMPARE(registry.queryValue(first, QStringLiteral("V"), type, small, size), InvalidHandle);
    QCOMPARE(registry.closeKey(0), InvalidHandle);
    QCOMPARE(registry.closeKey(second), Success);
    QCOMPARE(registry.openKeyCount(), 0);
}

void TestRegistry::getKeyValue_data() {
    QTest::addColumn<QByteArray>("store");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("after");

    const QString key = QStringLiteral("SOFTWARE\\Test");
    const QString name = QStringLiteral("V");
    const auto row = [&](const char* tag, const QByteArray& data, bool result, const QString& after,
                         const QString& before = QStringLiteral("was")) {
        QTest::newRow(tag) << (QByteArray("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\nV = ") + data)
                           << key << name << before << result << after;
    };
    row("text with its zero", "sz:/usr/bin/tool", true, QStringLiteral("/usr/bin/tool"));
    row("text without a zero", "hex(1):" + hexOf("/usr/bin/tool"), true,
        QStringLiteral("/usr/bin/tool"));
    row("empty text", "hex(1):00", true, QString());
    row("no bytes at all", "hex(1):", true, QString());
    row("only the last zero goes", "hex(1):61 00 00", true, QString::fromLatin1("a\0", 2));
    row("UTF-8 text", "sz:/opt/M\xc3\xbcsik/tool", true, QStringLiteral("/opt/M\u00fcsik/tool"));
    row("number", "binary:", true, QStringLiteral("was"));
    QTest::newRow("number from its bytes")
        << QByteArray("[HKLM\\SOFTWARE\\Test]\nV = hex(4):05 2A 01 00") << key << name << QString()
        << true << QStringLiteral("&h12A05");
    row("number zero", "dword:0", true, QStringLiteral("&h0"));
    row("number with a high byte", "dword:0xFF000001", true, QStringLiteral("&hFF000001"));
    row("number with zero low bytes", "dword:0x01000000", true, QStringLiteral("&h1000000"));
    row("binary keeps the old text", "binary:2F 62 69 6E 00", true, QStringLiteral("was"));
    row("expandable text keeps the old text", "hex(2):2F 62 00", true, QStringLiteral("was"));
    row("1024 bytes of text fit", "sz:" + QByteArray(1023, 'x'), true, QString(1023, 'x'));
    row("1024 bytes without a zero fit", "hex(1):" + hexOf(QByteArray(1024, 'y')), true,
        QString(1024, 'y'));
    row("1025 bytes count as missing", "sz:" + QByteArray(1024, 'x'), false, QString());
    row("a missing value", "sz:x\nW = sz:y", true, QStringLiteral("x"));
    QTest::newRow("value not there") << QByteArray("[HKLM\\SOFTWARE\\Test]\nW = sz:y") << key
                                     << name << QStringLiteral("was") << false << QString();
    QTest::newRow("key not there") << QByteArray("[HKLM\\SOFTWARE\\Other]\nV = sz:y") << key << name
                                   << QStringLiteral("was") << false << QString();
    QTest::newRow("names ignore case") << QByteArray("[HKLM\\software\\TEST]\nv = sz:found") << key
                                       << name << QString() << true << QStringLiteral("found");
    QTest::newRow("another root is another key")
        << QByteArray("[HKCU\\SOFTWARE\\Test]\nV = sz:y") << key << name << QStringLiteral("was")
        << false << QString();
    QTest::newRow("a refused open fails")
        << QByteArray("[HKLM\\SOFTWARE\\Test]\n!access = 0x20019\nV = sz:y") << key << name
        << QStringLiteral("was") << false << QString();
    QTest::newRow("the default value")
        << QByteArray("[HKLM\\SOFTWARE\\Test]\n@ = sz:default") << key << QString() << QString()
        << true << QStringLiteral("default");
}

void TestRegistry::getKeyValue() {
    QFETCH(QByteArray, store);
    QFETCH(QString, key);
    QFETCH(QString, name);
    QFETCH(QString, before);
    QFETCH(bool, result);
    QFETCH(QString, after);

    auto fileStore = storeFrom(store);
    QVERIFY(fileStore);
    Registry registry(*fileStore);
    QString KeyVal = before;
    QCOMPARE(GetKeyValue(registry, LocalMachine, key, name, KeyVal), result);
    QCOMPARE(KeyVal, after);
    // The key is closed whichever way the lookup went.
    QCOMPARE(registry.openKeyCount(), 0);
}

void TestRegistry::startSysInfo_data() {
    QTest::addColumn<QByteArray>("store");
    QTest::addColumn<QStringList>("files"); // made in the temporary folder first
    QTest::addColumn<bool>("desktopShell"); // start through the real desktop
    QTest::addColumn<bool>("startSucceeds");
    QTest::addColumn<QString>("started"); // what reached the shell; "-": nothing
    QTest::addColumn<bool>("folderKeyRead");

    const QByteArray tool = "[HKLM\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n";
    const QByteArray folder = "[HKLM\\SOFTWARE\\Microsoft\\Shared Tools Location]\n"
                              "MSINFO = sz:%DIR%/tools\n";
    QTest::newRow("tool path") << tool + "PATH = sz:/usr/bin/hardinfo\n" + folder
                               << QStringList{QStringLiteral("tools/sysinfo")} << false << true
                               << QStringLiteral("/usr/bin/hardinfo") << false;
    QTest::newRow("tool path without its zero")
        << tool + "PATH = hex(1):" + hexOf("/usr/bin/hardinfo") << QStringList() << false << true
        << QStringLiteral("/usr/bin/hardinfo") << false;
    QTest::newRow("tool in the folder")
        << folder << QStringList{QStringLiteral("tools/sysinfo")} << false << true
        << QStringLiteral("%DIR%/tools/sysinfo") << true;
    QTest::newRow("folder without the tool") << folder << QStringList{QStringLiteral("tools/other")}
                                             << false << true << QStringLiteral("-") << true;
    QTest::newRow("tool name is a folder")
        << folder << QStringList{QStringLiteral("tools/sysinfo/inside")} << false << true
        << QStringLiteral("-") << true;
    QTest::newRow("over-long tool path falls back to the folder")
        << tool + "PATH = sz:/" + QByteArray(1100, 'p') + "\n" + folder
        << QStringList{QStringLiteral("tools/sysinfo")} << false << true
        << QStringLiteral("%DIR%/tools/sysinfo") << true;
    QTest::newRow("nothing recorded")
        << QByteArray() << QStringList() << false << true << QStringLiteral("-") << true;
    // A number or another type is still "found", so the folder is not tried and the start
    // fails on the desktop.
    QTest::newRow("number instead of a path")
        << tool + "PATH = dword:0x12A05\n" + folder << QStringList{QStringLiteral("tools/sysinfo")}
        << true << false << QStringLiteral("&h12A05") << false;
    QTest::newRow("binary instead of a path")
        << tool + "PATH = binary:2F 62\n" + folder << QStringList{QStringLiteral("tools/sysinfo")}
        << true << false << QString() << false;
    QTest::newRow("the start fails")
        << tool + "PATH = sz:/usr/bin/hardinfo\n"
        << QStringList() << false << false << QStringLiteral("/usr/bin/hardinfo") << false;
    QTest::newRow("a path that is no program")
        << tool + "PATH = sz:%DIR%/no-such-tool\n"
        << QStringList() << true << false << QStringLiteral("%DIR%/no-such-tool") << false;
}

void TestRegistry::startSysInfo() {
    QFETCH(QByteArray, store);
    QFETCH(QStringList, files);
    QFETCH(bool, desktopShell);
    QFETCH(bool, startSucceeds);
    QFETCH(QString, started);
    QFETCH(bool, folderKeyRead);

    QTemporaryDir dir;
    const QString root = dir.path();
    for (const QString& file : files)
        QVERIFY(test::writeFile(dir.filePath(file), "#!/bin/sh\n"));
    store.replace("%DIR%", QFile::encodeName(root));
    started.replace(QLatin1String("%DIR%"), root);

    auto fileStore = storeFrom(store);
    QVERIFY(fileStore);
    RecordingStore recording(*fileStore);
    test::RecordingShell recordingShell;
    recordingShell.startSucceeds = startSucceeds;
    DesktopShell realShell;
    test::ScriptedDialogs dialogs;
    Shell& shell = desktopShell ? static_cast<Shell&>(realShell) : recordingShell;

    StartSysInfo(recording, shell, dialogs, nullptr);

    if (!desktopShell)
        QCOMPARE(recordingShell.started,
                 started == QLatin1String("-") ? QStringList() : QStringList{started});
    QCOMPARE(recording.keys.contains(FolderKey), folderKeyRead);
    const bool unavailable = started == QLatin1String("-") || !startSucceeds;
    if (!unavailable) {
        QVERIFY(dialogs.messages.isEmpty());
        return;
    }
    QCOMPARE(dialogs.messages.size(), 1);
    const test::ScriptedDialogs::Message& message = dialogs.messages.first();
    QCOMPARE(message.text, QStringLiteral("System Information Is Unavailable At This Time"));
    QCOMPARE(message.title, QStringLiteral("Quorvela"));
    QCOMPARE(message.icon, Dialogs::Icon::None);
}

void TestRegistry::startSysInfoKeepsNothingBetweenUses() {
    QTemporaryDir dir;
    const QString tool = dir.filePath(QStringLiteral("sysinfo"));
    auto fileStore = storeFrom("[HKLM\\SOFTWARE\\Microsoft\\Shared Tools Location]\nMSINFO = sz:" +
                               QFile::encodeName(dir.path()) + "\n");
    test::RecordingShell shell;
    test::ScriptedDialogs dialogs;
    StartSysInfo(*fileStore, shell, dialogs, nullptr);
    QCOMPARE(dialogs.messages.size(), 1);
    QVERIFY(test::writeFile(tool, "x"));
    StartSysInfo(*fileStore, shell, dialogs, nullptr);
    QCOMPARE(shell.started, QStringList{tool});
    QCOMPARE(dialogs.messages.size(), 1);
}

void TestRegistry::desktopStoreFindsFirstListedTool() {
    QTemporaryDir first;
    QTemporaryDir second;
    const auto makeTool = [](const QTemporaryDir& dir, const QString& name) {
        const QString path = dir.filePath(name);
        QVERIFY(test::writeFile(path, "#!/bin/sh\n"));
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    };
    makeTool(first, QStringLiteral("kinfocenter"));
    makeTool(second, QStringLiteral("hardinfo"));
    // A file of a listed name that cannot be run is passed over.
    QVERIFY(test::writeFile(first.filePath(QStringLiteral("hardinfo2")), "not a program"));

    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(first.path() + QLatin1Char(':') + second.path()));
    DesktopRegistryStore store;
    Registry registry(store);
    QString KeyVal;
    const bool found =
        GetKeyValue(registry, LocalMachine, ToolKey.toLower(), QStringLiteral("path"), KeyVal);
    QString missing = QStringLiteral("x");
    const bool folderFound = GetKeyValue(registry, LocalMachine, FolderKey,
                                         QLatin1String(sysinfo::FolderValue), missing);
    qputenv("PATH", QFile::encodeName(first.path() + QStringLiteral("/none")));
    QString none = QStringLiteral("x");
    const bool noneFound =
        GetKeyValue(registry, LocalMachine, ToolKey, QStringLiteral("PATH"), none);
    qputenv("PATH", oldPath);

    QVERIFY(found);
    QCOMPARE(KeyVal, second.filePath(QStringLiteral("hardinfo")));
    QVERIFY(!folderFound);
    QVERIFY(!noneFound);
    QCOMPARE(none, QString());
}

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
