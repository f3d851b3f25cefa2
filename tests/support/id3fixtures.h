#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quorvela::test {

// ID3 tags made byte by byte, to put before (ID3v2) or after (ID3v1) an MP3's frames.
namespace id3 {

// The ID3v2 text encoding bytes.
enum class Encoding : char { Latin1 = 0, Utf16Bom = 1, Utf16Be = 2, Utf8 = 3 };

// A text frame such as TIT2; several values are separated by zero bytes (as ID3v2.4 lists).
// Utf16Bom writes a little-endian byte order mark and text.
QByteArray textFrame(int version, const char* id, Encoding encoding, const QStringList& values);
// An APIC frame holding a picture of the given ID3v2 picture type (3 is the front cover).
QByteArray pictureFrame(int version, const QByteArray& mimeType, int pictureType,
                        const QByteArray& picture);
// An ID3v2.<version> tag (3 or 4) around the frames.
QByteArray tag(int version, const QByteArray& frames);
// A 128-byte ID3v1.1 tag; a track number of 0 leaves it out.
QByteArray v1Tag(const QByteArray& title, const QByteArray& artist, const QByteArray& album,
                 int track);

} // namespace id3

// Copies an MP3 with a tag put before its frames and another after them.
bool writeTagged(const QString& mp3, const QString& path, const QByteArray& before,
                 const QByteArray& after = {});

} // namespace quorvela::test
