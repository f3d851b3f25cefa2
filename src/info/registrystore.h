#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// A small read-only registry in the manner of the Windows one: keys below predefined roots,
// opened with an access mask into handles, values read into a caller's buffer with their type
// code and byte size. Where the keys and values come from is a Store.
namespace quorvela::registry {

using Root = std::uint32_t;
using Handle = std::uint32_t;
using Status = std::int32_t;
using Access = std::uint32_t;
using TypeCode = std::uint32_t;

// The predefined roots.
inline constexpr Root ClassesRoot = 0x80000000;
inline constexpr Root CurrentUser = 0x80000001;
inline constexpr Root LocalMachine = 0x80000002;
inline constexpr Root Users = 0x80000003;
inline constexpr Root CurrentConfig = 0x80000005;

// Access rights a key can be opened with.
inline constexpr Access QueryValue = 0x0001;
inline constexpr Access SetValue = 0x0002;
inline constexpr Access CreateSubKey = 0x0004;
inline constexpr Access EnumerateSubKeys = 0x0008;
inline constexpr Access Notify = 0x0010;
inline constexpr Access CreateLink = 0x0020;
inline constexpr Access ReadControl = 0x20000;
inline constexpr Access AllAccess = 0xF003F;
inline constexpr Access ReadAccess = ReadControl | QueryValue | EnumerateSubKeys | Notify;

// Results of the operations.
inline constexpr Status Success = 0;
inline constexpr Status FileNotFound = 2;
inline constexpr Status AccessDenied = 5;
inline constexpr Status InvalidHandle = 6;
inline constexpr Status MoreData = 234;

// Type codes of values.
inline constexpr TypeCode TypeNone = 0;
inline constexpr TypeCode TypeSz = 1;
inline constexpr TypeCode TypeExpandSz = 2;
inline constexpr TypeCode TypeBinary = 3;
inline constexpr TypeCode TypeDword = 4;

struct Value {
    TypeCode type = TypeNone;
    QByteArray data; // exactly as stored: a text keeps its terminating zero only if it has one
};

// Where keys and values come from. Key paths use "\" between their parts; like the Windows
// registry, key and value names are compared without regard to case.
class Store {
public:
    Store() = default;
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
    virtual ~Store() = default;

    // The rights the key grants, or nothing when there is no such key.
    [[nodiscard]] virtual std::optional<Access> keyAccess(Root root, const QString& key) = 0;
    // The named value of the key ("" is the key's default value), or nothing.
    [[nodiscard]] virtual std::optional<Value> value(Root root, const QString& key,
                                                     const QString& name) = 0;
};

} // namespace quorvela::registry
