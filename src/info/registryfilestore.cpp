#include "info/registryfilestore.h"

#include <QFile>
#include <QList>

#include <array>
#include <cctype>
#include <utility>

namespace quorvela::registry {

namespace {

constexpr std::array<std::pair<const char*, Root>, 10> RootNames{{
    {"HKEY_CLASSES_ROOT", ClassesRoot},
    {"HKCR", ClassesRoot},
    {"HKEY_CURRENT_USER", CurrentUser},
    {"HKCU", CurrentUser},
    {"HKEY_LOCAL_MACHINE", LocalMachine},
    {"HKLM", LocalMachine},
    {"HKEY_USERS", Users},
    {"HKU", Users},
    {"HKEY_CURRENT_CONFIG", CurrentConfig},
    {"HKCC", CurrentConfig},
}};

QString keyId(Root root, const QString& path) {
    return QString::number(root, 16) + QLatin1Char('\\') + path.toCaseFolded();
}

std::optional<std::uint32_t> parseNumber(const QString& text) {
    bool ok = false;
    const QString trimmed = text.trimmed();
    const qulonglong number = trimmed.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                                  ? trimmed.mid(2).toULongLong(&ok, 16)
                                  : trimmed.toULongLong(&ok, 10);
    if (!ok || number > 0xFFFFFFFFULL)
        return std::nullopt;
    return static_cast<std::uint32_t>(number);
}

std::optional<QByteArray> parseBytes(const QString& text) {
    QString digits = text;
    digits.remove(QLatin1Char(' ')).remove(QLatin1Char('\t')).remove(QLatin1Char(','));
    if (digits.size() % 2 != 0)
        return std::nullopt;
    const QByteArray latin = digits.toLatin1();
    for (const char c : latin) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    }
    return QByteArray::fromHex(latin);
}

std::optional<Value> parseValue(const QString& text) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return std::nullopt;
    const QString kind = text.left(colon).trimmed().toLower();
    const QString data = text.mid(colon + 1);
    if (kind == QLatin1String("sz"))
        return Value{TypeSz, data.toUtf8() + QByteArray(1, '\0')};
    if (kind == QLatin1String("dword")) {
        const std::optional<std::uint32_t> number = parseNumber(data);
        if (!number)
            return std::nullopt;
        QByteArray bytes;
        for (int shift = 0; shift < 32; shift += 8)
            bytes.append(static_cast<char>((*number >> shift) & 0xFF));
        return Value{TypeDword, bytes};
    }
    TypeCode type = TypeBinary;
    if (kind.startsWith(QLatin1String("hex(")) && kind.endsWith(QLatin1Char(')'))) {
        const std::optional<std::uint32_t> code = parseNumber(kind.mid(4, kind.size() - 5));
        if (!code)
            return std::nullopt;
        type = *code;
    } else if (kind != QLatin1String("binary")) {
        return std::nullopt;
    }
    const std::optional<QByteArray> bytes = parseBytes(data);
    if (!bytes)
        return std::nullopt;
    return Value{type, *bytes};
}

} // namespace

std::unique_ptr<RegistryFileStore> RegistryFileStore::fromText(const QByteArray& text,
                                                               QString* error) {
    std::unique_ptr<RegistryFileStore> store(new RegistryFileStore);
    Key* current = nullptr;
    const auto fail = [error](int line, const QString& why) {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(line).arg(why);
        return std::unique_ptr<RegistryFileStore>();
    };
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNumber = static_cast<int>(i + 1);
        const QString line = QString::fromUtf8(lines.at(i)).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')))
                return fail(lineNumber, QStringLiteral("a key needs a closing \"]\""));
            const QString full = line.mid(1, line.size() - 2);
            const QString rootName = full.section(QLatin1Char('\\'), 0, 0);
            const QString path = full.section(QLatin1Char('\\'), 1);
            std::optional<Root> root;
            for (const auto& [name, value] : RootNames) {
                if (rootName.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                    root = value;
            }
            if (!root)
                return fail(lineNumber, QStringLiteral("unknown root \"%1\"").arg(rootName));
            current = &store->m_keys[keyId(*root, path)];
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return fail(lineNumber, QStringLiteral("expected \"name = type:data\""));
        if (!current)
            return fail(lineNumber, QStringLiteral("a value before any key"));
        QString name = line.left(equals).trimmed();
        const QString data = line.mid(equals + 1).trimmed();
        if (name == QLatin1String("!access")) {
            const std::optional<std::uint32_t> access = parseNumber(data);
            if (!access)
                return fail(lineNumber, QStringLiteral("bad access mask"));
            current->access = *access;
            continue;
        }
        if (name == QLatin1String("@"))
            name.clear();
        const std::optional<Value> value = parseValue(data);
        if (!value)
            return fail(lineNumber, QStringLiteral("bad value \"%1\"").arg(data));
        current->values.insert(name.toCaseFolded(), *value);
    }
    return store;
}

std::unique_ptr<RegistryFileStore> RegistryFileStore::fromFile(const QString& path,
                                                               QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return nullptr;
    }
    return fromText(file.readAll(), error);
}

std::optional<Access> RegistryFileStore::keyAccess(Root root, const QString& key) {
    const auto found = m_keys.constFind(keyId(root, key));
    if (found == m_keys.cend())
        return std::nullopt;
    return found->access;
}

std::optional<Value> RegistryFileStore::value(Root root, const QString& key, const QString& name) {
    const auto found = m_keys.constFind(keyId(root, key));
    if (found == m_keys.cend())
        return std::nullopt;
    const auto value = found->values.constFind(name.toCaseFolded());
    if (value == found->values.cend())
        return std::nullopt;
    return *value;
}

} // namespace quorvela::registry
